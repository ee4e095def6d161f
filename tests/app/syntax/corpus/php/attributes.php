<?php
declare(strict_types=1);

namespace App\Http;

use Attribute;

#[Attribute(Attribute::TARGET_METHOD | Attribute::IS_REPEATABLE)]
final class Route
{
    public function __construct(public string $path, public array $methods = ['GET']) {}
}

#[Route('/users/{id}', methods: ['GET', 'HEAD'])]
#[
    Deprecated("use show() instead"),
    Cache(ttl: 3_600)
]
function legacy_show(int $id): string # a hash comment after code
{
    $limit = 1_000_000;          // numbers may be written with underscores
    $mask = 0xFF_FF | 0b1010_0101 | 0o777 | 0755;
    $ratio = 1_000.5e-3 + .25 + 6.02E23;
    $n = (int) "42" + (float) '1.5' + (integer)$id + ( bool ) $limit;
    $s = (string)$ratio . (array) $mask === [] ? 'x' : 'y';
    /* A block comment with ?> inside does not end PHP. */
    /** @var int $id the user's id */
    return "#$id: $n $s";
}

echo legacy_show(7); // prints the result ?> This is <b>HTML</b> after the tag.
<?php
echo 1; # and a hash comment ends PHP too ?><i>more HTML</i>
<?php #?><u>right away</u>
<?php //?><s>also right away</s>
