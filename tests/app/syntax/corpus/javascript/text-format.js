/**
 * Small string helpers used by the report generator.
 *
 * @module text-format
 * @example
 *   const { money, plural } = require('./text-format');
 *   money(5); // => "$5.00"
 */
'use strict';

const NBSP = '\u00a0';
const ELLIPSIS = '…';

/**
 * Formats a number of cents as dollars.
 * @param {number} cents - amount in cents; may be negative
 * @param {string} [symbol='$'] - currency symbol to prefix
 * @returns {string}
 */
function money(cents, symbol = '$') {
  const sign = cents < 0 ? '-' : '';
  const abs = Math.abs(cents);
  const whole = Math.floor(abs / 100);
  const frac = String(abs % 100).padStart(2, '0');
  return `${sign}${symbol}${groupDigits(whole)}.${frac}`;
}

// Inserts commas: 1234567 -> "1,234,567". Don't touch the "decimals".
function groupDigits(n) {
  return String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
}

/**
 * Picks the singular or plural form of a word.
 * @param {number} count
 * @param {string} one
 * @param {string} [many]
 */
const plural = (count, one, many = `${one}s`) => `${count} ${count === 1 ? one : many}`;

// A few messages that contain a dollar sign which is *not* an interpolation.
const messages = {
  pathHint: `Make sure the tool is on your $PATH before running it.`,
  price: `cost: $5 per seat, or $${50} for the team`,
  shellVar: `echo $HOME && echo ${'$'}USER`,
  spaced: `a $ b`,
  trailing: `total in $`,
  escaped: `not an interpolation: \${value}`,
};

/**
 * Truncates text to a maximum length, adding an ellipsis.
 * @param {string} text
 * @param {number} max
 */
function truncate(text, max) {
  if (typeof text !== 'string') return '';
  if (text.length <= max) return text;
  return text.slice(0, Math.max(0, max - 1)).trimEnd() + ELLIPSIS;
}

/**
 * Escapes the five characters that matter in HTML text and attributes.
 * @param {string} s
 */
function escapeHtml(s) {
  const table = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' };
  return String(s).replace(/[&<>"']/g, (ch) => table[ch]);
}

// Strips quotes of either kind: "it's" -> its
const stripQuotes = (s) => s.replace(/"|'/g, '');

// Collapses runs of slashes in a path: a//b///c -> a/b/c
const collapseSlashes = (p) => p.replace(/[/]+/g, '/');

// Removes the scheme from a URL; note the escaped slashes.
const stripScheme = (url) => url.replace(/^https?:\/\//i, '');

function rowLabel(row, index) {
  // Nested template literal inside a substitution.
  return `row ${index + 1}: ${row.name ? `"${row.name}"` : 'unnamed'} (${row.items.length} items)`;
}

function summaryLine(user, total) {
  return `Hello ${user.first ?? 'friend'}, your balance is ${total < 0 ? `-${money(-total)}` : money(total)}.`;
}

/**
 * Builds a multi-line plain-text receipt.
 * @param {{name: string, lines: Array<{label: string, cents: number}>}} order
 * @returns {string}
 */
function receipt(order) {
  const width = 40;
  const rule = '-'.repeat(width);
  const body = order.lines
    .map(({ label, cents }) => {
      const price = money(cents);
      const gap = Math.max(1, width - label.length - price.length);
      return `${label}${' '.repeat(gap)}${price}`;
    })
    .join('\n');
  const sum = order.lines.reduce((acc, l) => acc + l.cents, 0);

  return `
${rule}
Receipt for ${order.name}
${rule}
${body}
${rule}
TOTAL${' '.repeat(width - 5 - money(sum).length)}${money(sum)}
${rule}
Thanks for shopping with us — come back soon!
`.trim();
}

/**
 * Tagged template that indents every interpolated value.
 * @param {TemplateStringsArray} strings
 * @param {...unknown} values
 */
function indent(strings, ...values) {
  let out = strings[0];
  for (let i = 0; i < values.length; i++) {
    const v = String(values[i]).split('\n').join('\n  ');
    out += v + strings[i + 1];
  }
  return out;
}

const block = indent`list:
  ${['one', 'two', 'three'].join('\n')}
end`;

// Percentages: ratio of two ints; this is division, not a regex.
function percent(count, whole) {
  if (!whole) return '0%';
  const value = (count / whole) * 100;
  return `${value.toFixed(value < 10 ? 1 : 0)}%`;
}

function average(values) {
  return values.length ? values.reduce((a, b) => a + b, 0) / values.length : 0;
}

function slugify(title) {
  return title
    .toLowerCase()
    .normalize('NFKD')
    .replace(/[\u0300-\u036f]/g, '')
    .replace(/[^a-z0-9]+/g, '-')
    .replace(/^-+|-+$/g, '');
}

const isBlank = (s) => !s || !/\S/.test(s);
const wordCount = (s) => (s.match(/\b\w+\b/g) || []).length;

const samples = [
  'Crème brûlée',
  "Don't panic",
  "She said \"hi\" and left",
  'Path: C:\\Users\\me\\file.txt',
  `${NBSP}padded${NBSP}`,
];

if (require.main === module) {
  for (const s of samples) {
    console.log(`${JSON.stringify(s)} -> ${slugify(s)} (${wordCount(s)} words)`);
  }
  console.log(receipt({ name: 'Ada', lines: [{ label: 'Tea', cents: 350 }, { label: 'Cake', cents: 1299 }] }));
  console.log(block, isBlank('  '), percent(1, 3), average([1, 2, 3]) / 2);
  console.log(messages.price, stripQuotes(`"it's"`), collapseSlashes('a//b'), stripScheme('https://x.org'));
  console.log(rowLabel({ name: 'x', items: [] }, 0), summaryLine({ first: 'Bo' }, -250), plural(2, 'box', 'boxes'));
}

module.exports = {
  money,
  plural,
  truncate,
  escapeHtml,
  stripQuotes,
  collapseSlashes,
  stripScheme,
  receipt,
  percent,
  average,
  slugify,
  messages,
};
