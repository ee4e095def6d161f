package Inkwell::TemplateLite;

# A deliberately small template engine: {{ var }}, {{ var | filter }},
# {{# comment }} and {{ for x in list }} ... {{ end }}.  It's used for the
# note templates, so it has to work on a stock Perl with no CPAN modules.

use strict;
use warnings;
use Carp qw(croak);

our $VERSION = '1.07';

=head1 NAME

Inkwell::TemplateLite - tiny text templates for notes

=head1 METHODS

=over 4

=item new(%options)

Creates a renderer.  Options:

=over 2

=item * C<strict> - die on unknown variables (default: false)

=item * C<escape> - C<'html'> or C<'none'>

=back

=cut

my %FILTERS = (
    upper => sub { uc $_[0] },
    lower => sub { lc $_[0] },
    trim  => sub { my $s = shift; $s =~ s/^\s+|\s+$//g; $s },
    html  => \&_html_escape,
    q     => sub { my $v = shift; $v =~ s/'/'\\''/g; "'$v'" },    # shell-quote
    s     => sub { my $n = shift; $n == 1 ? '' : 's' },            # plural suffix
    y     => sub { $_[0] ? 'yes' : 'no' },
);

sub new {
    my ($class, %opt) = @_;
    my $self = bless {
        strict  => $opt{strict} // 0,
        escape  => $opt{escape} // 'none',
        filters => { %FILTERS, %{ $opt{filters} || {} } },
    }, $class;
    croak qq{unknown escape mode "$self->{escape}"} unless $self->{escape} =~ /^(?:html|none)$/;
    return $self;
}

=item render($template, \%vars)

Returns the expanded text.  Loops nest; a C<for> over an undefined list is
simply skipped.

=back

=cut

sub render {
    my ($self, $tpl, $vars) = @_;
    $tpl =~ s/\{\{#.*?\}\}\n?//gs;    # strip {{# comments }} first
    return $self->_expand($tpl, { %$vars });
}

sub _expand {
    my ($self, $tpl, $vars) = @_;
    $tpl =~ s{
        \{\{ \s* for \s+ (\w+) \s+ in \s+ ([\w.]+) \s* \}\} \n?
        (.*?)
        \{\{ \s* end \s* \}\} \n?
    }{
        my ($var, $list, $body) = ($1, $2, $3);
        my $items = $self->_lookup($vars, $list) // [];
        join '', map { $self->_expand($body, { %$vars, $var => $_ }) } @$items;
    }gsex;
    $tpl =~ s/\{\{\s*([\w.]+)\s*((?:\|\s*\w+\s*)*)\}\}/$self->_value($vars, $1, $2)/ge;
    return $tpl;
}

sub _value {
    my ($self, $vars, $name, $chain) = @_;
    my $v = $self->_lookup($vars, $name);
    unless (defined $v) {
        croak "template variable '$name' is not defined" if $self->{strict};
        $v = '';
    }
    for my $f (grep { length } map { s/^\s+|\s+$//gr } split /\|/, $chain // '') {
        my $code = $self->{filters}{$f} or croak "unknown filter '$f'";
        $v = $code->($v);
    }
    $v = _html_escape($v) if $self->{escape} eq 'html' && $chain !~ /\bhtml\b/;
    return $v;
}

sub _lookup {
    my ($self, $vars, $path) = @_;
    my $cur = $vars;
    for my $key (split /\./, $path) {
        return undef unless ref $cur eq 'HASH' && exists $cur->{$key};
        $cur = $cur->{$key};
    }
    return $cur;
}

sub _html_escape {
    my $s = shift // '';
    my %ent = ('&' => '&amp;', '<' => '&lt;', '>' => '&gt;', '"' => '&quot;', "'" => '&#39;');
    $s =~ s/([&<>"'])/$ent{$1}/g;
    return $s;
}

# Templates shipped with the module; users can list them with ->names.
sub names { my @s = sort keys %{ builtin() }; return wantarray ? @s : scalar @s }

sub builtin {
    my %t;
    $t{daily} = <<~EOT;
        # {{ date }} — daily note
        {{# "date" is filled in by the caller }}
        ## Tasks
        {{ for t in tasks }}- [ ] {{ t }}
        {{ end }}
        Mood: {{ mood | lower }}
        EOT
    $t{meeting} = <<"EOT" . "\n" . q<Notes taken with Inkwell.>;
# Meeting: {{ title }}
Attendees: {{ count }} person{{ count | s }}
Recording?  {{ recorded | y }}
Tab-separated:\t"quoted" \$not_a_var @{[ scalar localtime ]}
EOT
    my $year = (localtime)[5] + 1900;
    $t{weekly} = <<EOT; $t{weekly} =~ s/^ +//mg;    # indented for readability only
    # Week {{ week }} of $year
    {{ for d in days }}* {{ d }}
    {{ end }}
    Total: {{ count }} item{{ count | s }}
EOT
    $t{shell} = <<'EOT'; chomp $t{shell};
#!/bin/sh
# {{ title }}: run with "sh"; $HOME and @ARGV stay literal in a '' heredoc
cd {{ dir | q }} && exec {{ cmd }}
EOT
    return \%t;
}

sub self_test {
    my $r = __PACKAGE__->new(escape => 'none');
    my @lines = split /\n/, $r->render(builtin()->{daily},
        { date => '2024-05-01', tasks => [qw/write test ship/], mood => 'CALM' });
    my @headers = grep { /^#/ } @lines;
    my %h = (q => scalar @headers, y => scalar grep { /\[ \]/ } @lines);
    my ($a, $b) = (scalar @lines, $h{y} || 1);
    my $ratio = $a / $b / 2;
    my @files = grep { /\.pm$/ } map { $_ . '.pm' } qw(TemplateLite NoteIndex);
    for (@lines) { next if /^#/; $h{body}++ }
    my $quoted = 'it\'s "fine"' . " and \"so\" is this; 50% #done";
    return sprintf "%d headers, %d tasks, ratio %.2f, %d modules, %s, last index %d",
        $h{q}, $h{y}, $ratio, scalar @files, $quoted, $#lines;
}

1;

__END__

=head1 SEE ALSO

L<Inkwell::NoteIndex>.  Don't confuse the "q" filter (shell quoting) with
Perl's q() operator; it's only a hash key here.

Anything after __END__ is not compiled, so unbalanced 'quotes" are fine.
