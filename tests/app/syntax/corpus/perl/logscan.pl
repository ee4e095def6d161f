#!/usr/bin/perl
# logscan.pl -- summarise an access log: status codes, slow requests, top paths.
#
#   logscan.pl [--since 2024-01-01] [--slow MS] [--top N] access.log...
#
# Reads combined-format logs with an extra "request time" field at the end.

use strict;
use warnings;
use Getopt::Long qw(GetOptions);
use List::Util qw(sum max);
use POSIX qw(strftime floor);

my %opt = (slow => 500, top => 10, since => '', format => 'text');
GetOptions(\%opt, 'since=s', 'slow=i', 'top=i', 'format=s', 'help|h')
    or die "usage: $0 [--since DATE] [--slow MS] [--top N] FILE...\n";

if ($opt{help}) {
    print <<'EOT';
logscan.pl - summarise access logs

Options:
  --since DATE   ignore lines before DATE (YYYY-MM-DD)
  --slow MS      report requests slower than MS milliseconds (default 500)
  --top N        show the N most requested paths
  --format FMT   "text" or 'tsv'; $HOME and @lists are not interpolated here
EOT
    exit 0;
}

my %months = map { (qw[Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec])[$_] => $_ + 1 } 0 .. 11;

# 203.0.113.9 - - [10/Oct/2024:13:55:36 +0000] "GET /a?b=1 HTTP/1.1" 200 2326 "-" "curl/8.0" 0.042
my $line_re = qr{
    ^(?<ip>\S+) \s+ \S+ \s+ (?<user>\S+) \s+
    \[(?<day>\d{2})/(?<mon>\w{3})/(?<year>\d{4}):(?<time>[\d:]+) \s [+-]\d{4}\] \s+
    "(?<method>[A-Z]+) \s+ (?<path>[^\s"]+) [^"]*" \s+
    (?<status>\d{3}) \s+ (?<bytes>\d+|-)
    (?: \s+ "(?:[^"\\]|\\.)*" \s+ "(?<agent>(?:[^"\\]|\\.)*)" )?
    (?: \s+ (?<rt>[\d.]+) )? \s*$
}x;

my (%status, %paths, @slow, %y, $q, $m, $tr);
my ($lines, $bad, $skipped) = (0, 0, 0);
my $since = $opt{since} =~ tr/-//dr;    # "2024-01-01" -> "20240101"

LINE: while (my $line = <>) {
    chomp $line;
    $lines++;
    next LINE if $line =~ /^\s*$/ || $line =~ /^#/;   # blank lines and comments

    unless ($line =~ $line_re) {
        $bad++;
        warn "unparsed line $.: ", substr($line, 0, 60), "\n" if $bad <= 5;
        next LINE;
    }
    my %r = %+;
    my $date = sprintf '%04d%02d%02d', $r{year}, $months{ $r{mon} } // 0, $r{day};
    if ($since && $date lt $since) { $skipped++; next LINE }

    $status{ $r{status} }++;
    $y{ $r{year} }{ $r{status} =~ /^[45]/ ? 'err' : 'ok' }++;

    (my $path = $r{path}) =~ s/\?.*//;           # drop the query string
    $path =~ s{/\d+(?=/|$)}{/:id}g;              # /notes/123/edit -> /notes/:id/edit
    $path =~ s(//+)(/)g;
    $paths{$path}++;

    if (defined $r{rt}) {
        my $ms = $r{rt} * 1000;
        push @slow, [ $ms, $r{method}, $r{path} ] if $ms > $opt{slow};
    }
    $q++ if $r{path} =~ m!\?!;
    $m++ if $r{method} eq 'POST' && $r{path} =~ m{^/api/};
    $tr++ if ($r{agent} // '') =~ /bot|crawl|spider/i && $r{method} eq 'GET';
}

my $total = sum(values %status) // 0;
die q(no usable lines in input (wrong format?)) . "\n" unless $total;

if ($opt{format} eq 'tsv') {
    print join("\t", $_, $status{$_}), "\n" for sort keys %status;
    exit 0;
}

my $ok     = sum(map { $status{$_} } grep { /^[23]/ } keys %status) // 0;
my $ratio  = $ok / $total * 100;
my @sorted = sort { $paths{$b} <=> $paths{$a} || $a cmp $b } keys %paths;
my $width  = max(map { length } @sorted[0 .. min_idx($opt{top} - 1, $#sorted)]);

printf "%-12s %8d\n", 'lines', $lines;
printf "%-12s %8d  (%.1f%% ok)\n", 'requests', $total, $ratio;
printf "%-12s %8d\n", 'unparsed', $bad if $bad;
printf "%-12s %8d\n", 'skipped', $skipped if $skipped;
print "queries: ${\ ($q // 0)}, api posts: @{[ $m // 0 ]}, bot GETs: @{[ $tr || 0 ]}\n";

print "\nStatus codes:\n";
for my $code (sort { $a <=> $b } keys %status) {
    my $bar = '#' x floor($status{$code} / $total * 40);
    printf "  %s %7d %s\n", $code, $status{$code}, $bar;
}

print "\nBy year:\n";
printf "  %s  ok=%d err=%d\n", $_, $y{$_}{ok} // 0, $y{$_}{err} // 0 for sort keys %y;

print "\nTop $opt{top} paths:\n";
printf "  %-*s %6d\n", $width, $_, $paths{$_} for @sorted[0 .. min_idx($opt{top} - 1, $#sorted)];

if (@slow) {
    @slow = sort { $b->[0] <=> $a->[0] } @slow;
    my $median = $slow[ $#slow / 2 ][0];
    print "\nSlow requests (> $opt{slow} ms, median ", int $median, " ms):\n";
    printf "  %7.1f ms  %-6s %s\n", @$_ for @slow[0 .. min_idx(9, $#slow)];
}

print "\nGenerated ", strftime('%Y-%m-%d %H:%M', localtime), " by $0 — \"logscan\" v1.3\n";

sub min_idx { my ($x, $y) = @_; return $x < $y ? $x : $y }
