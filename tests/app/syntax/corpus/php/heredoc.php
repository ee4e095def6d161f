<?php
// Here-documents end at the word they began with; since PHP 7.3 the
// closing word may be indented and followed by more code on its line.
$name = 'World';
$html = <<<html
    <p class="greeting">Hello, {$name}!</p>
    <p>Total: $total EUR</p>
    <p>\$total is text, \\$total a variable.\tTabbed</p>
    END
    html;

$query = <<<"SQL"
    SELECT id, "name" FROM t WHERE x = '$name' -- not a PHP comment
    SQL;

$raw = <<<'EOT'
Nothing here is code: $name {$name} \n "quotes" 'quotes' ?> /* */ // #
EOTX is not the end either
EOT;

$list = array_map('trim', explode("\n", <<<TXT
      one
      two
      TXT));

$pair = [<<<A
  first $name
  A, <<<'B'
  second $name
  B];

function render(string $body): string
{
    return sprintf(<<<TPL
        <div>%s</div>
        TPL, $body);
}
echo render($html), $query, $raw, count($list), $pair[0];
