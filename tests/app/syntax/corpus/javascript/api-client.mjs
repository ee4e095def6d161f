/**
 * A small HTTP client with retries, timeouts and JSON handling.
 *
 * ```js
 * const api = new ApiClient({ baseUrl: 'https://example.test/v1' });
 * const user = await api.get(`/users/${id}`);
 * ```
 *
 * @author  The reporting team
 * @license MIT
 */

import { setTimeout as sleep } from 'node:timers/promises';

// Defaults can be overridden per request; don't put secrets in here, it's logged.
export const DEFAULTS = Object.freeze({
  timeoutMs: 10_000,
  retries: 3,
  backoff: { baseMs: 250, factor: 2, maxMs: 4_000 },
  headers: {
    'Accept': 'application/json',
    'User-Agent': 'report-client/1.4 (+https://example.test/bot)',
  },
});

const RETRYABLE = new Set([408, 425, 429, 500, 502, 503, 504]);

export class HttpError extends Error {
  /**
   * @param {number} status
   * @param {string} message
   * @param {unknown} [body]
   */
  constructor(status, message, body) {
    super(`HTTP ${status}: ${message}`);
    this.name = 'HttpError';
    this.status = status;
    this.body = body;
  }

  get retryable() {
    return RETRYABLE.has(this.status);
  }
}

/** Joins a base URL and a path without doubling or dropping the slash. */
export function joinUrl(base, path) {
  return `${base.replace(/\/+$/, '')}/${path.replace(/^\/+/, '')}`;
}

/** Encodes an object as a query string, skipping null and undefined. */
export function toQuery(params = {}) {
  const pairs = Object.entries(params)
    .filter(([, v]) => v !== null && v !== undefined)
    .flatMap(([k, v]) => (Array.isArray(v) ? v.map((x) => [k, x]) : [[k, v]]))
    .map(([k, v]) => `${encodeURIComponent(k)}=${encodeURIComponent(String(v))}`);
  return pairs.length ? `?${pairs.join('&')}` : '';
}

export class ApiClient {
  #baseUrl;
  #options;
  #listeners = new Map();

  constructor({ baseUrl, ...options } = {}) {
    if (!baseUrl) throw new Error("ApiClient needs a 'baseUrl'");
    this.#baseUrl = baseUrl;
    this.#options = { ...DEFAULTS, ...options, headers: { ...DEFAULTS.headers, ...options.headers } };
  }

  on(event, fn) {
    const list = this.#listeners.get(event) ?? [];
    list.push(fn);
    this.#listeners.set(event, list);
    return () => this.#listeners.set(event, list.filter((f) => f !== fn));
  }

  #emit(event, payload) {
    for (const fn of this.#listeners.get(event) ?? []) {
      try { fn(payload); } catch (err) { console.error(`listener for "${event}" threw:`, err); }
    }
  }

  #delay(attempt) {
    const { baseMs, factor, maxMs } = this.#options.backoff;
    const jitter = Math.random() * baseMs / 2;
    return Math.min(maxMs, baseMs * factor ** attempt + jitter);
  }

  /**
   * Sends a request and parses the JSON reply.
   * @param {'GET'|'POST'|'PUT'|'DELETE'} method
   * @param {string} path
   * @param {{ query?: object, body?: unknown, signal?: AbortSignal }} [init]
   */
  async request(method, path, { query, body, signal } = {}) {
    const url = joinUrl(this.#baseUrl, path) + toQuery(query);
    const headers = { ...this.#options.headers };
    if (body !== undefined) headers['Content-Type'] = 'application/json; charset=utf-8';

    for (let attempt = 0; ; attempt++) {
      const controller = new AbortController();
      const timer = setTimeout(() => controller.abort(new Error('timeout')), this.#options.timeoutMs);
      signal?.addEventListener('abort', () => controller.abort(signal.reason), { once: true });
      const started = Date.now();
      try {
        const res = await fetch(url, {
          method,
          headers,
          body: body === undefined ? undefined : JSON.stringify(body),
          signal: controller.signal,
        });
        this.#emit('response', { method, url, status: res.status, ms: Date.now() - started });
        const type = res.headers.get('content-type') ?? '';
        const data = /\bjson\b/i.test(type) ? await res.json() : await res.text();
        if (!res.ok) throw new HttpError(res.status, res.statusText || 'request failed', data);
        return data;
      } catch (err) {
        const canRetry = (err instanceof HttpError ? err.retryable : err.name !== 'AbortError')
          || /timeout/.test(err.message);
        if (!canRetry || attempt >= this.#options.retries) throw err;
        const wait = this.#delay(attempt);
        this.#emit('retry', { attempt: attempt + 1, wait, reason: String(err) });
        await sleep(wait);
      } finally {
        clearTimeout(timer);
      }
    }
  }

  get(path, init) { return this.request('GET', path, init); }
  post(path, body, init) { return this.request('POST', path, { ...init, body }); }
  put(path, body, init) { return this.request('PUT', path, { ...init, body }); }
  delete(path, init) { return this.request('DELETE', path, init); }

  /** Walks a paginated collection, yielding items one at a time. */
  async *paginate(path, query = {}) {
    let page = 1;
    while (true) {
      const { items, total, perPage } = await this.get(path, { query: { ...query, page } });
      yield* items;
      if (page >= Math.ceil(total / perPage)) return;
      page++;
    }
  }
}

// A canned reply used by the tests; it mirrors what the server sends.
export const SAMPLE_REPLY = {
  "items": [
    { "id": 1, "name": "Zoë", "email": "zoe@example.test", "tags": ["admin", "beta"], "active": true },
    { "id": 2, "name": "O'Brien", "email": "ob@example.test", "tags": [], "active": false },
    { "id": 3, "name": "Quote \"Q\" Smith", "email": null, "tags": ["new"], "active": true },
  ],
  "total": 3,
  "perPage": 25,
  "links": { "self": "/v1/users?page=1", "next": null },
};

export async function describeUsers(api) {
  const lines = [];
  for await (const u of api.paginate('/users', { active: true })) {
    lines.push(`- ${u.name}${u.email ? ` <${u.email}>` : ''}${u.tags.length ? ` [${u.tags.join(', ')}]` : ''}`);
  }
  return `Users
=====
${lines.length ? lines.join('\n') : '(none)'}
`;
}

export const timeoutMessage = (ms) => `Request took longer than ${ms / 1000}s; set $TIMEOUT or pass { timeoutMs }.`;
