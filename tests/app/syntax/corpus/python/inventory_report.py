#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Summarise an inventory CSV file.

Usage::

    python inventory_report.py stock.csv --min 5

The file must have the columns ``sku``, ``name``, ``qty`` and ``price``.
"""

from __future__ import annotations

import argparse
import csv
import functools
import re
import sys
from collections import defaultdict
from dataclasses import dataclass, field
from decimal import Decimal
from pathlib import Path
from typing import Iterable, Iterator

SKU_RE = re.compile(r"^[A-Z]{2}-\d{4}$")
WINDOWS_PATH = r"C:\data\stock\latest.csv"
TAB_SEPARATED = b"sku\tname\tqty\tprice\n"
BANNER = '''\
+----------------------------+
| Inventory "summary" report |
+----------------------------+'''


@dataclass(frozen=True, slots=True)
class Item:
    """A single stock line."""

    sku: str
    name: str
    qty: int
    price: Decimal
    tags: tuple[str, ...] = field(default_factory=tuple)

    @property
    def value(self) -> Decimal:
        return self.price * self.qty

    def __str__(self) -> str:
        return f"{self.sku:<8} {self.name!r:<28} {self.qty:>6,} @ {self.price:>8.2f}"


def logged(func):
    """Decorator that prints the call and its result."""

    @functools.wraps(func)
    def wrapper(*args, **kwargs):
        result = func(*args, **kwargs)
        print(f"{func.__name__}({', '.join(map(repr, args))}) -> {result!r}", file=sys.stderr)
        return result

    return wrapper


def read_items(lines: Iterable[str]) -> Iterator[Item]:
    for lineno, row in enumerate(csv.DictReader(lines), start=2):
        if not SKU_RE.match(sku := row["sku"].strip()):
            print(f"line {lineno}: bad sku {sku!r}, skipping", file=sys.stderr)
            continue
        tags = tuple(t for t in row.get("tags", "").split(";") if t)
        yield Item(sku, row["name"], int(row["qty"]), Decimal(row["price"]), tags)


@logged
def total_value(items: list[Item]) -> Decimal:
    return sum((i.value for i in items), start=Decimal("0"))


def by_prefix(items: Iterable[Item]) -> dict[str, list[Item]]:
    groups: dict[str, list[Item]] = defaultdict(list)
    for item in items:
        groups[item.sku[:2]].append(item)
    return dict(sorted(groups.items()))


def describe(item: Item, threshold: int) -> str:
    match item:
        case Item(qty=0):
            return f"{item.sku}: out of stock"
        case Item(qty=q) if q < threshold:
            return f"{item.sku}: low ({q} left) — reorder {'soon' if q > 1 else 'now'}"
        case Item(tags=("discontinued", *_)):
            return f"{item.sku}: discontinued"
        case _:
            return f'{item.sku}: ok, value {item.value:.2f} {"(tagged)" if item.tags else ""}'.rstrip()


SAMPLE = '''sku,name,qty,price,tags
AB-1001,"Bolt, hex M6",1200,0.08,
AB-1002,"Washer ""wide""",3,0.03,metal;small
CD-2001,Crème polish,0,6.50,
ZZ-9,Broken row,1,1.00,
EF-3001,Cable 2m,40,4.99,discontinued
'''


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("csv", nargs="?", type=Path, help=f"input file, e.g. {WINDOWS_PATH}")
    parser.add_argument("--min", type=int, default=5, help="low-stock threshold (default: %(default)s)")
    args = parser.parse_args(argv)

    text = args.csv.read_text(encoding="utf-8") if args.csv else SAMPLE
    items = list(read_items(text.splitlines()))
    print(BANNER)
    for prefix, group in by_prefix(items).items():
        print(f"[{prefix}] {len(group)} item{'s' if len(group) != 1 else ''}")
        for item in group:
            print(f"    {describe(item, args.min)}")
    print(f"Total: {total_value(items):,.2f} ({len(items)} of {len(text.splitlines()) - 1} rows)")
    print(rf"Tip: pass a path like {WINDOWS_PATH!s} \or use stdin", TAB_SEPARATED.count(b"\t"))
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
