// Faults the check must catch in a module, each beside a sound module that must pass.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { check } = require("../check.js");

const DOC = "| `Подключить` | `Connect` |\n| `Отключить` | `Disconnect` |\n";
const LIB = `Функция Прочитать(Текст, Знач Режим = 0) Экспорт
	Возврат Текст;
КонецФункции
Процедура Скрытая()
КонецПроцедуры
`;
const form = (body) => `&НаКлиенте\nПроцедура Команда(Сканер)\n${body}\nКонецПроцедуры\n`;

const cases = [
  ["sound", form('\tЕсли Истина Тогда\n\t\tСканер.Подключить("serial", "COM3");\n\tКонецЕсли;\n\tА = Lib.Прочитать("x");'), null],
  ["multi-line string", form('\tА = "первая\n\t|вторая"";\n\t|третья";'), null],
  ["unclosed If", form("\tЕсли Истина Тогда\n\t\tА = 1;"), /never closed|without its block/],
  ["EndDo closing If", form("\tЕсли Истина Тогда\n\tКонецЦикла;"), /without its block/],
  ["Except outside Try", form("\tИсключение"), /without its block/],
  ["unbalanced bracket", form("\tА = Lib.Прочитать((1);"), /inside brackets|without its pair|takes/],
  ["string not closed", form('\tА = "абв;\n\tБ = 1;'), /string not closed/],
  ["unknown component member", form("\tСканер.Подклучить();"), /no member Подклучить/],
  ["method not exported", form("\tLib.Скрытая();"), /not an exported method/],
  ["too many arguments", form("\tLib.Прочитать(1, 2, 3);"), /takes 1\.\.2 arguments, not 3/],
  ["too few arguments", form("\tLib.Прочитать();"), /takes 1\.\.2 arguments, not 0/],
];

for (const [name, module, expected] of cases) {
  test(name, () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), "bsl-"));
    try {
      fs.writeFileSync(path.join(dir, "Lib.bsl"), LIB);
      fs.writeFileSync(path.join(dir, "Form.bsl"), module);
      fs.writeFileSync(path.join(dir, "1c.md"), DOC);
      const { errors } = check(dir, path.join(dir, "1c.md"));
      if (expected) assert.ok(errors.some((e) => expected.test(e)), errors.join("\n") || "no problem found");
      else assert.deepStrictEqual(errors, []);
    } finally {
      fs.rmSync(dir, { recursive: true });
    }
  });
}

test("the modules of this folder pass", () => {
  assert.deepStrictEqual(check(path.join(__dirname, ".."), path.join(__dirname, "..", "..", "..", "docs", "1c.md")).errors, []);
});
