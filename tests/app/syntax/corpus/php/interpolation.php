<?php
// Double-quoted strings: escapes and every form of interpolation.
$user = new stdClass();
$user->name = 'Ada';
$user->tags = ['admin', 'ops'];
$prices = ['tea' => 2.5, 'cake' => 4];
$i = 1;

echo "Hello $user->name, you have {$user->tags[0]} and {$user->tags[$i]}.\n";
echo "Tea costs $prices[tea], cake costs {$prices['cake']}; a \"quote\" and a \$dollar.\n";
echo "Nested quotes: {$prices["tea"]} and {$user->tags[count($user->tags) - 1]}\n";
echo "Braces alone { stay text }, and \{$i} is a brace then a variable.\n";
echo "Old style ${i} interpolation, {$i} the new style; nullsafe $user?->name too.\n";
echo "Escapes: \t\x41\101\u{1F600}\e\\ and a lone backslash \q.\n";
echo "Method calls: {$user->tags[0]} {$user->name} " . strtoupper("done") . "\n";
printf("%s has %d tags%s", $user->name, count($user->tags), PHP_EOL);

$sql = "SELECT *
          FROM users
         WHERE name = '{$user->name}'
           AND id = $i";
$cmd = `ls -la $dir`;
$single = 'No $interpolation {$here}, only \' and \\ escapes';
$url = "https://example.com/?q=" . urlencode($single) . "#top";
