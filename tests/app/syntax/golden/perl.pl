#!/usr/bin/perl
# logstat.pl - summarise an access log
use strict;
use warnings;
use File::Basename qw(basename dirname);
use POSIX ();

our $VERSION = '0.03';
my $LIMIT  = 0xFF + 0b101 + 1_000;
my $RATIO  = 2.5e-3;
my %hits;
my @errors = ();

=head1 NAME

logstat - count requests per path

=cut

sub parse_line {
    my ($line) = @_;
    chomp $line;
    return unless $line =~ m{^(\S+) \S+ \S+ \[([^\]]+)\] "(\w+) ([^"]*)"};
    my ($host, $when, $method, $path) = ($1, $2, $3, $4);
    $path =~ s/\?.*$//;            # drop the query
    $path =~ tr/A-Z/a-z/;
    return { host => $host, when => $when, method => $method, path => $path };
}

sub report {
    my (%args) = @_;
    my $out = $args{out} // \*STDOUT;
    printf {$out} "%-40s %6d\n", $_, $hits{$_}
        for sort { $hits{$b} <=> $hits{$a} } keys %hits;
    print {$out} "errors: ${\ scalar @errors}\n" if @errors;
    print {$out} <<"END";
Total paths: @{[ scalar keys %hits ]}
Program: $0 {version $VERSION}
END
    print {$out} <<'RAW';
Not interpolated: $path {braces}
RAW
}

my $file = shift @ARGV or die "usage: $0 FILE\n";
open(my $fh, '<', $file) or die "cannot open '$file': $!";
while (my $line = <$fh>) {
    my $rec = parse_line($line);
    if (!defined $rec) {
        push @errors, $.;
        next;
    }
    $hits{ $rec->{path} }++;
    my @parts = split /\//, $rec->{path};
    warn "deep path: $rec->{path}\n" if $#parts > 5;
}
close $fh;

my @words = qw(alpha beta gamma);
my $re = qr/^(?:GET|POST)$/i;
my $msg = q{it's {nested} text};
report(out => \*STDOUT);
exit 0;

__END__
Anything here is data, not code: sub { my $x = 1; }
