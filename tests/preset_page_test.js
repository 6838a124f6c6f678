// The page of the "modern" preset in a real browser: kestrova-cli lists a
// folder with --preset modern, headless Chromium renders the page in
// standards mode at 1280, 390 and 320 pixels wide, html-validate's standard
// preset and axe-core find nothing in it, and clicks and keys on the
// captions sort the rows.
//   node preset_page_test.js KESTROVA_CLI [--screenshots FOLDER] [--folder FOLDER]
// Exits 77 (skipped) when no Chromium is installed. html-validate and
// axe-core come from page/install.sh.
"use strict";

const childProcess = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const {findChromium, DevTools} = require("./devtools_pipe.js");
const {failures, check, requireTool} = require("./page_checks.js");

const kSkipped = 77;
const kTimeoutMs = 90000;

function parseArguments(argv) {
  const options = {cli: argv[0], screenshots: null, folder: null};
  for (let i = 1; i < argv.length; i += 2) {
    if (argv[i] === "--screenshots") options.screenshots = argv[i + 1];
    else if (argv[i] === "--folder") options.folder = argv[i + 1];
    else throw new Error("unknown argument " + argv[i]);
  }
  if (!options.cli) throw new Error("usage: preset_page_test.js KESTROVA_CLI [--screenshots FOLDER]");
  return options;
}

// A folder whose name order, size order and date order all differ, with a
// name too long for a phone's width.
function makeListedFolder(root) {
  const folder = path.join(root, "listed");
  fs.mkdirSync(folder);
  fs.mkdirSync(path.join(folder, "Docs"));
  fs.mkdirSync(path.join(folder, "Music"));
  const files = [
    ["alpha.bin", 300000, "2024-02-01T10:00:00Z"],
    ["mid.txt", 40000, "2022-12-31T23:30:00Z"],
    ["zeta.log", 5, "2023-01-02T08:15:00Z"],
    ["beta-a-rather-long-file-name-without-any-spaces-that-has-to-wrap-in-a-narrow-window.data",
     1200, "2023-06-15T12:00:00Z"],
    ["Notes 10.md", 980, "2021-03-04T05:06:00Z"],
    ["Notes 9.md", 12000, "2025-07-08T09:10:00Z"],
  ];
  for (const [name, size, time] of files) {
    const file = path.join(folder, name);
    fs.writeFileSync(file, Buffer.alloc(size, 120));
    fs.utimesSync(file, new Date(time), new Date(time));
  }
  return folder;
}

// The preset's own markup: its captions are buttons of class "sort" that
// its script makes, in a table of class TableCl.
class PresetPage {
  constructor(page) {
    this.page = page;
  }

  open(url, width) {
    return this.page.open(url, width);
  }

  evaluate(expression) {
    return this.page.evaluate(expression);
  }

  screenshot(file) {
    return this.page.screenshot(file);
  }

  captionButton(caption) {
    return `[...document.querySelectorAll("button.sort")]
        .find((b) => b.textContent.trim() === ${JSON.stringify(caption)})`;
  }

  // A real mouse click at the middle of the caption's button.
  async clickCaption(caption) {
    if (!await this.page.clickOn(this.captionButton(caption))) throw new Error("no sort button captioned " + caption);
  }

  // Focus on the caption's button, then a key press as a keyboard sends it.
  async pressOnCaption(caption, key) {
    const focused = await this.page.evaluate(`(() => {
      const button = ${this.captionButton(caption)};
      if (button) button.focus();
      return document.activeElement === button;
    })()`);
    if (!focused) throw new Error("cannot focus the caption " + caption);
    await this.page.press(key);
  }

  // The entry rows: the caption row's texts name the columns.
  rows() {
    return this.page.evaluate(`(() => {
      const table = document.querySelector("table.TableCl");
      const [caption, ...rows] = table.tBodies[0].rows;
      const names = [...caption.cells].map((c) => c.textContent.trim());
      return rows.map((row) => Object.fromEntries(
          [...row.cells].map((cell, i) => [names[i], cell.textContent.trim()])));
    })()`);
  }
}

function messagesOf(report) {
  return report.results.flatMap((result) => result.messages).map((m) => `${m.line}:${m.column} ${m.ruleId} ${m.message}`);
}

// The page as html-validate's standard preset sees it. The classic page
// writes its tags in capitals, which HTML reads as the same tags but
// html-validate's content rules do not; so the source is checked to
// tokenize without an error, and the document that the browser parsed from
// it (its doctype, lower-case tags, quoted values) against the whole preset.
async function validate(source, page) {
  const {HtmlValidate} = requireTool("html-validate");
  const validator = new HtmlValidate({extends: ["html-validate:standard"]});
  const tokens = messagesOf(await validator.validateString(source, "source"))
      .filter((m) => / (parser-error|no-dup-attr|attribute-empty-style|doctype-html) /.test(m));
  check(tokens.length === 0, "the source reads without a parser error " +
        (tokens.length ? "\n     " + tokens.join("\n     ") : ""));
  const parsed = await page.evaluate(`(document.doctype ? "<!DOCTYPE " + document.doctype.name + ">\\n" : "") +
      document.documentElement.outerHTML`);
  const messages = messagesOf(await validator.validateString(parsed, "parsed"));
  check(messages.length === 0, "html-validate's standard preset finds no error in the parsed page " +
        (messages.length ? "\n     " + messages.join("\n     ") : ""));
}

// The rules of WCAG 2.1 A and AA: the classic page's own shape (a title
// paragraph rather than a heading, no main landmark) is the writer's, which
// the best-practice rules would ask to change.
async function runAxe(page, what) {
  await page.evaluate(requireTool("axe-core").source + ";true");
  const violations = await page.evaluate(`axe.run(document, {resultTypes: ["violations"],
      runOnly: {type: "tag", values: ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa"]}}).then((r) =>
      r.violations.map((v) => v.impact + " " + v.id + ": " + v.nodes.map((n) => n.target.join(" ")).join(", ")))`);
  check(violations.length === 0, `${what}: axe-core finds no violation of WCAG 2.1 A and AA ` +
        (violations.length ? "\n     " + violations.join("\n     ") : ""));
}

function sizeOf(text) {
  return text === "[..]" ? -1 : Number(text.replace(/[^0-9]/g, ""));
}

function dateOf(text) {
  const [d, m, y, hh, mm] = text.split(/[. :]/).map(Number);
  return Date.UTC(y, m - 1, d, hh, mm);
}

function isOrdered(values, descending) {
  return values.every((v, i) => i === 0 || (descending ? values[i - 1] >= v : values[i - 1] <= v));
}

async function checkPage(browserPage, url, source, screenshots) {
  const page = new PresetPage(browserPage);
  await page.open(url, 1280);
  const mode = await page.evaluate(`({compat: document.compatMode, lang: document.documentElement.lang})`);
  check(mode.compat === "CSS1Compat" && mode.lang === "en",
        `the page is in standards mode with a language (${mode.compat}, lang "${mode.lang}")`);
  await validate(source, browserPage);
  await runAxe(browserPage, "the preset's page at 1280 px");
  await page.open(url, 320);
  await runAxe(browserPage, "the preset's page at 320 px");
  for (const width of [1280, 390, 320]) {
    await page.open(url, width);
    const layout = await page.evaluate(`({
      scrollWidth: document.documentElement.scrollWidth,
      clientWidth: document.documentElement.clientWidth,
      wide: [...document.querySelectorAll("td")].filter((cell) =>
          cell.getBoundingClientRect().right > document.documentElement.clientWidth + 0.5).length,
      viewport: !!document.querySelector('meta[name="viewport"]'),
      sizeAlign: getComputedStyle(document.querySelectorAll("table.TableCl tr")[3].cells[2]).textAlign,
      font: getComputedStyle(document.body).fontFamily,
    })`);
    check(layout.viewport, `${width} px: the page has a viewport line`);
    check(layout.scrollWidth <= layout.clientWidth && layout.wide === 0,
          `${width} px: no horizontal scrolling (content ${layout.scrollWidth} px in ${layout.clientWidth} px, ` +
          `${layout.wide} cells beyond)`);
    check(layout.sizeAlign === "right", `${width} px: sizes are right-aligned (${layout.sizeAlign})`);
    check(!/^serif|Times/.test(layout.font), `${width} px: a sans-serif face (${layout.font})`);
    if (screenshots) await page.screenshot(path.join(screenshots, `preset-modern-${width}.png`));
  }

  const before = await page.rows();
  const folders = before.filter((row) => row.Size === "[..]").map((row) => row.Name);
  check(folders.length === 2 && before[0].Size === "[..]" && before[1].Size === "[..]",
        "folders come first as listed");

  await page.clickCaption("Size");
  let rows = await page.rows();
  let files = rows.slice(2);
  check(rows.slice(0, 2).every((row) => row.Size === "[..]"), "a click on Size keeps the folders first");
  check(isOrdered(files.map((row) => sizeOf(row.Size)), false) &&
        files.map((row) => row.Name).join() !== before.slice(2).map((row) => row.Name).join(),
        "a click on Size orders the files by size: " + files.map((row) => row.Size).join(", "));

  await page.clickCaption("Size");
  files = (await page.rows()).slice(2);
  check(isOrdered(files.map((row) => sizeOf(row.Size)), true),
        "a second click orders them by size, greatest first");

  await page.pressOnCaption("Last Write", "Enter");
  files = (await page.rows()).slice(2);
  check(isOrdered(files.map((row) => dateOf(row["Last Write"])), false),
        "Enter on Last Write orders by time, not by text: " + files.map((r) => r["Last Write"]).join(", "));

  await page.pressOnCaption("Name", "Space");
  files = (await page.rows()).slice(2).map((row) => row.Name);
  check(files.indexOf("Notes 9.md") === files.indexOf("Notes 10.md") - 1 && files[0] === "alpha.bin",
        "Space on Name orders names as people count: " + files.join(", "));
  const sortState = await page.evaluate(
      `[...document.querySelectorAll("[aria-sort]")].map((c) => c.getAttribute("aria-sort")).join()`);
  check(sortState === "ascending,none,none,none", "the sorted caption says so (" + sortState + ")");
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const chromium = findChromium();
  if (!chromium) {
    console.log("SKIPPED: the preset page check needs Chromium, which is not installed " +
                "(scripts/setup.sh installs it: apt-get install chromium)");
    return kSkipped;
  }
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "kestrova-preset-"));
  let devtools = null;
  try {
    const folder = options.folder ? path.resolve(options.folder) : makeListedFolder(work);
    const output = path.join(work, "index.html");
    const run = childProcess.spawnSync(options.cli, ["--preset", "modern", folder, "-o", output, "-q"],
                                       {encoding: "utf8"});
    check(run.status === 0, "kestrova-cli --preset modern writes the page " + (run.stderr ? run.stderr : ""));
    if (run.status !== 0) return 1;

    devtools = new DevTools(chromium, path.join(work, "profile"));
    const page = await devtools.openPage();
    if (options.folder) {
      await page.open("file://" + output, 1024);
      const preset = new PresetPage(page);
      await preset.clickCaption("Size");
      await preset.clickCaption("Size");
      await page.screenshot(path.join(options.screenshots, "preset-modern.png"));
      return 0;
    }
    await checkPage(page, "file://" + output, fs.readFileSync(output, "utf8"), options.screenshots);
  } finally {
    if (devtools) await devtools.close();
    // Chromium's helper processes may still be writing the profile for a
    // moment after the browser itself has gone.
    fs.rmSync(work, {recursive: true, force: true, maxRetries: 20, retryDelay: 100});
  }
  console.log(failures.length === 0 ? "preset page: all checks passed" :
              `preset page: ${failures.length} checks failed`);
  return failures.length === 0 ? 0 : 1;
}

const timer = setTimeout(() => {
  console.log("FAIL the browser did not finish within " + kTimeoutMs / 1000 + " s");
  process.exit(1);
}, kTimeoutMs);
main().then((status) => {
  clearTimeout(timer);
  process.exitCode = status;
}, (error) => {
  clearTimeout(timer);
  console.log("FAIL " + error.message);
  process.exitCode = 1;
});
