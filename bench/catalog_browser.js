// The catalog page's speed and memory in headless Chromium, beside an anchor
// page measured in the same run:
//   node bench/catalog_browser.js CATALOG ANCHOR [--rounds N] [--common TEXT] [--miss TEXT]
//
//   CATALOG   a page of kestrova-cli --format catalog, e.g. of the synthetic
//             tree: build/native/bench/make_folder --tree DIR 100000 1000, then
//             kestrova-cli --format catalog DIR -o DIR.catalog.html
//   ANCHOR    a static listing to compare with, e.g. one folder of 2,000
//             entries: make_folder F 2000; (cd F && tree -H . -o ../anchor.html)
//   --rounds  interleaved rounds of each measurement (default 3); figures
//             are medians over the rounds
//   --common  a text that many names hold (default "invoice")
//   --miss    a text that no name holds (default "zqxjv")
//
// Prints, per round and as medians:
//   open     ms from navigation to the first frame with rows (the anchor:
//            to the first frame after its load event)
//   key      ms from a key's keydown to the frame that shows its hits (its
//            animation frame, laid out), over every keystroke of typing the
//            text (a common text and a miss)
//   scroll   the longest task and the longest gap between frames while the
//            common text's result list is scrolled from top to bottom
//   heap     the JS heap in MB after a collection, with the search ready
"use strict";

const fs = require("fs");
const os = require("os");
const path = require("path");
const {findChromium, DevTools} = require("../tests/devtools_pipe.js");

function parseArguments(argv) {
  const options = {rounds: 3, common: "invoice", miss: "zqxjv", files: []};
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === "--rounds") options.rounds = Number(argv[++i]);
    else if (argv[i] === "--common") options.common = argv[++i];
    else if (argv[i] === "--miss") options.miss = argv[++i];
    else options.files.push(path.resolve(argv[i]));
  }
  if (options.files.length !== 2 || !(options.rounds > 0)) {
    throw new Error("usage: catalog_browser.js CATALOG ANCHOR [--rounds N] [--common TEXT] [--miss TEXT]");
  }
  return options;
}

// Recorded in every page before its own scripts: the first frame with rows
// (or after the load event, for a page without the grid) and long tasks.
const kRecorder = `
  window.__bench = {painted: null, longTasks: []};
  new PerformanceObserver((list) => {
    for (const entry of list.getEntries()) window.__bench.longTasks.push(entry.duration);
  }).observe({type: "longtask"});
  const frame = (then) => requestAnimationFrame(() => setTimeout(then, 0));
  const watch = () => {
    if (window.__bench.painted !== null) return;
    if (document.querySelector("#catalog-grid [role=row][aria-rowindex='2']")) {
      frame(() => (window.__bench.painted = performance.now()));
      return;
    }
    requestAnimationFrame(watch);
  };
  requestAnimationFrame(watch);
  window.addEventListener("load", () => {
    if (!document.getElementById("catalog-data")) frame(() => (window.__bench.painted = performance.now()));
  });
`;

const kKeyTimer = `
  window.__keys = [];
  document.addEventListener("keydown", (event) => {
    const start = event.timeStamp;
    requestAnimationFrame(() => {
      document.body.getBoundingClientRect();
      window.__keys.push(performance.now() - start);
    });
  }, true);
  true`;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

async function until(page, expression, timeoutMs = 120000) {
  const end = Date.now() + timeoutMs;
  while (Date.now() < end) {
    if (await page.evaluate(`!!(${expression})`)) return;
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  throw new Error("the page did not come to " + expression);
}

async function openTime(page, url) {
  await page.open("about:blank", 1280);
  await page.open(url, 1280);
  await until(page, "window.__bench.painted !== null");
  return page.evaluate("window.__bench.painted");
}

async function typeText(page, text) {
  await page.evaluate(`(() => { const input = document.getElementById("catalog-search");
      input.value = ""; input.dispatchEvent(new Event("input")); input.focus(); window.__keys = []; })()`);
  for (const character of text) {
    await page.send("Input.dispatchKeyEvent", {type: "keyDown", key: character, text: character});
    await page.send("Input.dispatchKeyEvent", {type: "keyUp", key: character});
    await new Promise((resolve) => setTimeout(resolve, 120));
  }
  await until(page, `/^[\\d,]+ hits?$/.test(document.getElementById("catalog-hits").textContent)`);
  return page.evaluate("window.__keys");
}

// The result list scrolled from top to bottom in 200 steps, one a frame.
async function scrollResults(page) {
  return page.evaluate(`(async () => {
    const grid = document.getElementById("catalog-grid");
    window.__bench.longTasks = [];
    let last = performance.now();
    let gap = 0;
    for (let step = 1; step <= 200; step++) {
      grid.scrollTop = (grid.scrollHeight - grid.clientHeight) * step / 200;
      await new Promise((resolve) => requestAnimationFrame(resolve));
      const now = performance.now();
      gap = Math.max(gap, now - last);
      last = now;
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
    return {longest: Math.max(0, ...window.__bench.longTasks), gap,
            rows: Number(grid.getAttribute("aria-rowcount")) - 1};
  })()`);
}

async function heapMB(page) {
  await page.send("HeapProfiler.collectGarbage");
  const usage = await page.send("Runtime.getHeapUsage");
  return usage.usedSize / 1048576;
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const chromium = findChromium();
  if (!chromium) throw new Error("no Chromium is installed");
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "kestrova-bench-browser-"));
  const devtools = new DevTools(chromium, profile);
  const figures = {anchor: [], open: [], common: [], miss: [], longest: [], gap: [], heap: []};
  try {
    const page = await devtools.openPage();
    await page.send("Page.addScriptToEvaluateOnNewDocument", {source: kRecorder});
    const [catalog, anchor] = options.files.map((file) => "file://" + file);
    let hits = 0;
    for (let round = 1; round <= options.rounds; round++) {
      const order = round % 2 ? [anchor, catalog] : [catalog, anchor];
      for (const url of order) {
        const time = await openTime(page, url);
        figures[url === anchor ? "anchor" : "open"].push(time);
      }
      if (order[1] !== catalog) await openTime(page, catalog);
      await page.evaluate(kKeyTimer);
      await typeText(page, options.miss.slice(0, 1));
      const common = await typeText(page, options.common);
      const miss = await typeText(page, options.miss);
      figures.common.push(median(common));
      figures.miss.push(median(miss));
      await typeText(page, options.common);
      const scrolled = await scrollResults(page);
      hits = scrolled.rows;
      figures.longest.push(scrolled.longest);
      figures.gap.push(scrolled.gap);
      figures.heap.push(await heapMB(page));
      console.log(`round ${round}: anchor open ${figures.anchor[round - 1].toFixed(0)} ms, ` +
                  `catalog open ${figures.open[round - 1].toFixed(0)} ms, ` +
                  `key "${options.common}" ${figures.common[round - 1].toFixed(1)} ms, ` +
                  `key "${options.miss}" ${figures.miss[round - 1].toFixed(1)} ms, ` +
                  `scroll longest task ${scrolled.longest.toFixed(0)} ms, gap ${scrolled.gap.toFixed(0)} ms, ` +
                  `heap ${figures.heap[round - 1].toFixed(0)} MB`);
    }
    const m = (key) => median(figures[key]);
    console.log(`\n${path.basename(options.files[0])} beside ${path.basename(options.files[1])}, ` +
                `medians of ${options.rounds} rounds (load: ${os.loadavg().map((l) => l.toFixed(2)).join(" ")})`);
    console.log(`  open:   catalog ${m("open").toFixed(0)} ms, anchor ${m("anchor").toFixed(0)} ms, ` +
                `ratio ${(m("open") / m("anchor")).toFixed(2)}`);
    console.log(`  key:    "${options.common}" (${hits} hits) ${m("common").toFixed(1)} ms, ` +
                `"${options.miss}" (no hit) ${m("miss").toFixed(1)} ms`);
    console.log(`  scroll: longest task ${m("longest").toFixed(0)} ms, longest gap between frames ` +
                `${m("gap").toFixed(0)} ms`);
    console.log(`  heap:   ${m("heap").toFixed(0)} MB`);
  } finally {
    await devtools.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
}

main().catch((error) => {
  console.error("catalog_browser.js: " + error.message);
  process.exitCode = 1;
});
