#!/usr/bin/env node
'use strict';
/* todo.js - a command-line to-do list.
   Braces { in comments } do not fold. */

const fs = require('fs');
const path = require("path");

/**
 * Parses one line of the list.
 * @param {string} line - text such as "[x] buy milk"
 * @returns {{done: boolean, text: string}}
 */
function parseLine(line) {
  const m = /^\[( |x)\]\s+(.*)$/i.exec(line);
  if (!m) return null;
  return { done: m[1] === 'x', text: m[2].replace(/\s+/g, ' ') };
}

class TodoList extends Array {
  static #count = 0;

  constructor(file = path.join(process.cwd(), 'todo.txt')) {
    super();
    this.file = file;
    TodoList.#count++;
  }

  async load() {
    const text = await fs.promises.readFile(this.file, { encoding: 'utf8' });
    for (const line of text.split(/\r?\n/)) {
      const item = parseLine(line);
      if (item !== null && item !== undefined) this.push(item);
    }
    return this.length;
  }

  render() {
    const header = `To do (${this.length} items, ${this.filter(i => !i.done).length} open)
--------------------------------`;
    return header + '\n' + this.map((t, n) =>
      `${n + 1}. [${t.done ? 'x' : ' '}] ${t.text}`).join("\n");
  }
}

const ratio = 10 / 4 / 2;            // division, not a pattern
const big = 9_007_199_254_740_993n;
const mask = 0xFF & 0b1010 | 0o17;
const tiny = .5e-3;
const esc = "tab\there \"quoted\" \u00e9 \x41";

async function main(argv) {
  const list = new TodoList(argv[2]);
  try {
    await list.load();
  } catch (err) {
    console.error(`cannot read ${list.file}: ${err.message}`);
    return 1;
  }
  console.log(list.render(), JSON.stringify({ ratio, big: String(big), mask, tiny, esc }));
  setTimeout(() => { debugger; }, 0);
  return typeof list === 'object' ? 0 : NaN;
}

main(process.argv).then((code) => process.exit(code));
