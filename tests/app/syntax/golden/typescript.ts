// cache.ts - a typed least-recently-used cache
import { EventEmitter } from "events";
import type { Logger } from './logger';

/** Options of a cache. */
export interface CacheOptions<K> {
  readonly capacity: number;
  onEvict?: (key: K) => void;
  /* optional
     logger */
  logger?: Logger | null;
}

type Entry<V> = { value: V; hits: number };
enum Mode { Strict = 0x1, Loose = 0b10 }

function sealed(ctor: Function): void {
  Object.seal(ctor);
  Object.seal(ctor.prototype);
}

/**
 * Least-recently-used cache.
 * @typeParam K - key type
 */
@sealed
export class LruCache<K extends string | number, V = unknown> extends EventEmitter {
  private readonly map = new Map<K, Entry<V>>();
  protected mode: Mode = Mode.Strict;
  static readonly VERSION = `lru ${1.5e0}`;

  constructor(private readonly options: CacheOptions<K>) {
    super();
  }

  get size(): number {
    return this.map.size;
  }

  get(key: K): V | undefined {
    const entry = this.map.get(key);
    if (entry === undefined) return undefined;
    entry.hits++;
    this.map.delete(key);
    this.map.set(key, entry);
    return entry.value as V;
  }

  set(key: K, value: V): this {
    if (this.map.size >= this.options.capacity) {
      const oldest = this.map.keys().next().value as K;
      this.map.delete(oldest);
      this.options.onEvict?.(oldest);
      this.emit('evict', { key: oldest, reason: "full {capacity}" });
    }
    this.map.set(key, { value, hits: 0 });
    return this;
  }

  keysMatching(pattern: RegExp = /^[a-z]+\d*$/i): K[] {
    return [...this.map.keys()].filter((k): k is K => pattern.test(String(k)));
  }
}

export async function warm<V>(cache: LruCache<string, V>, load: (k: string) => Promise<V>): Promise<void> {
  const keys: readonly string[] = ['a', 'b', "c\td"];
  for (const k of keys) {
    cache.set(k, await load(k));
  }
  const ratio: number = cache.size / 2 / 1_000;
  console.log(`warmed ${keys.length} keys, ratio ${ratio}`);
}

declare global {
  interface Window { cache?: LruCache<string, any>; }
}
