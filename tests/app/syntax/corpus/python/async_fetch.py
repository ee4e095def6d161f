"""Concurrent URL checker built on asyncio.

Checks each URL with a HEAD request and reports the status.  Network access is
simulated here so that the module runs anywhere::

    >>> asyncio.run(check_all(["https://example.test/a"]))[0].status
    200
"""
import asyncio
import json
import random
import time
from contextlib import asynccontextmanager
from enum import Enum, auto
from typing import AsyncIterator, NamedTuple, Protocol


class Outcome(Enum):
    OK = auto()
    REDIRECT = auto()
    BROKEN = auto()


class Check(NamedTuple):
    url: str
    status: int
    elapsed: float

    @property
    def outcome(self) -> Outcome:
        if 200 <= self.status < 300:
            return Outcome.OK
        return Outcome.REDIRECT if self.status // 100 == 3 else Outcome.BROKEN


class Transport(Protocol):
    async def head(self, url: str) -> int: ...


class FakeTransport:
    """Pretends to talk to servers; 'broken' in the URL means 404."""

    def __init__(self, seed: int = 0x5EED) -> None:
        self._rng = random.Random(seed)

    async def head(self, url: str) -> int:
        await asyncio.sleep(self._rng.uniform(0.001, 0.01))
        if "broken" in url:
            return 404
        return 301 if url.endswith("/old") else 200


@asynccontextmanager
async def limited(sem: asyncio.Semaphore) -> AsyncIterator[None]:
    async with sem:
        yield


async def check_one(url: str, transport: Transport, sem: asyncio.Semaphore) -> Check:
    start = time.perf_counter()
    async with limited(sem):
        try:
            status = await asyncio.wait_for(transport.head(url), timeout=2.5)
        except asyncio.TimeoutError:
            status = 599
    return Check(url, status, time.perf_counter() - start)


async def check_all(urls: list[str], *, concurrency: int = 4, transport: Transport | None = None) -> list[Check]:
    sem = asyncio.Semaphore(concurrency)
    transport = transport or FakeTransport()
    return list(await asyncio.gather(*(check_one(u, transport, sem) for u in urls)))


def render(checks: list[Check]) -> str:
    width = max(map(len, (c.url for c in checks)), default=0)
    rows = [f"{c.url:<{width}}  {c.status}  {c.elapsed * 1e3:6.1f} ms  {c.outcome.name.lower()}" for c in checks]
    counts = {o.name: sum(c.outcome is o for c in checks) for o in Outcome}
    summary = json.dumps(counts, sort_keys=True)
    return "\n".join(rows) + f"\n\nsummary: {summary}"


URLS = [
    "https://example.test/",
    "https://example.test/docs/old",
    'https://example.test/broken-link?q="x"',
    "https://example.test/caf\u00e9",
    r"https://example.test/path\with\backslashes",
]

if __name__ == "__main__":
    results = asyncio.run(check_all(URLS, concurrency=2))
    print(render(results))
    broken = [c for c in results if c.outcome is Outcome.BROKEN]
    print(f"{len(broken)} broken: {', '.join(c.url for c in broken) or 'none'}")
