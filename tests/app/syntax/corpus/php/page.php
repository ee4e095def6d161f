<?php
$items = ['Tea' => 2.5, 'Cake' => 4.0];
$active = 'Tea';
$cfg = ['title' => "Menu & prices", 'theme' => 'dark'];
?>
<!DOCTYPE html>
<html lang="en">
<head>
    <!-- Built on <?= date('Y-m-d') ?> -->
    <title><?= htmlspecialchars($cfg["title"]) ?></title>
    <link rel="stylesheet" href="/css/<?= $cfg['theme'] ?>.css">
    <style>
        body { color: <?= $cfg['theme'] === 'dark' ? '#eee' : '#222' ?>; }
        .price { font-weight: bold; } /* costs $5 */
    </style>
    <script src="/js/app.js?v=<?php echo filemtime(__FILE__); ?>"></script>
</head>
<body class="<?php echo $cfg["theme"]; ?>">
<p>Prices are in $ (dollars) & cents; it's "plain" text, not a string.</p>
<ul>
<?php foreach ($items as $name => $price): ?>
    <li<?php if ($name === $active): ?> class="active"<?php endif; ?> data-price='<?= $price ?>'>
        <?= $name ?>: <?php printf('%.2f', $price) ?>
    </li>
<?php endforeach ?>
</ul>
<?php
    // A PHP block over several lines between HTML
    $total = array_sum($items);
    echo "<p>Total: $total</p>";
?>
<script>
    const items = <?= json_encode($items) ?>;
    const label = '<?= addslashes($active) ?>';
    // a JavaScript comment
    console.log(label, items["Tea"]);
</script>
</body>
</html>
