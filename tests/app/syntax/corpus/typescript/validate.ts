// Tiny schema validation with inferred types.

export type Result<T> = { ok: true; value: T } | { ok: false; errors: string[] };

export interface Validator<T> {
  readonly name: string;
  check(input: unknown, path?: string): Result<T>;
}

export type Infer<V> = V extends Validator<infer T> ? T : never;

const ok = <T,>(value: T): Result<T> => ({ ok: true, value });
const fail = (path: string, message: string): Result<never> => ({ ok: false, errors: [`${path || '$'}: ${message}`] });

const EMAIL = /^[^\s@"']+@[^\s@/]+\.[a-z]{2,}$/i;
const ISO_DATE = /^\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01])$/;
const SLUG = /^[a-z0-9]+(?:-[a-z0-9]+)*$/;

export const string = (opts: { min?: number; max?: number; pattern?: RegExp } = {}): Validator<string> => ({
  name: 'string',
  check(input, path = '') {
    if (typeof input !== 'string') return fail(path, `expected string, got ${typeof input}`);
    if (opts.min !== undefined && input.length < opts.min) return fail(path, `shorter than ${opts.min}`);
    if (opts.max !== undefined && input.length > opts.max) return fail(path, `longer than ${opts.max}`);
    if (opts.pattern && !opts.pattern.test(input)) return fail(path, `does not match ${opts.pattern}`);
    return ok(input);
  },
});

export const number = (opts: { integer?: boolean; min?: number } = {}): Validator<number> => ({
  name: 'number',
  check(input, path = '') {
    if (typeof input !== 'number' || Number.isNaN(input)) return fail(path, 'expected a number');
    if (opts.integer && !Number.isInteger(input)) return fail(path, 'expected an integer');
    if (opts.min !== undefined && input < opts.min) return fail(path, `must be >= ${opts.min}`);
    return ok(input);
  },
});

export function array<T>(item: Validator<T>): Validator<T[]> {
  return {
    name: `${item.name}[]`,
    check(input, path = '') {
      if (!Array.isArray(input)) return fail(path, 'expected an array');
      const errors: string[] = [];
      const out: T[] = [];
      input.forEach((v, i) => {
        const r = item.check(v, `${path}[${i}]`);
        r.ok ? out.push(r.value) : errors.push(...r.errors);
      });
      return errors.length ? { ok: false, errors } : ok(out);
    },
  };
}

export function object<S extends Record<string, Validator<unknown>>>(
  shape: S,
): Validator<{ [K in keyof S]: Infer<S[K]> }> {
  type Out = { [K in keyof S]: Infer<S[K]> };
  return {
    name: 'object',
    check(input, path = '') {
      if (typeof input !== 'object' || input === null) return fail(path, 'expected an object');
      const errors: string[] = [];
      const out = {} as Out;
      for (const key of Object.keys(shape) as Array<keyof S & string>) {
        const r = shape[key].check((input as Record<string, unknown>)[key], path ? `${path}.${key}` : key);
        if (r.ok) out[key] = r.value as Out[typeof key];
        else errors.push(...r.errors);
      }
      return errors.length ? { ok: false, errors } : ok(out);
    },
  };
}

export const User = object({
  id: number({ integer: true, min: 1 }),
  slug: string({ pattern: SLUG }),
  email: string({ pattern: EMAIL, max: 254 }),
  joined: string({ pattern: ISO_DATE }),
  tags: array(string({ min: 1 })),
});

export type User = Infer<typeof User>;

const input: unknown = JSON.parse(`{
  "id": 7,
  "slug": "jo-o-neil",
  "email": "jo@example.test",
  "joined": "2024-02-30",
  "tags": ["admin", ""]
}`);

const result = User.check(input);
if (result.ok) {
  const u: User = result.value;
  console.log(`valid user #${u.id} <${u.email}>`);
} else {
  console.log(`${result.errors.length} problem(s):\n${result.errors.map((e) => ` - ${e}`).join('\n')}`);
}

// Division and generics near each other: neither `<` nor `/` start anything here.
const avg = <T extends { n: number }>(xs: T[]): number => xs.reduce((s, x) => s + x.n, 0) / xs.length;
console.log(avg([{ n: 1 }, { n: 2 }]) / 2, (input as { id: number }).id / 7);
