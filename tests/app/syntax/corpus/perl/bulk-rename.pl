#!/usr/bin/env perl
# bulk-rename.pl -- rename files with a Perl expression, safely.
#
#   bulk-rename.pl [-n] [-v] 'EXPR' FILE...
#   bulk-rename.pl -n 's/\.jpeg$/.jpg/i' *.jpeg
#   bulk-rename.pl 'y/A-Z/a-z/' README.TXT
#
# EXPR is evaluated with $_ set to each file name; whatever $_ is afterwards
# becomes the new name.  Nothing is overwritten unless -f is given.

use strict;
use warnings;
use File::Basename qw(basename dirname);

my %flag = (n => 0, v => 0, f => 0, s => 0);
my $seq   = 0;    # used by the "counter" shortcut
while (@ARGV && $ARGV[0] =~ /^-([nvfs]+)$/) {
    $flag{$_} = 1 for split //, $1;
    shift @ARGV;
}
my $expr = shift @ARGV // usage();
@ARGV or usage();

sub usage {
    die <<"USAGE";
usage: $0 [-n] [-v] [-f] [-s] EXPR FILE...
  -n  dry run: show what would be renamed
  -v  verbose
  -f  overwrite existing files (it's off by default)
  -s  sort files by "natural" order first
USAGE
}

# Predefined shortcuts so that people don't have to remember the regexes.
my %shortcut = (
    lower   => sub { tr/A-Z/a-z/ },
    upper   => sub { y/a-z/A-Z/ },
    spaces  => sub { s/\s+/_/g },
    ascii   => sub { tr/\x{e0}-\x{e5}\x{e8}-\x{eb}/aaaaaaeeee/; s/[^\x00-\x7f]/_/g },
    dashes  => sub { s{[\s_]+}{-}g; s{-{2,}}{-}g },
    date    => sub { s(^(\d{2})\.(\d{2})\.(\d{4}))($3-$2-$1) },
    counter => \&q,
);

my $code = $shortcut{$expr} // do {
    my $sub = eval "sub { $expr; }";    ## no critic (ProhibitStringyEval)
    die "bad expression '$expr': $@" unless $sub;
    $sub;
};

my @files = $flag{s} ? sort { natural($a) cmp natural($b) } @ARGV : @ARGV;
my (%seen, @plan);
my $n = 0;

foreach my $s (@files) {
    unless (-e $s) { warn "skipping '$s': no such file\n"; next }
    local $_ = basename($s);
    my $old = $_;
    $code->();
    next if $_ eq $old;
    warn "note: '$_' will be a hidden file\n" if $flag{v} && /^\./;
    if (m{/} || $_ eq '' || /^\.\.?$/) {
        warn "refusing to rename '$s' to \"$_\"\n";
        next;
    }
    my $new = dirname($s) . "/$_";
    if ($seen{$new}++) {
        die "two files would be renamed to '$new'; nothing was changed\n";
    }
    push @plan, [ $s, $new ];
}

for my $p (@plan) {
    my ($from, $to) = @$p;
    if (-e $to && !$flag{f}) {
        warn "not overwriting '$to' (use -f)\n";
        next;
    }
    printf "%s '%s' -> '%s'\n", $flag{n} ? 'would rename' : 'rename', $from, $to
        if $flag{n} || $flag{v};
    next if $flag{n};
    rename $from, $to or warn "rename '$from': $!\n";
    $n++;
}

printf "%d of %d file%s renamed%s\n", $n, scalar @files, @files == 1 ? '' : 's',
    $flag{n} ? ' (dry run)' : '';
exit($n == @plan ? 0 : 1);

# Zero-pad every run of digits so that "file10" sorts after "file9".
sub natural {
    my $k = lc shift;
    $k =~ s{(\d+)}{
        sprintf '%012d', $1
    }ge;
    return $k;
}

# The "counter" shortcut: replace the name's stem with a sequence number,
# keeping the extension.  Called as &q so it can't be mistaken for q().
sub q {
    my ($ext) = /(\.[^.]+)$/;
    $_ = sprintf '%04d%s', ++$seq, $ext // '';
}

sub s_x {
    # Helper for tests: apply a shortcut to a list of names, e.g. s_x('lower', @names).
    my $sub = $shortcut{ +shift } or return;
    my @out;
    foreach my $s (@_) {
        local $_ = $s;
        $sub->();
        push @out, $_;
    }
    return @out;
}
