<?php
declare(strict_types=1);

namespace App\Billing;

use InvalidArgumentException;

/**
 * Computes invoices.
 *
 * @package App\Billing
 * @author  Billing team
 */
#[\Attribute]
final class Invoice implements \JsonSerializable
{
    public const TAX = 0.19;
    private const MASK = 0x1F | 0b101 | 0o17;
    private array $lines = [];

    public function __construct(private string $customer, private ?int $number = null)
    {
        if ($customer === '') {
            throw new InvalidArgumentException('customer must not be empty, it\'s required');
        }
    }

    // Adds a line; braces in comments { do not fold
    public function add(string $item, int $qty, float $price): static
    {
        $this->lines[] = ['item' => $item, 'qty' => $qty, 'price' => $price];
        return $this;
    }

    # A shell-style comment
    public function total(): float
    {
        $sum = 0.0;
        foreach ($this->lines as $line) {
            $sum += $line['qty'] * $line['price'];
        }
        return round($sum * (1 + self::TAX), 2);
    }

    public function render(): string
    {
        $head = "Invoice {$this->number} for $this->customer:\n";
        $body = <<<EOT
            Customer: {$this->customer}
            Lines:    {count($this->lines)}
            EOT;
        $note = <<<'TXT'
            Not parsed: $this->customer {braces}
            TXT;
        /* a block comment
           over two lines */
        return $head . $body . PHP_EOL . $note . sprintf("%.2f\t\$", $this->total());
    }

    public function jsonSerialize(): mixed
    {
        return match (true) {
            empty($this->lines) => null,
            default => ['customer' => $this->customer, 'total' => $this->total()],
        };
    }
}

$invoice = (new Invoice("ACME \"Tools\""))->add('hammer', 2, 9.5)->add("nails", 100, 1.0E-2);
echo $invoice->render(), "\n";
$fn = fn($x) => $x * 2;
if (is_null($invoice) || !isset($fn)) {
    exit(1);
}
?>
<p>Total: <?= $invoice->total() ?></p>
