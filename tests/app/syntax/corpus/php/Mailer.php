<?php
declare(strict_types=1);

namespace App\Mail;

use InvalidArgumentException;
use RuntimeException;

/**
 * Renders and queues plain-text e-mails.
 *
 * @package App\Mail
 */
final class Mailer
{
    public const MAX_RECIPIENTS = 50;
    private const HEADER_EOL = "\r\n";

    /** @var array<int, array{to: string, subject: string, body: string}> */
    private array $queue = [];

    public function __construct(
        private readonly string $from,
        private readonly string $siteName = 'Example Shop',
    ) {
        if (!filter_var($from, FILTER_VALIDATE_EMAIL)) {
            throw new InvalidArgumentException("Invalid sender address: '$from'");
        }
    }

    public function welcome(string $to, string $name): void
    {
        $safeName = trim(preg_replace('/[\r\n]+/', ' ', $name));
        $subject = "Welcome to {$this->siteName}, $safeName!";

        // Heredoc: variables and {$expressions} are interpolated.
        $body = <<<TEXT
            Hi $safeName,

            Thanks for signing up at {$this->siteName}. Your login is "$to".
            Prices are shown in \$ (US dollars); your first order ships free.
            Questions? Just reply to this message or write to {$this->from}.

            -- The {$this->siteName} team
            TEXT;

        $this->queue($to, $subject, $body);
    }

    public function orderShipped(string $to, array $order): void
    {
        $lines = array_map(
            fn(array $item): string => sprintf('%-30s %3d x %8.2f', $item['name'], $item['qty'], $item['price']),
            $order['items']
        );
        $total = array_sum(array_map(fn($i) => $i['qty'] * $i['price'], $order['items']));
        $list = implode("\n", $lines);

        $body = <<<"TEXT"
        Order #{$order['id']} is on its way!

        $list
        ------------------------------------------------
        Total: {$this->money($total)}
        Tracking: {$order['tracking']}
        TEXT;

        $this->queue($to, "Order #{$order['id']} shipped", $body);
    }

    private function money(float $amount): string
    {
        return '$' . number_format($amount, 2);
    }

    private function queue(string $to, string $subject, string $body): void
    {
        if (count($this->queue) >= self::MAX_RECIPIENTS) {
            throw new RuntimeException('Queue is full; call flush() first.');
        }
        $this->queue[] = compact('to', 'subject', 'body');
    }

    /** Returns the raw messages and empties the queue. */
    public function flush(): array
    {
        $out = [];
        foreach ($this->queue as ['to' => $to, 'subject' => $subject, 'body' => $body]) {
            $headers = implode(self::HEADER_EOL, [
                "From: {$this->from}",
                "To: $to",
                'Subject: ' . mb_encode_mimeheader($subject, 'UTF-8'),
                'Content-Type: text/plain; charset="utf-8"',
            ]);
            $out[] = $headers . self::HEADER_EOL . self::HEADER_EOL . $body;
        }
        $this->queue = [];
        return $out;
    }
}
