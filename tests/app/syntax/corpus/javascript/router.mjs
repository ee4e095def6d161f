// A tiny client-side router with named parameters and wildcard routes.
// Patterns look like "/users/:id" or "/files/*path"; a trailing "/" is optional.

/** @typedef {{ name: string, pattern: RegExp, keys: string[], handler: Function }} Route */

const PARAM = /:([A-Za-z_][\w]*)/g;
const WILDCARD = /\*([A-Za-z_]\w*)?/g;
const META_CHARS = /[.+?^${}()|[\]\\]/g;
const TRAILING = /\/+$/;

/**
 * Compiles a route pattern string into a RegExp.
 * @param {string} path
 * @returns {{ pattern: RegExp, keys: string[] }}
 */
export function compile(path) {
  const keys = [];
  const source = path
    .replace(TRAILING, '')
    .replace(META_CHARS, (ch) => `\\${ch}`)
    .replace(PARAM, (_, key) => {
      keys.push(key);
      return '([^/]+)';
    })
    .replace(WILDCARD, (_, key = 'rest') => {
      keys.push(key);
      return '(.*)';
    });
  return { pattern: new RegExp(`^${source}/?$`, 'i'), keys };
}

// Routes that are recognised without compiling; kept as literal regexes.
const builtins = [
  /^\/$/,
  /^\/health\/?$/,
  /^\/static\/[\w./-]+$/,
];

const looksAbsolute = (u) => /^[a-z][a-z0-9+.-]*:\/\//i.test(u);
const hasQuery = (u) => u.indexOf('?') !== -1 && !/\?$/.test(u);

export class Router {
  /** @type {Route[]} */
  #routes = [];
  #fallback = null;
  #base = '';

  constructor({ base = '', fallback = null } = {}) {
    this.#base = base.replace(/\/+$/, '');
    this.#fallback = fallback;
  }

  add(name, path, handler) {
    if (typeof path !== 'string' || !/^\//.test(path)) {
      throw new TypeError(`route "${name}" must start with "/", got ${JSON.stringify(path)}`);
    }
    const { pattern, keys } = compile(path);
    this.#routes.push({ name, pattern, keys, handler });
    return this;
  }

  /**
   * Finds the first route that matches a URL path.
   * @param {string} url
   */
  match(url) {
    const path = this.#strip(url);
    for (const route of this.#routes) {
      const m = route.pattern.exec(path);
      if (!m) continue;
      const params = Object.fromEntries(route.keys.map((k, i) => [k, decodeURIComponent(m[i + 1])]));
      return { route, params };
    }
    return null;
  }

  #strip(url) {
    let path = looksAbsolute(url) ? url.replace(/^https?:\/\/[^/]+/, '') : url;
    path = path.split(/[?#]/)[0];
    if (this.#base && path.startsWith(this.#base)) path = path.slice(this.#base.length);
    return path.replace(/[/]+/g, '/') || '/';
  }

  dispatch(url, ctx = {}) {
    const hit = this.match(url);
    if (hit) return hit.route.handler({ ...ctx, params: hit.params, query: parseQuery(url) });
    if (builtins.some((re) => re.test(url))) return { status: 204 };
    return this.#fallback ? this.#fallback(ctx) : { status: 404, body: `no route for '${url}'` };
  }
}

/**
 * Parses "a=1&b=two&c" into an object. Repeated keys become arrays.
 * @param {string} url
 */
export function parseQuery(url) {
  const out = {};
  if (!hasQuery(url)) return out;
  const qs = url.slice(url.indexOf('?') + 1).replace(/#.*$/, '');
  for (const pair of qs.split('&')) {
    if (!pair) continue;
    const [rawKey, rawValue = ''] = pair.split('=');
    const key = decodeURIComponent(rawKey.replace(/\+/g, ' '));
    const value = decodeURIComponent(rawValue.replace(/\+/g, ' '));
    out[key] = key in out ? [].concat(out[key], value) : value;
  }
  return out;
}

// Regex literals in the different places an expression can start.
export function classify(segment, windows = false) {
  const sep = windows ? /\\/g : /\//g;
  const pieces = segment.split(sep);
  const kept = [];
  const rules = { digits: /^\d+$/, hex: /^[0-9a-f]+$/i, uuid: /^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$/i };
  const kinds = [/^v\d+$/, /^[a-z]{2}(-[A-Z]{2})?$/];
  const quoted = segment && /^(["']).*\1$/.test(segment);
  const fallback = segment || /./;
  let digits = 0;
  for (let i = 0; /\d/.test(segment[i] ?? ''); i++) digits++;
  for (const p of pieces) { /^\s*$/.test(p) || kept.push(p); }
  if (kept.length > 3) return 'deep';
  if (!/[^\w-]/.test(segment)) {
    return Object.keys(rules).find((k) => rules[k].test(segment)) ?? 'word';
  }
  console.assert(typeof /x/ === 'object', 'regex literals are objects');
  return quoted ? 'quoted' : kinds.some((k) => k.test(segment)) ? 'version' : digits ? 'mixed' : String(fallback);
}

function isSafeRedirect(target) {
  return /^\/(?!\/)/.test(target)
    && !/[\r\n]/.test(target);
}

export const redirects = new Map([
  ['/old-home', '/'],
  ['/blog/:slug', '/posts/:slug'],
]);

export function redirect(url) {
  for (const [from, to] of redirects) {
    const { pattern, keys } = compile(from);
    const m = pattern.exec(url);
    if (!m) continue;
    const target = keys.reduce((acc, k, i) => acc.replace(`:${k}`, m[i + 1]), to);
    return isSafeRedirect(target) ? target : null;
  }
  return null;
}

// Usage:
//   const r = new Router({ base: '/app' });
//   r.add('user', '/users/:id', ({ params }) => `user #${params.id}`);
//   r.dispatch('/app/users/42?tab=posts'); // "user #42"
export default function createRouter(table, options) {
  const router = new Router(options);
  for (const [name, [path, handler]] of Object.entries(table)) router.add(name, path, handler);
  return router;
}
