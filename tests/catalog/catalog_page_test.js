// The catalog page in headless Chromium: kestrova-cli --format catalog lists
// a tree of ordinary names and of every name of tests/data/hostile_names.txt
// (files and folders, two levels deep), and the page is driven over file://
// and once from a server on the loopback address: search against a python3
// filter over the same tree with the same folding, opening hits, sorting,
// the keyboard alone, the address across reloads and history, hostile names
// that stay text, html-validate and axe-core, a phone's width, the network,
// and the policy's hashes.
//   node catalog_page_test.js KESTROVA_CLI [--screenshots FOLDER]
// Exits 77 (skipped) when no Chromium is installed; the tools come from
// tests/page/install.sh.
"use strict";

const childProcess = require("child_process");
const crypto = require("crypto");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const {findChromium, DevTools} = require("../devtools_pipe.js");
const {failures, check, requireTool, hostileNames, shownName, sha256} = require("../page_checks.js");

const kSkipped = 77;
const kTimeoutMs = 150000;
const kTools = path.join(__dirname, "..", "page", "node_modules");


function setTime(file, time) {
  fs.utimesSync(file, new Date(time), new Date(time));
}

// The hostile names that a folder can hold: none with a "/".
function namesOfTheTree() {
  return hostileNames().filter((bytes) => !bytes.includes(0x2f));
}

// photos/ with names whose name, size, kind and date orders all differ;
// hostile/ with every hostile name as a file and, with "~", as a folder
// that holds the name again as a file and as a folder.
function makeTree(root) {
  const photos = path.join(root, "photos");
  fs.mkdirSync(path.join(photos, "Albums", "Summer"), {recursive: true});
  fs.mkdirSync(path.join(photos, "raw files"));
  const files = [
    ["photos/alpha.bin", 300000, "2024-02-01T10:00:00Z"],
    ["photos/mid.txt", 40000, "2022-12-31T23:30:00Z"],
    ["photos/zeta.log", 5, "2023-01-02T08:15:00Z"],
    ["photos/Notes 10.md", 980, "2021-03-04T05:06:00Z"],
    ["photos/Notes 9.md", 12000, "2025-07-08T09:10:00Z"],
    ["photos/Café Menu.pdf", 2200, "2020-05-05T05:05:00Z"],
    ["photos/CAFE-receipt.txt", 70, "2019-01-01T00:00:00Z"],
    ["photos/Albums/Summer/résumé.PDF", 4096, "2024-08-01T12:00:00Z"],
    ["photos/raw files/notes of the raw files.txt", 1, "2018-01-01T00:00:00Z"],
  ];
  for (const [name, size, time] of files) {
    fs.writeFileSync(path.join(root, name), Buffer.alloc(size, 120));
    setTime(path.join(root, name), time);
  }
  setTime(path.join(photos, "Albums"), "2023-04-01T10:00:00Z");
  setTime(path.join(photos, "raw files"), "2021-01-01T10:00:00Z");
  const hostile = Buffer.from(path.join(root, "hostile"));
  fs.mkdirSync(hostile);
  const join = (...parts) => Buffer.concat(parts.flatMap((part, i) => (i ? [Buffer.from("/"), part] : [part])));
  for (const name of namesOfTheTree()) {
    const folder = Buffer.concat([name, Buffer.from("~")]);
    fs.writeFileSync(join(hostile, name), "x");
    fs.mkdirSync(join(hostile, folder));
    fs.writeFileSync(join(hostile, folder, name), "xy");
    fs.mkdirSync(join(hostile, folder, folder));
  }
}

// The python3 filter: every entry below the top whose name, read as UTF-8
// with replacement and folded (lower case, NFD, marks dropped, final sigma
// as sigma), holds the folded query; as folder bytes and name bytes in hex.
const kPythonFilter = `
import json, os, sys, unicodedata
def fold(text):
    text = unicodedata.normalize("NFD", text.lower())
    return "".join(c for c in text if not unicodedata.category(c).startswith("M")).replace("\\u03c2", "\\u03c3")
top = os.fsencode(sys.argv[1])
found = {}
for query in sys.argv[2:]:
    wanted = fold(query)
    hits = []
    for folder, folders, files in os.walk(top):
        below = os.path.relpath(folder, top)
        below = b"" if below == b"." else below
        for name in folders + files:
            if wanted in fold(name.decode("utf-8", "replace")):
                hits.append([below.hex(), name.hex()])
    found[query] = hits
print(json.dumps(found))
`;

function expectedHits(top, queries) {
  const run = childProcess.spawnSync("python3", ["-c", kPythonFilter, top, ...queries], {encoding: "utf8"});
  if (run.status !== 0) throw new Error("the python3 filter failed: " + run.stderr);
  const found = JSON.parse(run.stdout);
  const shown = {};
  for (const query of queries) {
    shown[query] = found[query].map(([folder, name]) => {
      const below = Buffer.from(folder, "hex");
      const parts = below.length ? below.toString("latin1").split("/").map((p) => Buffer.from(p, "latin1")) : [];
      return "/" + parts.map(shownName).join("/") + " " + shownName(Buffer.from(name, "hex"));
    }).sort();
  }
  return shown;
}

// With checksums: the page must read past their columns in every section.
function writeCatalog(cli, top, output) {
  const run = childProcess.spawnSync(cli, ["--format", "catalog", "--checksum", "sha256", "--checksum", "md5",
    "--no-checksum-cache", top, "-o", output, "-q"], {encoding: "utf8"});
  check(run.status === 0 && fs.existsSync(output), `kestrova-cli --format catalog writes the page ${run.stderr}`);
  return fs.readFileSync(output);
}

function elementText(page, open) {
  const start = page.indexOf(open) + open.length;
  return page.slice(start, page.indexOf("</", start));
}

function checkFile(page) {
  const text = page.toString("utf8");
  const policy = /<meta http-equiv="Content-Security-Policy" content="([^"]*)">/.exec(text);
  const script = elementText(text, "<script>");
  const style = elementText(text, "<style>");
  check(policy && policy[1].includes(`script-src ${sha256(script)};`) &&
        policy[1].includes(`style-src ${sha256(style)};`) && policy[1].startsWith("default-src 'none';"),
        "the policy's hashes are those of the page's script and style");
  check(!/<\/script|<!--/i.test(script.replace(/^\n/, "")) && !/\bon[a-z]+=/i.test(text.replace(script, "")),
        "the script holds no end tag or comment opener, and no element has a handler");
}

async function validate(page) {
  const {HtmlValidate} = requireTool("html-validate");
  const validator = new HtmlValidate({extends: ["html-validate:standard"]});
  const report = await validator.validateString(page.toString("utf8"), "catalog.html");
  const messages = report.results.flatMap((result) => result.messages)
      .map((m) => `${m.line}:${m.column} ${m.ruleId} ${m.message}`);
  check(report.errorCount === 0, "html-validate's standard preset finds no error " +
        (messages.length ? "\n     " + messages.join("\n     ") : ""));
}

async function runAxe(page, what) {
  await page.evaluate(fs.readFileSync(path.join(kTools, "axe-core", "axe.min.js"), "utf8") + ";true");
  const violations = await page.evaluate(`axe.run(document, {resultTypes: ["violations"]}).then((r) =>
      r.violations.map((v) => v.impact + " " + v.id + ": " + v.nodes.map((n) => n.target.join(" ")).join(", ")))`);
  check(violations.length === 0, `${what}: axe-core finds no violation ` +
        (violations.length ? "\n     " + violations.join("\n     ") : ""));
}

const kKeys = {
  Enter: {key: "Enter", code: "Enter", windowsVirtualKeyCode: 13, text: "\r"},
  Backspace: {key: "Backspace", code: "Backspace", windowsVirtualKeyCode: 8},
  Escape: {key: "Escape", code: "Escape", windowsVirtualKeyCode: 27},
  ArrowDown: {key: "ArrowDown", code: "ArrowDown", windowsVirtualKeyCode: 40},
  ArrowUp: {key: "ArrowUp", code: "ArrowUp", windowsVirtualKeyCode: 38},
  End: {key: "End", code: "End", windowsVirtualKeyCode: 35},
  Tab: {key: "Tab", code: "Tab", windowsVirtualKeyCode: 9},
  "/": {key: "/", code: "Slash", windowsVirtualKeyCode: 191, text: "/"},
};

async function press(page, key) {
  await page.send("Input.dispatchKeyEvent", Object.assign({type: "keyDown"}, kKeys[key]));
  await page.send("Input.dispatchKeyEvent", Object.assign({type: "keyUp"}, kKeys[key]));
}

async function type(page, text) {
  for (const character of text) {
    await page.send("Input.dispatchKeyEvent", {type: "keyDown", key: character, text: character});
    await page.send("Input.dispatchKeyEvent", {type: "keyUp", key: character});
  }
}

// Waits until the expression is true (the page works in slices).
async function until(page, expression, what) {
  for (let i = 0; i < 200; i++) {
    if (await page.evaluate(`!!(${expression})`)) return true;
    await new Promise((resolve) => setTimeout(resolve, 25));
  }
  check(false, "the page came to: " + what);
  return false;
}

// A fresh load of the page, even where only the address's "#" part differs
// (which the browser would take as a move within the page).
async function load(page, url, width, height) {
  await page.open("about:blank", width, height);
  await page.open(url, width, height);
  await waitOpen(page);
}

async function waitOpen(page) {
  await until(page, `document.querySelector("#catalog-grid") || /damaged|cannot/.test(
      document.getElementById("catalog-status").textContent)`, "an open catalog");
}

// What the page shows: the place, the query, the active row, and every row
// of the table, scrolled through screen by screen.
async function state(page) {
  return page.evaluate(`(async () => {
    const grid = document.getElementById("catalog-grid");
    const seen = new Map();
    const take = () => {
      for (const row of grid.querySelectorAll(".body [role=row]")) {
        const cells = [...row.querySelectorAll("[role=gridcell]")];
        const name = cells[0].querySelector(".entry").textContent;
        const where = cells[0].querySelector(".where:not([hidden]) bdi");
        const time = cells[3].querySelector("time");
        seen.set(Number(row.getAttribute("aria-rowindex")), {
          name, where: where ? where.textContent : null, folder: row.classList.contains("folder"),
          bytes: Number((cells[1].title.match(/^(?:at least )?([\\d,]+) byte/) || ["", "-1"])[1].replace(/,/g, "")),
          kind: cells[2].textContent, time: time ? time.dateTime : "",
        });
      }
    };
    const frame = () => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
    grid.scrollTop = 0;
    await frame();
    take();
    while (grid.scrollTop + grid.clientHeight < grid.scrollHeight) {
      const before = grid.scrollTop;
      grid.scrollTop += grid.clientHeight / 2;
      await frame();
      if (grid.scrollTop === before) break;
      take();
    }
    const active = document.getElementById(grid.getAttribute("aria-activedescendant") || "-");
    grid.scrollTop = 0;
    await frame();
    return {
      crumbs: [...document.querySelectorAll(".crumbs li")].map((li) => li.textContent),
      query: document.getElementById("catalog-search").value,
      hits: document.getElementById("catalog-hits").textContent,
      hash: decodeURIComponent(location.hash),
      rowcount: Number(grid.getAttribute("aria-rowcount")) - 1,
      rows: [...seen.keys()].sort((a, b) => a - b).map((key) => seen.get(key)),
      active: active ? active.querySelector(".entry").textContent : null,
      focus: document.activeElement ? document.activeElement.id : null,
      sort: [...document.querySelectorAll("[aria-sort]")].map((h) => h.textContent + " " +
          h.getAttribute("aria-sort")).join(),
    };
  })()`);
}

async function search(page, query) {
  await page.evaluate(`(() => { const input = document.getElementById("catalog-search");
      input.focus(); input.select(); })()`);
  await type(page, query);
  await until(page, `/^[\\d,]+ hits?$/.test(document.getElementById("catalog-hits").textContent)`,
              `the count of hits for ${query}`);
}

async function checkSearch(page, url, top, screenshots) {
  const queries = ["NOTES", "cafe", "résumé", "<img", "alert(1)", "日本", "\u2028", "zzz-none"];
  const expected = expectedHits(top, queries);
  check(expected["cafe"].length >= 6 && expected["<img"].length >= 4, "the filter finds accents and markup");
  await load(page, url, 1280);
  for (const query of queries) {
    await load(page, url, 1280);
    await search(page, query);
    const shown = await state(page);
    const rows = shown.rows.map((row) => row.where + " " + row.name).sort();
    check(JSON.stringify(rows) === JSON.stringify(expected[query]) && shown.rowcount === rows.length &&
          shown.hits === `${rows.length} hit${rows.length === 1 ? "" : "s"}`,
          `a search for ${JSON.stringify(query)} finds exactly the ${expected[query].length} names that hold it ` +
          `(${shown.hits}, typed ${JSON.stringify(shown.query)}) ${JSON.stringify(rows.filter((row) => !expected[query].includes(row)))}`);
  }
  await load(page, url, 1280);
  await search(page, "<img");
  await runAxe(page, "the results of a search");
  if (screenshots) await page.screenshot(path.join(screenshots, "catalog-results-1280.png"));

  await search(page, "résumé");
  await page.clickOn(`document.querySelector(".body [role=row] .entry")`);
  await until(page, `!document.querySelector(".grid.results")`, "the folder of a clicked hit");
  const opened = await state(page);
  check(opened.crumbs.join("/") === "tree/photos/Albums/Summer" && opened.active === "résumé.PDF" &&
        opened.query === "" && opened.focus === "catalog-grid",
        "a click on a hit opens its folder with the hit focused " + JSON.stringify(opened.crumbs) + opened.active);
}

function ordered(rows, key, descending) {
  const collator = new Intl.Collator("en", {numeric: true, sensitivity: "base"});
  const compare = {
    name: (a, b) => collator.compare(a.name, b.name),
    size: (a, b) => a.bytes - b.bytes,
    kind: (a, b) => collator.compare(a.kind, b.kind),
    modified: (a, b) => (a.time < b.time ? -1 : a.time > b.time ? 1 : 0),
  }[key];
  return rows.every((row, i) => {
    if (i === 0) return true;
    const before = rows[i - 1];
    if (before.folder !== row.folder) return before.folder;
    const order = compare(before, row) || collator.compare(before.name, row.name);
    return descending ? order >= 0 : order <= 0;
  });
}

async function checkSorting(page, url) {
  await load(page, url + "#/photos", 1280);
  let shown = await state(page);
  const names = shown.rows.map((row) => row.name);
  check(shown.sort === "Name ascending" && names.join() ===
        "Albums,raw files,alpha.bin,Café Menu.pdf,CAFE-receipt.txt,mid.txt,Notes 9.md,Notes 10.md,zeta.log",
        "a folder opens sorted by name, folders first, in natural order: " + names.join());
  check(shown.rows[0].bytes === 4096 && shown.rows[2].bytes === 300000 && shown.rows[0].kind === "Folder",
        "a folder's size is its total, a file's its own, in bytes in the title");
  for (const [caption, key] of [["Size", "size"], ["Kind", "kind"], ["Modified", "modified"], ["Name", "name"]]) {
    for (const descending of [false, true]) {
      await page.clickOn(`[...document.querySelectorAll(".head button")].find((b) => b.textContent === "${caption}")`);
      shown = await state(page);
      const direction = descending ? "descending" : "ascending";
      check(shown.sort === `${caption} ${direction}` && ordered(shown.rows, key, descending),
            `a click on ${caption} sorts by it, ${direction}: ` +
            shown.rows.map((r) => `${r.name}:${r[key === "name" ? "name" : key === "modified" ? "time" : key]}`));
    }
  }
}

// Filters by kind, size and date narrow a folder and the hits alike.
async function checkFilters(page, url) {
  await load(page, url + "#/photos", 1280);
  await page.clickOn(`document.querySelector(".filters summary")`);
  await page.clickOn(`document.querySelector(".filters input[type=checkbox]")`);
  let shown = await state(page);
  check(shown.rows.length === 9 - 2 && shown.rows.every((row) => !row.folder), "Folders unticked leaves the files");
  const set = (index, value) => page.evaluate(`(() => {
    const input = document.querySelectorAll(".filters .field input")[${index}];
    input.value = ${JSON.stringify(value)};
    input.dispatchEvent(new Event("change"));
  })()`);
  await set(0, "10 KiB");
  shown = await state(page);
  check(shown.rows.map((row) => row.name).join() === "alpha.bin,mid.txt,Notes 9.md",
        "a least size leaves the files as large: " + shown.rows.map((row) => row.name).join());
  await set(2, "2024-01-01");
  shown = await state(page);
  check(shown.rows.map((row) => row.name).join() === "alpha.bin,Notes 9.md",
        "a first day leaves the files written since: " + shown.rows.map((row) => row.name).join());
  await search(page, "notes");
  shown = await state(page);
  check(shown.rows.map((row) => row.name).join() === "Notes 9.md" && shown.hits === "1 hit",
        "the filters narrow the hits too: " + shown.rows.map((row) => row.name).join());
  await set(1, "a lot");
  check(/is not a size/.test(await page.evaluate(`document.querySelector(".filter-note").textContent`)),
        "a size that is not one is named");
}

async function checkKeyboard(page, url) {
  await load(page, url, 1280);
  await page.evaluate("document.activeElement.blur()");
  await press(page, "/");
  check(await page.evaluate(`document.activeElement.id === "catalog-search"`), "\"/\" puts the focus in the search");
  await type(page, "notes");
  await until(page, `/^[\\d,]+ hits?$/.test(document.getElementById("catalog-hits").textContent)`, "hits");
  await press(page, "ArrowDown");
  await press(page, "ArrowDown");
  let shown = await state(page);
  check(shown.focus === "catalog-grid" && shown.active === shown.rows[1].name,
        "arrows move from the search into the hits and along them: " + shown.active);
  const hit = shown.rows[1];
  await press(page, "Enter");
  await until(page, `!document.querySelector(".grid.results")`, "the folder of the hit");
  shown = await state(page);
  check(shown.active === hit.name && "/" + shown.crumbs.slice(1).join("/") === hit.where,
        `Enter opens the hit's folder with it focused: ${shown.crumbs.join("/")} ${shown.active}`);
  await press(page, "Backspace");
  shown = await state(page);
  check(shown.crumbs.length === hit.where.split("/").length - 1 + (hit.where === "/" ? 0 : 0) &&
        shown.active === hit.where.split("/").pop(),
        `Backspace goes to the parent folder with the folder left focused: ${shown.crumbs.join("/")} ${shown.active}`);
  await press(page, "End");
  await press(page, "ArrowUp");
  shown = await state(page);
  check(shown.active === shown.rows[shown.rows.length - 2].name, "End and the arrows move in a folder");
  await page.evaluate(`document.getElementById("catalog-grid").focus()`);
  await press(page, "/");
  await type(page, "zzz");
  await press(page, "Escape");
  shown = await state(page);
  check(shown.query === "" && shown.hits === "" && shown.rowcount > 0, "Escape clears the search");
  // Into photos by the keyboard alone, then a sort from its header.
  await load(page, url, 1280);
  await page.evaluate(`document.getElementById("catalog-grid").focus()`);
  shown = await state(page);
  const photos = shown.rows.findIndex((row) => row.name === "photos");
  for (let i = 0; i < photos; i++) await press(page, "ArrowDown");
  await press(page, "Enter");
  shown = await state(page);
  check(shown.crumbs.join("/") === "tree/photos", "Enter on a folder's row opens it: " + shown.crumbs.join("/"));
  await page.evaluate("history.back()");
  await until(page, `document.querySelectorAll(".crumbs li").length === 1`, "the top folder, back");
  await page.evaluate("history.forward()");
  await until(page, `document.querySelectorAll(".crumbs li").length === 2`, "photos, forward");
  await page.evaluate(`document.getElementById("catalog-grid").focus()`);
  await page.evaluate(`[...document.querySelectorAll(".head button")].find((b) => b.textContent === "Size").focus()`);
  await press(page, "Enter");
  check((await state(page)).sort === "Size ascending", "Enter on a caption sorts by it");
}

async function checkAddress(page, url) {
  await load(page, url + "#/photos/Albums", 1280);
  await search(page, "cafe");
  await until(page, `location.hash.endsWith("?q=cafe")`, "the search in the address after a pause in the typing");
  const before = await state(page);
  const loaded = page.devtools.event("Page.loadEventFired");
  await page.send("Page.reload", {});
  await loaded;
  await waitOpen(page);
  await until(page, `/^[\\d,]+ hits?$/.test(document.getElementById("catalog-hits").textContent)`, "hits");
  const after = await state(page);
  check(before.hash === "#/photos/Albums?q=cafe" && after.query === "cafe" &&
        after.crumbs.join("/") === "tree/photos/Albums" && after.rowcount === before.rowcount,
        `a reload returns to the place and the search: ${after.hash} ${after.crumbs.join("/")} ${after.query}`);
  await page.evaluate(`document.getElementById("catalog-search").value = ""`);
  await page.clickOn(`document.querySelector(".crumbs a")`);
  await until(page, `document.querySelectorAll(".crumbs li").length === 1`, "the top folder");
  await page.evaluate("history.back()");
  await until(page, `document.querySelectorAll(".crumbs li").length === 3`, "the folder before");
  const back = await state(page);
  check(back.crumbs.join("/") === "tree/photos/Albums", "back returns to the folder before: " + back.crumbs.join("/"));
  await page.evaluate("history.forward()");
  await until(page, `document.querySelectorAll(".crumbs li").length === 1`, "the top folder again");
  // A key that the browser runs after the page wrote the address but before
  // it tells the page so (input goes first) stays typed: the key comes in
  // as the page writes the address.
  const kept = await page.evaluate(`new Promise((resolve) => {
    const input = document.getElementById("catalog-search");
    navigation.addEventListener("navigate", () => queueMicrotask(() => {
      input.value = "notes";
      input.dispatchEvent(new Event("input"));
    }), {once: true});
    input.value = "not";
    input.dispatchEvent(new Event("input"));
    setTimeout(() => resolve(input.value + " " + decodeURIComponent(location.hash)), 1200);
  })`);
  check(kept === "notes #/?q=notes", "the address written during the typing never takes back a key: " + kept);
  const hostile = Buffer.from("hostile/\"><img src=x onerror=alert(1)>~");
  const address = "#/" + hostile.toString("latin1").split("/").map((p) => encodeURIComponent(p)).join("/");
  await load(page, url + address, 1280);
  const deep = await state(page);
  check(deep.crumbs.slice(1).join("/") === hostile.toString(), "an address reaches a hostile folder: " + deep.crumbs);
}

// No element, handler or script from a name; the names show as text.
async function checkHostile(page, url, screenshots) {
  await load(page, url + "#/hostile", 1280);
  const shown = await state(page);
  const names = namesOfTheTree();
  const expected = names.flatMap((n) => [shownName(n), shownName(Buffer.concat([n, Buffer.from("~")]))]).sort();
  check(JSON.stringify(shown.rows.map((row) => row.name).sort()) === JSON.stringify(expected),
        `every hostile name shows as itself (${shown.rows.length} of ${expected.length})`);
  await search(page, "alert");
  const seen = await page.evaluate(`({
    scripts: document.scripts.length,
    handlers: [...document.querySelectorAll("*")].flatMap((e) =>
        [...e.attributes].filter((a) => /^on/i.test(a.name)).map((a) => e.tagName + " " + a.name)),
    strangers: [...document.querySelectorAll("body *")].map((e) => e.tagName.toLowerCase())
        .filter((t) => !["header", "h1", "p", "main", "nav", "ol", "li", "a", "bdi", "div", "label", "input",
                         "output", "details", "summary", "fieldset", "legend", "span", "button", "time",
                         "script", "noscript"].includes(t)),
    links: [...document.querySelectorAll("a[href]")].map((a) => a.getAttribute("href"))
        .filter((href) => !href.startsWith("#")),
  })`);
  check(seen.scripts === 2 && seen.handlers.length === 0 && seen.strangers.length === 0,
        "no element or handler from a name: " + JSON.stringify(seen));
  if (screenshots) await page.screenshot(path.join(screenshots, "catalog-hostile-1280.png"));
}

// Every file's link leads to that file: followed from the served page, the
// server finds the exact bytes of its name.
async function checkLinks(page, url, root, folders) {
  for (const folder of folders) {
    await load(page, url + folder, 1280);
    const links = await page.evaluate(`(async () => {
      const grid = document.getElementById("catalog-grid");
      const seen = new Map();
      for (let top = 0; top < grid.scrollHeight; top += grid.clientHeight / 2) {
        grid.scrollTop = top;
        await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
        for (const a of document.querySelectorAll(".body a[href]")) {
          if (a.getAttribute("href").startsWith("#")) continue;
          seen.set(a.href, {href: a.href, text: a.closest("[role=row]").querySelector(".entry").textContent});
        }
      }
      return [...seen.values()];
    })()`);
    const wrong = [];
    for (const link of links) {
      const target = new URL(link.href);
      const bytes = Buffer.from(decodeURIComponentBytes(target.pathname));
      const name = bytes.subarray(bytes.lastIndexOf(0x2f, bytes.length - 2) + 1);
      const trimmed = name[name.length - 1] === 0x2f ? name.subarray(0, name.length - 1) : name;
      if (target.origin !== new URL(url).origin || shownName(trimmed) !== link.text ||
          !fs.existsSync(Buffer.concat([Buffer.from(root), bytes]))) {
        wrong.push(link.href);
      }
    }
    check(links.length > 0 && wrong.length === 0, `every link in ${folder} leads to its own file or folder ` +
          `(${links.length} links) ${wrong.join(" ")}`);
  }
}

function decodeURIComponentBytes(text) {
  const bytes = [];
  for (let i = 0; i < text.length; i++) {
    if (text[i] === "%") {
      bytes.push(parseInt(text.slice(i + 1, i + 3), 16));
      i += 2;
    } else {
      bytes.push(...Buffer.from(text[i], "utf8"));
    }
  }
  return bytes;
}

async function checkPhone(page, url, screenshots) {
  for (const scheme of ["light", "dark"]) {
    await page.send("Emulation.setEmulatedMedia", {features: [{name: "prefers-color-scheme", value: scheme}]});
    for (const place of ["#/photos", "#/hostile?q=alert"]) {
      await load(page, url + place, 320, 640);
      await until(page, `document.querySelectorAll(".body [role=row]").length > 0`, "rows");
      const layout = await page.evaluate(`({scroll: document.documentElement.scrollWidth,
          client: document.documentElement.clientWidth,
          grid: document.getElementById("catalog-grid").scrollWidth -
                document.getElementById("catalog-grid").clientWidth,
          background: getComputedStyle(document.body).backgroundColor})`);
      check(layout.scroll <= layout.client && layout.grid <= 0,
            `${place} at 320 px, ${scheme}: no horizontal scrolling ${JSON.stringify(layout)}`);
      if (screenshots) {
        await page.screenshot(path.join(screenshots, `catalog-${place.includes("q=") ? "results" : "folder"}-320-${scheme}.png`));
      }
    }
    await runAxe(page, `results at 320 px, ${scheme}`);
  }
  await page.send("Emulation.setEmulatedMedia", {features: [{name: "prefers-color-scheme", value: "light"}]});
}

async function checkDamaged(page, work, catalog) {
  const text = catalog.toString("utf8");
  const start = text.indexOf("\n", text.indexOf('id="catalog-data"')) + 1;
  const cut = text.slice(0, start) + text.slice(start, start + 40) + "\n" + text.slice(text.indexOf("</script>", start));
  const file = path.join(work, "cut.catalog.html");
  fs.writeFileSync(file, cut);
  await load(page, "file://" + file, 1280);
  const status = await page.evaluate(`document.getElementById("catalog-status").textContent`);
  check(/^This catalog's data is damaged: .+\.$/.test(status), "a catalog cut short says so: " + status);
}

function startServer(root) {
  return new Promise((resolve) => {
    const server = http.createServer((request, response) => {
      const file = Buffer.concat([Buffer.from(root), Buffer.from(decodeURIComponentBytes(request.url))]);
      if (fs.existsSync(file) && fs.statSync(file).isFile()) {
        response.writeHead(200, {"Content-Type": "text/html; charset=utf-8"});
        response.end(fs.readFileSync(file));
      } else {
        response.writeHead(404);
        response.end();
      }
    });
    server.listen(0, "127.0.0.1", () => resolve(server));
  });
}

class Watch {
  constructor(devtools) {
    this.events = [];
    this.requests = [];
    devtools.on("Page.javascriptDialogOpening", (e) => this.events.push("dialog " + e.type + ": " + e.message));
    devtools.on("Runtime.consoleAPICalled", (e) => this.events.push("console." + e.type));
    devtools.on("Runtime.exceptionThrown", (e) => this.events.push("exception: " + e.exceptionDetails.text));
    devtools.on("Log.entryAdded", (e) => this.events.push("log " + e.entry.source + ": " + e.entry.text));
    // data: addresses are the browser's own pictures (the date field's icon), not fetched.
    devtools.on("Network.requestWillBeSent", (e) => {
      if (!e.request.url.startsWith("data:")) this.requests.push(e.request.url);
    });
  }
}

async function main() {
  const options = {cli: process.argv[2] && path.resolve(process.argv[2]), screenshots: null};
  if (process.argv[3] === "--screenshots") options.screenshots = process.argv[4];
  if (!options.cli) throw new Error("usage: catalog_page_test.js KESTROVA_CLI [--screenshots FOLDER]");
  const chromium = findChromium();
  if (!chromium) {
    console.log("SKIPPED: the catalog page check needs Chromium (scripts/setup.sh installs it)");
    return kSkipped;
  }
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "kestrova-catalog-"));
  let devtools = null;
  let server = null;
  try {
    const top = path.join(work, "tree");
    makeTree(top);
    const output = path.join(work, "tree.catalog.html");
    const catalog = writeCatalog(options.cli, top, output);
    check(!catalog.includes(Buffer.from("<img src=x")), "no name's markup is in the file as markup");
    checkFile(catalog);
    await validate(catalog);

    devtools = new DevTools(chromium, path.join(work, "profile"));
    const watch = new Watch(devtools);
    const page = await devtools.openPage();
    await page.send("Log.enable");
    await page.send("Network.enable");
    await page.send("Page.addScriptToEvaluateOnNewDocument", {source: `window.__violations = [];
        document.addEventListener("securitypolicyviolation", (e) => window.__violations.push(e.violatedDirective));`});
    const url = "file://" + output;
    await load(page, url, 1280);
    await runAxe(page, "the catalog as it opens");
    if (options.screenshots) await page.screenshot(path.join(options.screenshots, "catalog-top-1280.png"));
    await checkSearch(page, url, top, options.screenshots);
    await checkSorting(page, url);
    await checkFilters(page, url);
    await checkKeyboard(page, url);
    await checkAddress(page, url);
    await checkHostile(page, url, options.screenshots);
    await checkPhone(page, url, options.screenshots);
    check(await page.evaluate("window.__violations.length === 0"), "the policy blocked nothing");
    const fetched = watch.requests.filter((request) => request.split("#")[0] !== url);
    check(fetched.length === 0, "nothing was fetched but the page itself: " + fetched.slice(0, 5).join(" "));

    server = await startServer(work);
    const served = `http://127.0.0.1:${server.address().port}/tree.catalog.html`;
    watch.requests = [];
    await load(page, served, 1280);
    await search(page, "notes");
    check((await state(page)).rowcount === expectedHits(top, ["notes"]).notes.length, "served, the search works");
    await checkLinks(page, served, work, ["#/hostile", "#/hostile/%3C!--~"]);
    const away = watch.requests.filter((request) => request.split("#")[0] !== served && !request.endsWith("/favicon.ico"));
    check(away.length === 0, "served, nothing was fetched but the page: " + away.slice(0, 5).join(" "));

    // In its own top folder the links have no base, and a name like
    // "javascript:alert(1)" must not read as an address of its own.
    const inside = path.join(top, "hostile", "hostile.catalog.html");
    writeCatalog(options.cli, path.join(top, "hostile"), inside);
    await checkLinks(page, served.replace(/[^/]*$/, "tree/hostile/hostile.catalog.html"), work, ["#/", "#/%3C!--~"]);
    await checkDamaged(page, work, catalog);
    check(watch.events.length === 0, "no dialog, console output or error: " + JSON.stringify(watch.events));
  } finally {
    if (devtools) await devtools.close();
    if (server) server.close();
    fs.rmSync(work, {recursive: true, force: true, maxRetries: 20, retryDelay: 100});
  }
  console.log(failures.length === 0 ? "catalog page: all checks passed" : `catalog page: ${failures.length} checks failed`);
  return failures.length === 0 ? 0 : 1;
}

const timer = setTimeout(() => {
  console.log("FAIL the checks did not finish within " + kTimeoutMs / 1000 + " s");
  process.exit(1);
}, kTimeoutMs);
main().then((status) => {
  clearTimeout(timer);
  process.exitCode = status;
}, (error) => {
  clearTimeout(timer);
  console.log("FAIL " + error.stack);
  process.exitCode = 1;
});
