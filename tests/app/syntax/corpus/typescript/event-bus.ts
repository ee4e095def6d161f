/**
 * A typed publish/subscribe bus.
 *
 * @example
 * const bus = new EventBus<AppEvents>();
 * bus.on('saved', ({ path }) => console.log(`saved ${path}`));
 */

export type AppEvents = {
  saved: { path: string; bytes: number };
  closed: { path: string; dirty: boolean };
  error: Error;
  tick: void;
};

type Handler<P> = P extends void ? () => void : (payload: P) => void;
type Unsubscribe = () => void;

export type EventName<E> = Extract<keyof E, string>;

/** Makes every property of `T` optional, recursively. */
export type DeepOptional<T> = { [K in keyof T]?: T[K] extends object ? DeepOptional<T[K]> : T[K] };

/** String keys of `T` whose values are functions. */
export type MethodKeys<T> = { [K in keyof T]: T[K] extends (...args: any[]) => any ? K : never }[keyof T];

export type Prefixed<S extends string> = `on${Capitalize<S>}`;

enum Priority {
  Low = -1,
  Normal = 0,
  High = 1,
}

interface Entry<P> {
  handler: Handler<P>;
  priority: Priority;
  once: boolean;
}

export class EventBus<E extends Record<string, unknown>> {
  private readonly handlers = new Map<keyof E, Entry<any>[]>();
  private paused = false;
  private queue: Array<[keyof E, unknown]> = [];

  on<K extends EventName<E>>(name: K, handler: Handler<E[K]>, priority = Priority.Normal): Unsubscribe {
    const list = this.handlers.get(name) ?? [];
    list.push({ handler, priority, once: false });
    list.sort((a, b) => b.priority - a.priority);
    this.handlers.set(name, list);
    return () => this.off(name, handler);
  }

  once<K extends EventName<E>>(name: K, handler: Handler<E[K]>): Unsubscribe {
    const off = this.on(name, handler);
    const list = this.handlers.get(name)!;
    list[list.length - 1].once = true;
    return off;
  }

  off<K extends EventName<E>>(name: K, handler: Handler<E[K]>): void {
    const list = this.handlers.get(name);
    if (!list) return;
    this.handlers.set(name, list.filter((e) => e.handler !== handler));
  }

  emit<K extends EventName<E>>(name: K, ...args: E[K] extends void ? [] : [E[K]]): void {
    if (this.paused) {
      this.queue.push([name, args[0]]);
      return;
    }
    for (const entry of [...(this.handlers.get(name) ?? [])]) {
      (entry.handler as (p?: unknown) => void)(args[0]);
      if (entry.once) this.off(name, entry.handler as Handler<E[K]>);
    }
  }

  pause(): void {
    this.paused = true;
  }

  resume(): void {
    this.paused = false;
    const pending = this.queue.splice(0);
    for (const [name, payload] of pending) {
      (this.emit as (n: keyof E, p?: unknown) => void)(name, payload);
    }
  }

  listenerCount(name?: EventName<E>): number {
    if (name !== undefined) return this.handlers.get(name)?.length ?? 0;
    let total = 0;
    for (const list of this.handlers.values()) total += list.length;
    return total;
  }
}

export function describe<E extends Record<string, unknown>>(bus: EventBus<E>, names: EventName<E>[]): string {
  const rows = names.map((n) => `  ${n.padEnd(8)} ${bus.listenerCount(n)} listener(s)`);
  return `EventBus with ${bus.listenerCount()} listeners:\n${rows.join('\n')}`;
}

const bus = new EventBus<AppEvents>();
const stop = bus.on('saved', ({ path, bytes }) => console.log(`saved ${path} (${(bytes / 1024).toFixed(1)} KiB)`));
bus.once('error', (err) => console.error(`error: ${err.message}`), );
bus.on('tick', () => undefined, Priority.Low);
bus.emit('saved', { path: 'C:\\notes\\todo.txt', bytes: 2_048 });
bus.emit('tick');
stop();
console.log(describe(bus, ['saved', 'error', 'tick']));
