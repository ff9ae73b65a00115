#!/usr/bin/env node
// Structural check of the BSL modules in this folder, for CI where no 1C platform runs: block keywords
// paired and nested, brackets balanced per statement, strings closed, every call of a common module naming
// an exported method of it with an argument count it takes, and every member of the component used by the
// modules listed in docs/1c.md. It is not a BSL parser: expressions are not checked.
"use strict";
const fs = require("fs");
const path = require("path");

// Opening keyword -> the keywords that may continue the block and the one that closes it (ru, en).
const BLOCKS = [
  { open: ["процедура", "procedure"], close: ["конецпроцедуры", "endprocedure"] },
  { open: ["функция", "function"], close: ["конецфункции", "endfunction"] },
  { open: ["если", "if"], mid: ["иначеесли", "elsif", "иначе", "else"], close: ["конецесли", "endif"] },
  { open: ["пока", "while", "для", "for"], close: ["конеццикла", "enddo"] },
  { open: ["попытка", "try"], mid: ["исключение", "except"], close: ["конецпопытки", "endtry"] },
  { open: ["#область", "#region"], close: ["#конецобласти", "#endregion"] },
  { open: ["#если", "#if"], mid: ["#иначеесли", "#elsif", "#иначе", "#else"], close: ["#конецесли", "#endif"] },
];
const ROLE = new Map();
BLOCKS.forEach((b, i) => {
  for (const w of b.open) ROLE.set(w, { kind: "open", block: i });
  for (const w of b.mid || []) ROLE.set(w, { kind: "mid", block: i });
  for (const w of b.close) ROLE.set(w, { kind: "close", block: i });
});

// Words, brackets and statement ends of a module, with line numbers; strings, dates and comments dropped.
function tokens(text, errors, file) {
  const out = [];
  let line = 1, i = 0, inString = false;
  const isWord = (c) => /[\p{L}\p{N}_#]/u.test(c);
  while (i < text.length) {
    const c = text[i];
    if (inString) {
      if (c === "\n") {
        line++;
        const rest = text.slice(i + 1).match(/^[ \t]*(.)/);
        if (!rest || (rest[1] !== "|" && rest[1] !== "/")) {
          errors.push(`${file}:${line - 1}: string not closed`);
          inString = false;
        }
      } else if (c === '"') {
        if (text[i + 1] === '"') i++;
        else inString = false;
      }
      i++;
      continue;
    }
    if (c === "\n") { line++; i++; continue; }
    if (c === "/" && text[i + 1] === "/") { while (i < text.length && text[i] !== "\n") i++; continue; }
    if (c === '"') { out.push({ t: '""', line }); inString = true; i++; continue; }
    if (c === "|") { i++; continue; }   // continuation of a multi-line string
    if (c === "'") {
      const end = text.indexOf("'", i + 1);
      if (end < 0 || text.slice(i, end).includes("\n")) errors.push(`${file}:${line}: date literal not closed`);
      out.push({ t: "''", line });
      i = end < 0 ? text.length : end + 1;
      continue;
    }
    if (c === "&") { while (i < text.length && text[i] !== "\n") i++; continue; }   // &НаКлиенте and the like
    if (isWord(c)) {
      let j = i;
      while (j < text.length && isWord(text[j])) j++;
      out.push({ t: text.slice(i, j), line });
      i = j;
      continue;
    }
    if ("();.,[]=".includes(c)) out.push({ t: c, line });
    i++;
  }
  if (inString) errors.push(`${file}:${line}: string not closed at the end`);
  return out;
}

// Exported methods of a module: name (lower case) -> [required, total] parameter counts.
function exportsOf(toks) {
  const result = new Map();
  for (let k = 0; k + 2 < toks.length; k++) {
    if (!/^(процедура|функция|procedure|function)$/i.test(toks[k].t) || toks[k + 2].t !== "(") continue;
    let depth = 0, m = k + 2, total = 0, required = 0, param = false, hasDefault = false;
    const endParam = () => { if (param) { total++; if (!hasDefault) required++; } param = hasDefault = false; };
    for (; m < toks.length; m++) {
      const t = toks[m].t;
      if (t === "(") { depth++; continue; }
      if (t === ")" && --depth === 0) break;
      if (depth !== 1) continue;
      if (t === ",") endParam();
      else if (t === "=") hasDefault = true;
      else param = true;
    }
    endParam();
    const next = toks[m + 1];
    if (next && /^(экспорт|export)$/i.test(next.t)) result.set(toks[k + 1].t.toLowerCase(), [required, total]);
  }
  return result;
}

function checkModule(file, text, errors) {
  const toks = tokens(text, errors, file);
  const stack = [];
  let depth = 0;
  for (const { t, line } of toks) {
    const role = ROLE.get(t.toLowerCase());
    if (t === "(" || t === "[") depth++;
    else if (t === ")" || t === "]") { if (--depth < 0) { errors.push(`${file}:${line}: "${t}" without its pair`); depth = 0; } }
    else if (t === ";") { if (depth !== 0) errors.push(`${file}:${line}: ";" inside brackets`); depth = 0; }
    if (!role) continue;
    const top = stack[stack.length - 1];
    if (role.kind === "open") stack.push({ block: role.block, line, word: t });
    else if (!top || top.block !== role.block) errors.push(`${file}:${line}: "${t}" without its block` + (top ? ` (inside "${top.word}" of line ${top.line})` : ""));
    else if (role.kind === "close") stack.pop();
  }
  for (const open of stack) errors.push(`${file}:${open.line}: "${open.word}" never closed`);
  return toks;
}

// Calls Module.Method(args) of the given common modules: [module, method, argument count, line].
function callsOf(toks, modules) {
  const calls = [];
  for (let k = 0; k + 3 < toks.length; k++) {
    if (!modules.has(toks[k].t) || toks[k + 1].t !== "." || toks[k + 3].t !== "(") continue;
    let depth = 0, args = 0, empty = true;
    for (let m = k + 3; m < toks.length; m++) {
      const t = toks[m].t;
      if (t === "(" || t === "[") depth++;
      else if (t === ")" || t === "]") { if (--depth === 0) break; }
      else if (depth === 1 && t === ",") args++;
      else if (depth >= 1) empty = false;
      if (depth === 1 && t === ",") empty = false;
    }
    calls.push([toks[k].t, toks[k + 2].t, empty ? 0 : args + 1, toks[k].line]);
  }
  return calls;
}

// Member names of the component as docs/1c.md lists them: the backquoted names of its tables' first two columns.
function componentMembers(doc) {
  const names = new Set();
  for (const row of doc.split("\n").filter((l) => l.startsWith("|"))) {
    const cells = row.split("|").slice(1, 3).join(" ");
    for (const m of cells.matchAll(/`([\p{L}\p{N}_]+)`/gu)) names.add(m[1].toLowerCase());
  }
  return names;
}

function check(dir, docPath) {
  const errors = [];
  const files = fs.readdirSync(dir).filter((f) => f.endsWith(".bsl")).sort();
  const modules = new Map(), parsed = new Map();
  for (const f of files) {
    const toks = checkModule(f, fs.readFileSync(path.join(dir, f), "utf8"), errors);
    parsed.set(f, toks);
    modules.set(path.basename(f, ".bsl"), exportsOf(toks));
  }
  const members = docPath && fs.existsSync(docPath) ? componentMembers(fs.readFileSync(docPath, "utf8")) : null;
  for (const [f, toks] of parsed) {
    for (const [mod, method, n, line] of callsOf(toks, modules)) {
      const sig = modules.get(mod).get(method.toLowerCase());
      if (!sig) errors.push(`${f}:${line}: ${mod}.${method} is not an exported method of ${mod}`);
      else if (n < sig[0] || n > sig[1]) errors.push(`${f}:${line}: ${mod}.${method} takes ${sig[0]}..${sig[1]} arguments, not ${n}`);
    }
    if (!members) continue;
    for (let k = 0; k + 2 < toks.length; k++) {
      if (toks[k].t !== "Сканер" || toks[k + 1].t !== ".") continue;
      if (!members.has(toks[k + 2].t.toLowerCase())) errors.push(`${f}:${toks[k].line}: the component has no member ${toks[k + 2].t}`);
    }
  }
  return { files, errors };
}

module.exports = { check };

if (require.main === module) {
  const dir = process.argv[2] || __dirname;
  const doc = process.argv[3] || path.join(__dirname, "..", "..", "docs", "1c.md");
  const { files, errors } = check(dir, doc);
  for (const e of errors) console.error(e);
  console.log(`bsl check: ${files.length} modules, ${errors.length} problems`);
  process.exit(errors.length ? 1 : 0);
}
