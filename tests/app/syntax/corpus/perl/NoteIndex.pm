package Inkwell::NoteIndex;

use strict;
use warnings;
use utf8;

use Carp qw(croak carp);
use File::Find ();
use File::Basename qw(basename);
use Scalar::Util qw(blessed);

our $VERSION = '0.42';
our @EXPORT_OK = qw(slugify parse_front_matter);
use Exporter 'import';

=head1 NAME

Inkwell::NoteIndex - build a searchable index of Markdown notes

=head1 SYNOPSIS

    use Inkwell::NoteIndex;
    my $idx = Inkwell::NoteIndex->new(root => "$ENV{HOME}/notes");
    $idx->scan;
    print "$_\n" for $idx->titles;

=head1 DESCRIPTION

Walks a directory tree, reads the YAML-ish front matter at the top of
each C<.md> file and records the title, tags and modification time.
It doesn't try to be a full YAML parser; "key: value" lines are enough.

=cut

my %DEFAULTS = (
    root       => '.',
    extensions => [qw(md markdown txt)],
    follow     => 0,
    s          => 1,    # "strict" front matter: complain about unknown keys
);

my @KNOWN_KEYS = qw/title tags date draft aliases/;

# Inline tags: "#word" at the start of a line or after a space.  Under /x a
# bare # would start a comment, so it is escaped.
my $HASHTAG_RE = qr/ (?: ^ | \s ) \# ( [\w-]+ ) /x;

sub new {
    my ($class, %args) = @_;
    my $self = bless { %DEFAULTS, %args, notes => {} }, $class;
    croak "root '$self->{root}' is not a directory" unless -d $self->{root};
    $self->s($args{strict}) if exists $args{strict};    # "strict" is an alias
    $self->{ext_re} = do {
        my $alt = join '|', map { quotemeta } @{ $self->{extensions} };
        qr/\.(?:$alt)$/i;
    };
    return $self;
}

=head2 s([$bool])

Gets or sets strict front-matter checking.  C<< $idx->s(0) >> turns it off.

=cut

sub s {
    my $self = shift;
    $self->{s} = shift ? 1 : 0 if @_;
    return $self->{s};
}

=head2 scan

Walks C<root> and (re)reads every note.  Returns the number of notes.

=cut

sub scan {
    my $self = shift;
    my @files;
    File::Find::find({
        wanted => sub {
            return if -d $_ && m{/\.(?:git|cache)$};
            push @files, $File::Find::name if -f $_;
        },
        no_chdir => 1,
        follow   => $self->{follow},
    }, $self->{root});

    @files = grep { $_ =~ $self->{ext_re} } @files;
    for my $path (sort @files) {
        my $note = $self->_read_note($path) or next;
        $self->{notes}{ $note->{slug} } = $note;
    }
    return scalar keys %{ $self->{notes} };
}

sub _read_note {
    my ($self, $path) = @_;
    open my $fh, '<:encoding(UTF-8)', $path or do {
        carp "can't open $path: $!";
        return;
    };
    local $/;
    my $text = <$fh>;
    close $fh;

    my ($meta, $body) = parse_front_matter($text, $self->{s});
    my $title = $meta->{title} // ($body =~ /^#\s+(.+)$/m ? $1 : undef)
        // basename($path, map { ".$_" } @{ $self->{extensions} });
    my @tags = ref $meta->{tags} ? @{ $meta->{tags} } : ();
    push @tags, $body =~ /$HASHTAG_RE/gm;
    push @tags, $1 while $body =~ m!^Tags?:\s*(\S+)!mg;    # "Tags: x" lines

    return {
        path  => $path,
        title => $title,
        slug  => slugify($title),
        tags  => [ sort { lc $a cmp lc $b } keys %{{ map { $_ => 1 } @tags }} ],
        mtime => (stat $path)[9],
        words => scalar(() = $body =~ /\S+/g),
    };
}

sub parse_front_matter {
    my ($text, $strict) = @_;
    my %meta;
    return (\%meta, $text) unless $text =~ s/\A---\r?\n(.*?)\r?\n---\r?\n//s;
    my $block = $1;
    for my $line (split /\n/, $block) {
        next if $line =~ /^\s*(?:#|$)/;    # comments and blank lines
        my ($k, $v) = $line =~ /^(\w+):\s*(.*?)\s*$/ or next;
        if ($v =~ /^\[(.*)\]$/) {
            $v = [ map { s/^["']|["']$//gr } split /\s*,\s*/, $1 ];
        }
        elsif ($v =~ /^(["'])(.*)\1$/) {
            $v = $2;
        }
        carp "unknown front-matter key '$k'" if $strict && !grep { $_ eq $k } @KNOWN_KEYS;
        $meta{$k} = $v;
    }
    return (\%meta, $text);
}

sub slugify {
    my $s = lc shift;
    $s =~ tr/àáâäçèéêëìíîïñòóôöùúûü/aaaaceeeeiiiinoooouuuu/;
    $s =~ s/[^a-z0-9]+/-/g;
    $s =~ s/^-+|-+$//g;
    return length $s ? $s : 'untitled';
}

sub titles {
    my $self = shift;
    return map { $_->{title} } sort { $b->{mtime} <=> $a->{mtime} } values %{ $self->{notes} };
}

sub by_tag {
    my ($self, $tag) = @_;
    return grep { my $t = $_; grep { $_ eq $tag } @{ $t->{tags} } } values %{ $self->{notes} };
}

sub stats {
    my $self  = shift;
    my @n     = values %{ $self->{notes} };
    my $words = 0;
    $words += $_->{words} for @n;
    my $avg = @n ? $words / @n : 0;
    return sprintf "%d notes, %d words (%.1f per note, median at index %d)",
        scalar @n, $words, $avg, $#n / 2;
}

1;

__END__

=head1 FRONT MATTER

A note may start with a block like this:

    ---
    title: "Groceries & errands"
    tags: [home, 'to-do']
    ---

Values in quotes have the quotes stripped; it's fine to use either "double"
or 'single' quotes.  A line starting with # is ignored.

=head1 AUTHOR

Written for the Inkwell project.  Bug reports: "inkwell --bug".

=cut
