/* eslint-disable no-mixed-operators */
/**
 * 2-D geometry helpers for the layout engine.
 * All angles are in radians unless a name ends in "Deg".
 */

const EPSILON = 1e-9;
const TAU = Math.PI * 2;
const DEG = 180 / Math.PI;

/** An immutable 2-D vector. */
class Vec2 {
  /**
   * @param {number} x
   * @param {number} y
   */
  constructor(x = 0, y = 0) {
    this.x = x;
    this.y = y;
    Object.freeze(this);
  }

  static from(angle, length = 1) {
    return new Vec2(Math.cos(angle) * length, Math.sin(angle) * length);
  }

  add(o) { return new Vec2(this.x + o.x, this.y + o.y); }
  sub(o) { return new Vec2(this.x - o.x, this.y - o.y); }
  scale(k) { return new Vec2(this.x * k, this.y * k); }
  div(k) { return new Vec2(this.x / k, this.y / k); }
  dot(o) { return this.x * o.x + this.y * o.y; }
  cross(o) { return this.x * o.y - this.y * o.x; }

  get length() { return Math.hypot(this.x, this.y); }
  get angleDeg() { return Math.atan2(this.y, this.x) * DEG; }

  normalized() {
    const len = this.length;
    return len < EPSILON ? new Vec2() : this.div(len);
  }

  toString() { return `Vec2(${this.x.toFixed(2)}, ${this.y.toFixed(2)})`; }
}

class Rect {
  constructor(x, y, width, height) {
    Object.assign(this, { x, y, width, height });
  }

  get center() {
    // Plain division on member access; none of these slashes start a regex.
    return new Vec2(this.x + this.width / 2, this.y + this.height / 2);
  }

  get ratio() { return this.height ? this.width / this.height : Infinity; }

  contains({ x, y }) {
    return x >= this.x && x < this.x + this.width && y >= this.y && y < this.y + this.height;
  }

  /** Scales the rectangle around its centre. */
  inflate(factor) {
    const w = this.width * factor, h = this.height * factor;
    const dx = (w - this.width) / 2, dy = (h - this.height) / 2;
    return new Rect(this.x - dx, this.y - dy, w, h);
  }

  static union(a, b) {
    const x = Math.min(a.x, b.x), y = Math.min(a.y, b.y);
    return new Rect(x, y, Math.max(a.x + a.width, b.x + b.width) - x, Math.max(a.y + a.height, b.y + b.height) - y);
  }
}

function midpoint(a, b) {
  return new Vec2((a.x + b.x) / 2, (a.y + b.y) / 2);
}

function mean(xs) {
  let sum = 0;
  for (let i = 0; i < xs.length; i++) sum += xs[i];
  return sum / xs.length;
}

function median(xs) {
  const s = [...xs].sort((a, b) => a - b);
  const mid = s.length >> 1;
  return s.length % 2 ? s[mid] : (s[mid - 1] + s[mid]) / 2;
}

// Chained divisions and divisions after calls, indexes and increments.
function ratios(a, b, c, xs, f) {
  let i = 0;
  const chained = a / b / c;
  const halfFirst = xs[i] / 2;
  const halfCall = f(a) / 2;
  const halfSum = (a + b) / 2;
  const halfInc = i++ / 2; // i is 1 afterwards
  const mixed = a / 2 + b / 4 /* quarter */ - c / 8;
  const nested = xs[xs.length - 1] / (xs[0] || 1) / 10;
  return { chained, halfFirst, halfCall, halfSum, halfInc, mixed, nested };
}

function lerp(a, b, t) { return a + (b - a) * t; }
function inverseLerp(a, b, v) { return Math.abs(b - a) < EPSILON ? 0 : (v - a) / (b - a); }
const clamp = (v, lo, hi) => Math.min(hi, Math.max(lo, v));
const toDeg = (rad) => rad * 180 / Math.PI;
const toRad = (deg) => deg / 180 * Math.PI;

/**
 * Area of a simple polygon (shoelace formula).
 * @param {Vec2[]} pts
 */
function polygonArea(pts) {
  let twice = 0;
  for (let i = 0, j = pts.length - 1; i < pts.length; j = i++) {
    twice += pts[j].cross(pts[i]);
  }
  return Math.abs(twice) / 2;
}

function centroid(pts) {
  const n = pts.length;
  const total = pts.reduce((acc, p) => acc.add(p), new Vec2());
  return total.div(n);
}

/** Yields `n` evenly spaced points on a circle. */
function* circlePoints(center, radius, n) {
  for (let k = 0; k < n; k++) {
    yield center.add(Vec2.from(TAU * k / n, radius));
  }
}

function parsePoint(text) {
  // "(3, 4)" or "3,4" or "3 4"
  const m =
    /^\(?\s*(-?\d+(?:\.\d+)?)\s*[, ]\s*(-?\d+(?:\.\d+)?)\s*\)?$/.exec(text.trim());
  return m ? new Vec2(Number(m[1]), Number(m[2])) : null;
}

function parseSize(text) {
  const [w, h] = text.split(/\s*[x×]\s*/).map(Number);
  return { w, h, ratio: w / h };
}

const grid = {
  columns: 12,
  gutter: 16,
  /** Width of `span` columns in a container of `total` px. */
  columnWidth(total, span = 1) {
    const col = (total - this.gutter * (this.columns - 1)) / this.columns;
    return col * span + this.gutter * (span - 1);
  },
};

module.exports = {
  Vec2, Rect, midpoint, mean, median, ratios, lerp, inverseLerp, clamp, toDeg, toRad,
  polygonArea, centroid, circlePoints, parsePoint, parseSize, grid,
};

if (require.main === module) {
  const square = [new Vec2(0, 0), new Vec2(4, 0), new Vec2(4, 4), new Vec2(0, 4)];
  console.log(polygonArea(square), String(centroid(square)), median([5, 1, 3, 2]));
  console.log(ratios(8, 2, 2, [6, 3], (v) => v * 3), [...circlePoints(new Vec2(), 1, 4)].map(String));
  console.log(parsePoint('(3, -4.5)').length.toFixed(3), parseSize('1920 × 1080'), grid.columnWidth(1200, 3));
  console.log(new Rect(0, 0, 10, 5).inflate(2), Rect.union(new Rect(0, 0, 1, 1), new Rect(2, 2, 1, 1)).ratio);
}
