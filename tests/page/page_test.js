// The standards page with the real tools: kestrova-cli --format page lists
// two folders (ordinary names, and every name of tests/data/hostile_names.txt
// under a hostile folder name); html-validate's standard preset and axe-core
// check each page, and headless Chromium loads them from a server on the
// loopback address, with a Content-Security-Policy that allows the page's
// script and style by their hashes only: at 320 and 1280 px, light and dark,
// with and without scripts, sorting by mouse and keyboard, filtering by
// typing, and no script ever run from a name.
//   node page_test.js KESTROVA_CLI [--screenshots FOLDER]
// Exits 77 (skipped) when no Chromium is installed. The tools come from
// install.sh beside this file.
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
const kTimeoutMs = 240000;
// The name the hostile names are listed under, as FOLDER is typed.
const kHostileFolder = "\"><img src=x onerror=alert(1)> & <b>folder";


function parseArguments(argv) {
  const options = {cli: argv[0] && path.resolve(argv[0]), screenshots: null};
  for (let i = 1; i < argv.length; i += 2) {
    if (argv[i] === "--screenshots") options.screenshots = argv[i + 1];
    else throw new Error("unknown argument " + argv[i]);
  }
  if (!options.cli) throw new Error("usage: page_test.js KESTROVA_CLI [--screenshots FOLDER]");
  return options;
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

function setTime(file, time) {
  fs.utimesSync(file, new Date(time), new Date(time));
}

// A folder whose name, size and date orders all differ, with a name too
// long for a phone and a name that needs natural order.
function makeOrdinaryFolder(root) {
  const folder = path.join(root, "photos");
  fs.mkdirSync(folder);
  for (const [name, time] of [["Albums", "2023-04-01T10:00:00Z"], ["raw files", "2021-01-01T10:00:00Z"]]) {
    fs.mkdirSync(path.join(folder, name));
    setTime(path.join(folder, name), time);
  }
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
    setTime(file, time);
  }
  return {folder, names: files.map(([name]) => name)};
}

// Every hostile name that a POSIX folder can hold (none with a "/") as a
// file, and with "~" after it as a folder.
function makeHostileFolder(root) {
  const folder = path.join(root, kHostileFolder);
  fs.mkdirSync(folder);
  const entries = [];
  for (const name of hostileNames().filter((bytes) => !bytes.includes(0x2f))) {
    fs.writeFileSync(Buffer.concat([Buffer.from(folder + "/"), name]), "x");
    const folderName = Buffer.concat([name, Buffer.from("~")]);
    fs.mkdirSync(Buffer.concat([Buffer.from(folder + "/"), folderName]));
    entries.push({bytes: name, folder: false}, {bytes: folderName, folder: true});
  }
  return {folder, entries};
}

function listFolder(cli, folder, output, extra) {
  const run = childProcess.spawnSync(cli, ["--format", "page", path.basename(folder), "-o", output, "-q",
                                           "--include-parent", ...extra],
                                     {cwd: path.dirname(folder), encoding: "utf8"});
  check(run.status === 0, `kestrova-cli --format page writes ${path.basename(output)} ${run.stderr || ""}`);
  return fs.readFileSync(output);
}

// The text of the first element of that name, as the browser's parser
// reads it (line ends as one line feed), for its hash.
function elementText(page, name) {
  const text = page.toString("utf8");
  const start = text.indexOf(`<${name}>`) + name.length + 2;
  return text.slice(start, text.indexOf(`</${name}>`, start)).replace(/\r\n?/g, "\n");
}

function policyOf(page, scriptHash) {
  return `default-src 'none'; script-src ${scriptHash}; style-src ${sha256(elementText(page, "style"))}; ` +
         "base-uri 'none'; form-action 'none'; frame-ancestors 'none'; report-uri /csp-report";
}

// Serves each page at /PATH/ with its policy, and takes the browser's
// reports of violations; the icon that a browser asks for is there, empty.
function startServer(routes, reports) {
  const server = http.createServer((request, response) => {
    if (request.method === "POST" && request.url === "/csp-report") {
      let body = "";
      request.on("data", (chunk) => (body += chunk));
      request.on("end", () => {
        reports.push(body);
        response.writeHead(204);
        response.end();
      });
      return;
    }
    const route = routes[request.url];
    if (request.url === "/favicon.ico") {
      response.writeHead(204);
      response.end();
      return;
    }
    if (!route) {
      response.writeHead(404, {"Content-Type": "text/plain"});
      response.end("not here");
      return;
    }
    const headers = {"Content-Type": "text/html; charset=utf-8", "Cache-Control": "no-store"};
    if (route.policy) headers["Content-Security-Policy"] = route.policy;
    response.writeHead(200, headers);
    response.end(route.page);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

async function validate(name, page) {
  const {HtmlValidate} = requireTool("html-validate");
  const validator = new HtmlValidate({extends: ["html-validate:standard"]});
  const report = await validator.validateString(page.toString("utf8"), name);
  const messages = report.results.flatMap((result) => result.messages)
      .map((m) => `${m.line}:${m.column} ${m.ruleId} ${m.message}`);
  check(report.errorCount === 0, `${name}: html-validate's standard preset finds no error ` +
        (messages.length ? "\n     " + messages.join("\n     ") : ""));
}

async function runAxe(page, what) {
  await page.evaluate(requireTool("axe-core").source + ";true");
  const violations = await page.evaluate(`axe.run(document, {resultTypes: ["violations"]}).then((r) =>
      r.violations.map((v) => v.impact + " " + v.id + ": " + v.nodes.map((n) => n.target.join(" ")).join(", ")))`);
  check(violations.length === 0, `${what}: axe-core finds no violation ` +
        (violations.length ? "\n     " + violations.join("\n     ") : ""));
}

// Everything the page did that a name could have made it do.
class Watch {
  constructor(devtools) {
    this.events = [];
    devtools.on("Page.javascriptDialogOpening", (e) => this.events.push("dialog " + e.type + ": " + e.message));
    devtools.on("Runtime.consoleAPICalled", (e) =>
      this.events.push("console." + e.type + ": " + e.args.map((a) => a.value).join(" ")));
    devtools.on("Runtime.exceptionThrown", (e) => this.events.push("exception: " + e.exceptionDetails.text));
    devtools.on("Log.entryAdded", (e) => this.events.push("log " + e.entry.source + ": " + e.entry.text));
  }

  take() {
    const events = this.events;
    this.events = [];
    return events;
  }
}

// Violations that the page itself saw, recorded before any of its scripts.
const kViolationRecorder = `window.__violations = [];
  document.addEventListener("securitypolicyviolation",
      (e) => window.__violations.push(e.violatedDirective + " " + e.blockedURI));`;

const kRowsExpression = `[...document.querySelectorAll("main tbody")].flatMap((body) =>
    [...body.rows].filter((row) => !row.hidden).map((row) => ({
      group: body.className,
      name: row.cells[0].textContent,
      bytes: row.cells[2].getAttribute("data-bytes"),
      time: (row.cells[3].querySelector("time") || {}).dateTime,
    })))`;

function isOrdered(values, descending) {
  return values.every((v, i) => i === 0 || (descending ? values[i - 1] >= v : values[i - 1] <= v));
}

function captionExpression(caption) {
  return `[...document.querySelectorAll("thead th")].find((th) => th.textContent === ${JSON.stringify(caption)})`;
}

async function sortState(page) {
  return page.evaluate(`[...document.querySelectorAll("[aria-sort]")]
      .map((th) => th.textContent + " " + th.getAttribute("aria-sort")).join()`);
}

async function filesOf(page) {
  return (await page.evaluate(kRowsExpression)).filter((row) => row.group === "files");
}

async function checkLayout(page, url, width, scheme, what, screenshots, shot) {
  await page.send("Emulation.setEmulatedMedia", {features: [{name: "prefers-color-scheme", value: scheme}]});
  await page.open(url, width);
  const layout = await page.evaluate(`({
    scrollWidth: document.documentElement.scrollWidth,
    clientWidth: document.documentElement.clientWidth,
    background: getComputedStyle(document.body).backgroundColor,
    wide: [...document.querySelectorAll("td, th")].filter((cell) =>
        cell.getBoundingClientRect().right > document.documentElement.clientWidth + 0.5).length,
  })`);
  check(layout.scrollWidth <= layout.clientWidth && layout.wide === 0,
        `${what} at ${width} px, ${scheme}: no horizontal scrolling ` +
        `(content ${layout.scrollWidth} px in ${layout.clientWidth} px, ${layout.wide} cells beyond)`);
  if (screenshots && shot) await page.screenshot(path.join(screenshots, `${shot}-${width}-${scheme}.png`));
  return layout;
}

async function checkOrdinaryPage(page, url, names, screenshots) {
  const light = await checkLayout(page, url, 1280, "light", "photos", screenshots, "page");
  await runAxe(page, "photos at 1280 px, light");
  const dark = await checkLayout(page, url, 1280, "dark", "photos", screenshots, "page");
  check(light.background !== dark.background,
        `the dark scheme has colours of its own (${light.background}, ${dark.background})`);
  await runAxe(page, "photos at 1280 px, dark");
  await checkLayout(page, url, 320, "dark", "photos", screenshots, "page");
  await runAxe(page, "photos at 320 px, dark");
  await checkLayout(page, url, 320, "light", "photos", screenshots, "page");
  await runAxe(page, "photos at 320 px, light");
  const {nodes} = await page.send("Accessibility.getFullAXTree", {});
  const roles = new Set(nodes.map((node) => node.role && node.role.value));
  check(["table", "row", "columnheader", "cell"].every((role) => roles.has(role)),
        "at 320 px the stacked rows are still a table to assistive technology");

  await checkLayout(page, url, 1280, "light", "photos", null, null);
  let rows = await page.evaluate(kRowsExpression);
  check(rows.map((row) => row.group).join() === "parent,folders,folders" + ",files".repeat(names.length),
        "the parent first, then the folders, then the files");
  check(await sortState(page) === "Name ascending", "the page opens sorted by name: " + await sortState(page));

  await page.clickOn(captionExpression("Size") + ".querySelector('button')");
  rows = await page.evaluate(kRowsExpression);
  let files = rows.filter((row) => row.group === "files");
  check(rows[0].group === "parent" && rows[1].group === "folders" && rows[2].group === "folders",
        "a click on Size keeps the parent and the folders first");
  check(isOrdered(files.map((row) => Number(row.bytes)), false),
        "a click on Size orders the files by size: " + files.map((row) => row.bytes).join(", "));
  check(await sortState(page) === "Size ascending", "aria-sort follows: " + await sortState(page));

  await page.clickOn(captionExpression("Size") + ".querySelector('button')");
  files = await filesOf(page);
  check(isOrdered(files.map((row) => Number(row.bytes)), true), "a second click orders them greatest first");
  check(await sortState(page) === "Size descending", "aria-sort says descending: " + await sortState(page));

  await page.evaluate(captionExpression("Last Write") + ".querySelector('button').focus()");
  await page.press("Enter");
  files = await filesOf(page);
  check(isOrdered(files.map((row) => row.time), false),
        "Enter on Last Write orders by time: " + files.map((row) => row.time).join(", "));

  await page.evaluate(captionExpression("Name") + ".querySelector('button').focus()");
  await page.press("Space");
  files = (await filesOf(page)).map((row) => row.name);
  check(files.indexOf("Notes 9.md") === files.indexOf("Notes 10.md") - 1 && files[0] === "alpha.bin",
        "Space on Name orders names as people count: " + files.join(", "));
  check(await sortState(page) === "Name ascending", "one caption says how the rows are sorted: " +
        await sortState(page));

  check(await page.evaluate(`!document.querySelector(".filter").hidden`), "with scripts the filter box shows");
  await page.clickOn(`document.getElementById("filter")`);
  await page.type("NOTES");
  rows = await page.evaluate(kRowsExpression);
  check(rows.map((row) => row.name).join() === "..,Notes 9.md,Notes 10.md",
        "typing in the filter narrows the rows to the names that hold it: " + rows.map((r) => r.name).join());
  const count = await page.evaluate(`document.querySelector(".filter output").textContent`);
  check(count === `2 / ${names.length + 2}`, "the filter says how many rows it shows: " + count);
  for (let i = 0; i < 5; i++) await page.press("Backspace");
  rows = await page.evaluate(kRowsExpression);
  check(rows.length === names.length + 3, "an empty filter shows every row again");
  await runAxe(page, "photos sorted and filtered");

  await page.send("Emulation.setScriptExecutionDisabled", {value: true});
  await checkLayout(page, url, 320, "light", "photos without scripts", screenshots, "page-noscript");
  const plain = await page.evaluate(`({
    filter: getComputedStyle(document.querySelector(".filter")).display,
    buttons: document.querySelectorAll("button").length,
    rows: document.querySelectorAll("main tbody tr").length,
    links: document.querySelectorAll("main tbody a[href]").length,
    sorted: [...document.querySelectorAll("[aria-sort]")].map((th) => th.textContent).join(),
  })`);
  check(plain.filter === "none" && plain.buttons === 0, "without scripts the filter box and buttons stay away");
  check(plain.rows === names.length + 3 && plain.links === names.length + 3 && plain.sorted === "Name",
        `without scripts every row, link and the sort caption are there (${JSON.stringify(plain)})`);
  await page.send("Emulation.setScriptExecutionDisabled", {value: false});
}

async function checkHostilePage(page, url, base, entries, screenshots) {
  await checkLayout(page, url, 1280, "light", "hostile names", null, null);
  await runAxe(page, "hostile names at 1280 px");
  await checkLayout(page, url, 320, "light", "hostile names", screenshots, "page-hostile");
  const seen = await page.evaluate(`({
    title: document.title,
    heading: document.querySelector("h1").textContent,
    scripts: document.scripts.length,
    handlers: [...document.querySelectorAll("*")].flatMap((e) =>
        [...e.attributes].filter((a) => /^on/i.test(a.name)).map((a) => e.tagName + " " + a.name)),
    strangers: [...document.querySelectorAll("body *")].map((e) => e.tagName.toLowerCase())
        .filter((t) => !["header", "h1", "p", "main", "label", "input", "output", "table", "caption", "thead",
                         "tbody", "tr", "th", "td", "a", "time", "span", "footer", "button", "script"].includes(t)),
    links: [...document.querySelectorAll("tbody:not(.parent) a")].map((a) =>
        ({text: a.textContent, href: a.href, folder: !!a.closest(".folders")})),
  })`);
  check(seen.title === "Content of " + kHostileFolder && seen.heading === seen.title,
        "the hostile folder's name is the title's and heading's text: " + seen.title);
  check(seen.scripts === 1 && seen.handlers.length === 0 && seen.strangers.length === 0,
        "no element or handler from a name: " + JSON.stringify([seen.scripts, seen.handlers, seen.strangers]));
  const expected = entries.map((e) => (e.folder ? "d " : "f ") + shownName(e.bytes)).sort();
  const shown = seen.links.map((l) => (l.folder ? "d " : "f ") + l.text).sort();
  check(JSON.stringify(shown) === JSON.stringify(expected),
        `every name is shown as itself, once (${shown.length} of ${expected.length})`);
  const wrong = [];
  for (const link of seen.links) {
    const inFolder = link.href.startsWith(base);
    const target = decodedPath(link.href.slice(base.length));
    const entry = entries.find((e) => Buffer.compare(Buffer.concat([e.bytes, Buffer.from(e.folder ? "/" : "")]),
                                                     target) === 0);
    if (!inFolder || !entry || shownName(entry.bytes) !== link.text) wrong.push(link.href);
  }
  check(wrong.length === 0, "every link leads to its own entry in the page's folder " + wrong.join(" "));
  await page.clickOn(captionExpression("Name") + ".querySelector('button')");
  await page.clickOn(captionExpression("Type") + ".querySelector('button')");
  await page.clickOn(`document.getElementById("filter")`);
  await page.type("<img");
  const filtered = await page.evaluate(kRowsExpression);
  check(filtered.length === 3, "the filter finds names by their markup-like text: " + filtered.length);
}

async function checkPolicy(page, devtools, urls, watch, reports) {
  await page.send("Page.addScriptToEvaluateOnNewDocument", {source: kViolationRecorder});
  for (const [what, url] of [["photos", urls.photos], ["hostile names", urls.hostile]]) {
    watch.take();
    await page.open(url, 1280);
    await page.clickOn(captionExpression("Size") + ".querySelector('button')");
    const files = await filesOf(page);
    check(files.length > 0 && isOrdered(files.map((row) => Number(row.bytes)), false),
          `${what} under the policy of hashes: sorting works`);
    await page.clickOn(`document.getElementById("filter")`);
    await page.type("zzz-none");
    check((await page.evaluate(kRowsExpression)).length === 1, `${what} under the policy: filtering works`);
    const violations = await page.evaluate("window.__violations");
    await new Promise((resolve) => setTimeout(resolve, 300));
    const events = watch.take();
    check(violations.length === 0 && reports.length === 0 && events.length === 0,
          `${what}: no violation, dialog, console output or error ` +
          JSON.stringify({violations, reports, events}));
  }
  // The same check must see a script that the policy does not allow.
  await page.open(urls.wrongHash, 1280);
  await new Promise((resolve) => setTimeout(resolve, 300));
  const blocked = await page.evaluate(`({violations: window.__violations,
      buttons: document.querySelectorAll("thead button").length})`);
  check(blocked.violations.length > 0 && blocked.buttons === 0,
        "a policy without the script's hash blocks it, and the check sees that " + JSON.stringify(blocked));
  watch.take();
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const chromium = findChromium();
  if (!chromium) {
    console.log("SKIPPED: the page check needs Chromium, which is not installed " +
                "(scripts/setup.sh installs it: apt-get install chromium)");
    return kSkipped;
  }
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "kestrova-page-"));
  let devtools = null;
  let server = null;
  try {
    const ordinary = makeOrdinaryFolder(work);
    const hostile = makeHostileFolder(work);
    // Each page in the folder it lists, as the server below serves it.
    const photos = listFolder(options.cli, ordinary.folder, path.join(ordinary.folder, "index.html"), []);
    const names = listFolder(options.cli, hostile.folder, path.join(hostile.folder, "index.html"),
                             ["--set", "Columns=STWCRAH"]);
    for (const [what, page] of [["photos", photos], ["hostile names", names]]) {
      check(!page.includes(work), `${what}: no absolute path in the page`);
      await validate(what, page);
    }

    const scriptHash = sha256(elementText(photos, "script"));
    check(scriptHash === sha256(elementText(names, "script")), "both pages' scripts have one hash " + scriptHash);
    const reports = [];
    server = await startServer({
      "/plain/photos/": {page: photos},
      "/plain/hostile/": {page: names},
      "/policy/photos/": {page: photos, policy: policyOf(photos, scriptHash)},
      "/policy/hostile/": {page: names, policy: policyOf(names, scriptHash)},
      "/policy/wrong/": {page: photos, policy: policyOf(photos, sha256("another script"))},
    }, reports);
    const origin = `http://127.0.0.1:${server.address().port}`;

    devtools = new DevTools(chromium, path.join(work, "profile"));
    const watch = new Watch(devtools);
    const page = await devtools.openPage();
    await page.send("Log.enable");
    await checkOrdinaryPage(page, origin + "/plain/photos/", ordinary.names, options.screenshots);
    await checkHostilePage(page, origin + "/plain/hostile/", origin + "/plain/hostile/", hostile.entries,
                           options.screenshots);
    const events = watch.take();
    check(events.length === 0, "nothing was shown, logged or thrown: " + JSON.stringify(events));
    await checkPolicy(page, devtools, {photos: origin + "/policy/photos/", hostile: origin + "/policy/hostile/",
                                       wrongHash: origin + "/policy/wrong/"}, watch, reports);
  } finally {
    if (devtools) await devtools.close();
    if (server) server.close();
    fs.rmSync(work, {recursive: true, force: true, maxRetries: 20, retryDelay: 100});
  }
  console.log(failures.length === 0 ? "standards page: all checks passed" :
              `standards page: ${failures.length} checks failed`);
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
