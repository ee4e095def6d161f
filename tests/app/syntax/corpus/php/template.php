<?php
/* A tiny page template: PHP mixed with HTML. */
require_once __DIR__ . '/vendor/autoload.php';

$title = 'Café "Menu"';
$items = [
    ['name' => 'Espresso', 'price' => 2.5, 'tags' => ['hot']],
    ['name' => "Tea (Earl Grey)", 'price' => 2.0, 'tags' => ['hot', 'vegan']],
    ['name' => 'Iced latte', 'price' => 3.75, 'tags' => []],
];
$user = $_GET['user'] ?? null;

function e(?string $s): string
{
    return htmlentities((string) $s, ENT_QUOTES | ENT_SUBSTITUTE | ENT_HTML5, 'UTF-8');
}

// Nowdoc: nothing is interpolated, so $this and {$x} stay literal.
$help = <<<'HELP'
Use $price to show a price and {$name} for the item's name.
Backslashes like \n are literal here.
HELP;

$count = count($items);
$cheapest = min(array_column($items, 'price'));
$message = $count === 1 ? "1 item" : "$count items, from \${$cheapest}";
# A hash comment is also valid PHP.
?>
<!DOCTYPE html>
<html lang="en">
<head>
    <meta charset="utf-8">
    <title><?= e($title) ?></title>
    <style>
        .tag { padding: 0 4px; border-radius: 3px; background: #eef; }
    </style>
</head>
<body>
<?php if ($user !== null): ?>
    <p>Hello, <?= e($user) ?>! <a href="?user=">Sign out</a></p>
<?php else: ?>
    <p><a href="/login?next=<?= urlencode($_SERVER['REQUEST_URI'] ?? '/') ?>">Sign in</a></p>
<?php endif; ?>

<h1><?= e($title) ?> <small>(<?= e($message) ?>)</small></h1>
<ul>
<?php foreach ($items as $i => $item): ?>
    <li data-index="<?= $i ?>">
        <?= e($item['name']) ?> &mdash; <?= sprintf('$%.2f', $item['price']) ?>
        <?php foreach ($item['tags'] as $tag) { echo "<span class=\"tag\">" . e($tag) . '</span> '; } ?>
    </li>
<?php endforeach; ?>
</ul>
<pre><?= e($help) ?></pre>
<script>
    // JavaScript inside the page; PHP tags are not involved here.
    document.querySelectorAll('li').forEach((li) => li.addEventListener('click', () => li.classList.toggle('on')));
</script>
</body>
</html>
