// "Search everywhere" of the pages of kestrova-cli -R --search, in headless
// Chromium: a small tree with every name of tests/data/hostile_names.txt,
// its pages opened from disk (file://) at two depths, the search file loaded
// by the page's script, every hit a name of the tree that holds the text
// (letter case and accents aside), every hit's link leading to its file or
// its folder's page on disk, used by keyboard, named for screen readers,
// clean for axe-core, no script run from a name; and the same served over
// HTTP with a Content-Security-Policy that allows the page's script by its
// hash and, by 'strict-dynamic', what that script loads.
//   node search_test.js KESTROVA_CLI [--screenshots FOLDER]
// Exits 77 (skipped) when no Chromium is installed. The tools come from
// install.sh beside this file.
"use strict";

const childProcess = require("child_process");
const crypto = require("crypto");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const url = require("url");
const {findChromium, DevTools} = require("../devtools_pipe.js");
const {failures, check, requireTool, hostileNames, shownName, sha256} = require("../page_checks.js");

const kSkipped = 77;
const kTimeoutMs = 240000;
const kSearchFile = "kestrova-search.js";


function parseArguments(argv) {
  const options = {cli: argv[0] && path.resolve(argv[0]), screenshots: null};
  for (let i = 1; i < argv.length; i += 2) {
    if (argv[i] === "--screenshots") options.screenshots = argv[i + 1];
    else throw new Error("unknown argument " + argv[i]);
  }
  if (!options.cli) throw new Error("usage: search_test.js KESTROVA_CLI [--screenshots FOLDER]");
  return options;
}

// Lower case, without the marks that NFD takes off the letters.
function folded(text) {
  return text.toLowerCase().normalize("NFD").replace(/\p{M}/gu, "");
}

// Bytes from a link's path, "%xx" decoded.
function decodedPath(text) {
  const bytes = [];
  for (let i = 0; i < text.length; i++) {
    if (text[i] === "%" && /^[0-9A-Fa-f]{2}$/.test(text.slice(i + 1, i + 3))) {
      bytes.push(parseInt(text.slice(i + 1, i + 3), 16));
      i += 2;
    } else {
      bytes.push(...Buffer.from(text[i], "utf8"));
    }
  }
  return Buffer.from(bytes);
}

// The text of the first element of that name, as the parser reads it.
function elementText(page, name) {
  const text = page.toString("utf8");
  const start = text.indexOf(`<${name}>`) + name.length + 2;
  return text.slice(start, text.indexOf(`</${name}>`, start)).replace(/\r\n?/g, "\n");
}

// The tree: names with accents at two depths, and every hostile name that a
// POSIX folder holds, as a file and with "~" after it as a folder.
function makeTree(root) {
  const top = path.join(root, "tree");
  for (const folder of ["photos/2024/june", "hostile"]) fs.mkdirSync(path.join(top, folder), {recursive: true});
  for (const file of ["photos/Café Noël.txt", "photos/2024/june/CAFE-final.jpg", "photos/2024/june/notes.txt",
                      "photos/2024/Cafe\u0301 decomposed.md"]) {
    fs.writeFileSync(path.join(top, file), "x");
  }
  const hostile = Buffer.from(path.join(top, "hostile") + "/");
  for (const name of hostileNames().filter((bytes) => !bytes.includes(0x2f))) {
    fs.writeFileSync(Buffer.concat([hostile, name]), "x");
    fs.mkdirSync(Buffer.concat([hostile, name, Buffer.from("~")]));
  }
  return top;
}

// Every entry the pages list, with the names of its folder below the top:
// all but the pages themselves and the search file.
function entriesOf(top) {
  const entries = [];
  const visit = (folder, below) => {
    for (const name of fs.readdirSync(folder, {encoding: "buffer"})) {
      const text = name.toString("latin1");
      if (text === "index.html" || (below.length === 0 && text === kSearchFile)) continue;
      const full = Buffer.concat([Buffer.from(folder), Buffer.from("/"), name]);
      const isFolder = fs.lstatSync(full).isDirectory();
      entries.push({bytes: name, folder: isFolder, below});
      if (isFolder) visit(full, below.concat([name]));
    }
  };
  visit(Buffer.from(top), []);
  return entries;
}

function expectedHits(entries, query) {
  return entries.filter((e) => folded(shownName(e.bytes)).includes(folded(query)))
      .map((e) => (e.folder ? "d " : "f ") + ["tree", ...e.below.map(shownName)].join("/") + " " +
           shownName(e.bytes)).sort();
}

// Everything the page did that a name could have made it do.
class Watch {
  constructor(devtools) {
    this.events = [];
    devtools.on("Page.javascriptDialogOpening", (e) => this.events.push("dialog " + e.type + ": " + e.message));
    devtools.on("Runtime.consoleAPICalled", (e) =>
      this.events.push("console." + e.type + ": " + e.args.map((a) => a.value).join(" ")));
    devtools.on("Runtime.exceptionThrown", (e) => this.events.push("exception: " + e.exceptionDetails.text));
  }

  take() {
    const events = this.events;
    this.events = [];
    return events;
  }
}

async function pressKey(page, key, code, keyCode, shift) {
  const base = {key, code, windowsVirtualKeyCode: keyCode, modifiers: shift ? 8 : 0};
  await page.send("Input.dispatchKeyEvent", Object.assign({type: "keyDown"}, base));
  await page.send("Input.dispatchKeyEvent", Object.assign({type: "keyUp"}, base));
}

// The live region's text once the search is done: a count, or why not.
async function awaitCount(page) {
  for (let i = 0; i < 100; i++) {
    const text = await page.evaluate(`document.querySelector(".filter output").textContent`);
    if (/hits?$|shown$|could not/.test(text)) return text;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return "(no count)";
}

const kHitsExpression = `[...document.querySelectorAll("#hits li")].map((li) => ({
    name: li.firstElementChild.textContent,
    href: li.firstElementChild.href || null,
    folder: li.firstElementChild.classList.contains("folder"),
    where: li.lastElementChild.textContent,
    whereHref: li.lastElementChild.href,
  }))`;

// The file or folder a file: link leads to, and what it holds there.
function targetOf(link) {
  const target = decodedPath(new URL(link).pathname);
  const folder = target[target.length - 1] === 0x2f;
  const file = folder ? Buffer.concat([target, Buffer.from("index.html")]) : target;
  return {file, folder, exists: fs.existsSync(file) && fs.statSync(file).isFile()};
}

// The last name of a path's bytes, a trailing "/" aside.
function lastName(bytes) {
  const end = bytes[bytes.length - 1] === 0x2f ? bytes.length - 1 : bytes.length;
  return bytes.subarray(bytes.lastIndexOf(0x2f, end - 1) + 1, end);
}

async function searchFor(page, query) {
  await page.evaluate(`(() => { const input = document.getElementById("filter");
      input.value = ""; input.focus(); })()`);
  await page.send("Input.insertText", {text: query});
  return awaitCount(page);
}

async function checkHits(page, what, entries, query) {
  const count = await searchFor(page, query);
  const hits = await page.evaluate(kHitsExpression);
  const expected = expectedHits(entries, query);
  const shown = hits.map((h) => (h.folder ? "d " : "f ") + h.where + " " + h.name).sort();
  check(JSON.stringify(shown) === JSON.stringify(expected),
        `${what}, "${query}": the hits are the tree's names that hold it (${shown.length} of ${expected.length})` +
        (JSON.stringify(shown) === JSON.stringify(expected) ? "" :
          "\n     shown " + JSON.stringify(shown) + "\n     wanted " + JSON.stringify(expected)));
  check(count === (expected.length === 1 ? "1 hit" : expected.length + " hits"),
        `${what}, "${query}": the live region says how many: ${count}`);
  const wrong = [];
  for (const hit of hits) {
    for (const link of [hit.href, hit.whereHref]) {
      if (link === null) continue;
      const target = targetOf(link);
      if (!link.startsWith("file:///") || !target.exists) wrong.push(link);
    }
    if (hit.href !== null && shownName(lastName(decodedPath(new URL(hit.href).pathname))) !== hit.name) {
      wrong.push(hit.href);
    }
  }
  check(wrong.length === 0, `${what}, "${query}": every link leads to its file or its folder's page ` +
        wrong.join(" "));
  return hits;
}

async function checkPageFromDisk(page, devtools, pageUrl, what, entries, watch, screenshots) {
  await page.open(pageUrl, 1280);
  check(await page.evaluate(`!document.querySelector(".filter").hidden && !!document.getElementById("everywhere")`),
        `${what}: the filter box offers Search everywhere`);
  // By keyboard: the text first, then Tab to the box and Space.
  await page.evaluate(`document.getElementById("filter").focus()`);
  await page.type("cafe");
  await pressKey(page, "Tab", "Tab", 9, false);
  const focus = await page.evaluate(`(() => { const e = document.activeElement;
      return {id: e.id, outline: getComputedStyle(e).outlineStyle, visible: e.matches(":focus-visible")}; })()`);
  check(focus.id === "everywhere" && focus.visible && focus.outline !== "none",
        `${what}: Tab reaches Search everywhere, its focus shown ${JSON.stringify(focus)}`);
  await page.press("Space");
  const count = await awaitCount(page);
  check(/hits?$/.test(count), `${what}: Space searches the whole tree: ${count}`);
  check(await page.evaluate(`document.querySelector("main table").hidden && !document.getElementById("hits").hidden`),
        `${what}: the hits stand in place of the folder's rows`);
  await checkHits(page, what, entries, "cafe");
  check(expectedHits(entries, "cafe").length >= 4, "accents and letter case aside, four names hold cafe");
  await checkHits(page, what, entries, "NOËL");
  await checkHits(page, what, entries, "<img");
  await checkHits(page, what, entries, "alert(1)");
  await checkHits(page, what, entries, "~");
  await checkHits(page, what, entries, "e\u2028s");
  await checkHits(page, what, entries, ".");
  if (screenshots) await page.screenshot(path.join(screenshots, `search-${what.replace(/\W+/g, "-")}.png`));
  await checkHits(page, what, entries, "zzz-none");

  const {nodes} = await page.send("Accessibility.getFullAXTree", {});
  const named = (role, name) => nodes.some((n) => n.role && n.role.value === role && n.name &&
                                                  n.name.value === name);
  check(named("checkbox", "Search everywhere") && named("list", "Hits in the whole tree"),
        `${what}: the box and the list are named for screen readers`);
  check(await page.evaluate(`document.querySelector(".filter output").getAttribute("aria-live") === "polite"`),
        `${what}: the count is a live region`);
  await searchFor(page, "a");
  await runAxe(page, `${what} with hits`);
  check(await page.evaluate(`[...document.scripts].length === 2 && [...document.querySelectorAll("*")]
      .every((e) => [...e.attributes].every((a) => !/^on/i.test(a.name)))`),
        `${what}: no element or handler from a name`);

  await page.press("Space");
  await page.evaluate(`document.getElementById("everywhere").click()`);
  check(await page.evaluate(`!document.getElementById("everywhere").checked &&
      !document.querySelector("main table").hidden && document.getElementById("hits").hidden`),
        `${what}: without Search everywhere the folder's rows are back`);
  const events = watch.take();
  check(events.length === 0, `${what}: nothing was shown, logged or thrown ` + JSON.stringify(events));
}

async function runAxe(page, what) {
  await page.evaluate(requireTool("axe-core").source + ";true");
  const violations = await page.evaluate(`axe.run(document, {resultTypes: ["violations"]}).then((r) =>
      r.violations.map((v) => v.impact + " " + v.id + ": " + v.nodes.map((n) => n.target.join(" ")).join(", ")))`);
  check(violations.length === 0, `${what}: axe-core finds no violation ` +
        (violations.length ? "\n     " + violations.join("\n     ") : ""));
}

async function validate(name, file) {
  const {HtmlValidate} = requireTool("html-validate");
  const validator = new HtmlValidate({extends: ["html-validate:standard"]});
  const report = await validator.validateString(fs.readFileSync(file, "utf8"), name);
  const messages = report.results.flatMap((result) => result.messages)
      .map((m) => `${m.line}:${m.column} ${m.ruleId} ${m.message}`);
  check(report.errorCount === 0, `${name}: html-validate's standard preset finds no error ` +
        (messages.length ? "\n     " + messages.join("\n     ") : ""));
}

// Serves the tree from disk, each page with the policy that the request's
// first part names; takes the browser's reports of violations.
function startServer(top, policies, reports) {
  const server = http.createServer((request, response) => {
    if (request.method === "POST" && request.url === "/csp-report") {
      request.on("data", (chunk) => reports.push(chunk.toString()));
      request.on("end", () => {
        response.writeHead(204);
        response.end();
      });
      return;
    }
    const [, policy, rest] = /^\/([a-z]+)\/(.*)$/.exec(request.url.split("?")[0]) || [];
    let file = policy in policies ? Buffer.concat([Buffer.from(top + "/"), decodedPath(rest)]) : null;
    if (file && file[file.length - 1] === 0x2f) file = Buffer.concat([file, Buffer.from("index.html")]);
    if (!file || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404, {"Content-Type": "text/plain"});
      response.end("not here");
      return;
    }
    const script = file.toString("latin1").endsWith(".js");
    const headers = {"Content-Type": script ? "text/javascript" : "text/html; charset=utf-8",
                     "Cache-Control": "no-store", "Content-Security-Policy": policies[policy]};
    response.writeHead(200, headers);
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

const kViolationRecorder = `window.__violations = [];
  document.addEventListener("securitypolicyviolation",
      (e) => window.__violations.push(e.violatedDirective + " " + e.blockedURI));`;

async function checkPolicy(page, origin, entries, reports, watch) {
  await page.send("Page.addScriptToEvaluateOnNewDocument", {source: kViolationRecorder});
  await page.open(origin + "/dynamic/photos/2024/", 1280);
  await page.evaluate(`document.getElementById("everywhere").click()`);
  const found = await searchFor(page, "cafe");
  check(found === expectedHits(entries, "cafe").length + " hits", "served with 'strict-dynamic': " + found);
  const violations = await page.evaluate("window.__violations");
  await new Promise((resolve) => setTimeout(resolve, 300));
  check(violations.length === 0 && reports.length === 0 && watch.take().length === 0,
        "under the policy of the page's hashes and 'strict-dynamic', the search file loads without a violation " +
        JSON.stringify({violations, reports}));
  // The same check must see a load that the policy does not allow.
  await page.open(origin + "/hashes/photos/2024/", 1280);
  await page.evaluate(`document.getElementById("everywhere").click()`);
  const count = await searchFor(page, "cafe");
  const blocked = await page.evaluate("window.__violations");
  check(/could not be loaded/.test(count) && blocked.length > 0,
        `without 'strict-dynamic' the policy blocks the file, and the page says so: ${count} ` +
        JSON.stringify(blocked));
  reports.length = 0;
  watch.take();
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const chromium = findChromium();
  if (!chromium) {
    console.log("SKIPPED: the search check needs Chromium, which is not installed " +
                "(scripts/setup.sh installs it: apt-get install chromium)");
    return kSkipped;
  }
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "kestrova-search-"));
  let devtools = null;
  let server = null;
  try {
    const top = makeTree(work);
    const run = childProcess.spawnSync(options.cli, ["-R", "--search", "--hidden", "-q", "tree"],
                                       {cwd: work, encoding: "utf8"});
    check(run.status === 0, "kestrova-cli -R --search writes the pages and the search file " + run.stderr);
    const searchFile = fs.readFileSync(path.join(top, kSearchFile));
    check(searchFile.every((byte) => byte < 0x80) && !searchFile.includes("<"),
          "the search file is ASCII, without a \"<\"");
    check(!searchFile.includes(work), "no absolute path in the search file");
    const entries = entriesOf(top);
    const deep = path.join(top, "photos", "2024", "index.html");
    await validate("a page with Search everywhere", deep);

    devtools = new DevTools(chromium, path.join(work, "profile"));
    const watch = new Watch(devtools);
    const page = await devtools.openPage();
    await checkPageFromDisk(page, devtools, url.pathToFileURL(path.join(top, "index.html")).href, "the top page",
                            entries, watch, options.screenshots);
    await checkPageFromDisk(page, devtools, url.pathToFileURL(deep).href, "a page two levels down", entries,
                            watch, options.screenshots);

    const pageFile = fs.readFileSync(deep);
    const hashes = `default-src 'none'; script-src ${sha256(elementText(pageFile, "script"))}`;
    const rest = `; style-src ${sha256(elementText(pageFile, "style"))}; base-uri 'none'; form-action 'none'; ` +
                 "frame-ancestors 'none'; report-uri /csp-report";
    const reports = [];
    server = await startServer(top, {dynamic: hashes + " 'strict-dynamic'" + rest, hashes: hashes + rest},
                               reports);
    await checkPolicy(page, `http://127.0.0.1:${server.address().port}`, entries, reports, watch);
  } finally {
    if (devtools) await devtools.close();
    if (server) server.close();
    fs.rmSync(work, {recursive: true, force: true, maxRetries: 20, retryDelay: 100});
  }
  console.log(failures.length === 0 ? "search everywhere: all checks passed" :
              `search everywhere: ${failures.length} checks failed`);
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
