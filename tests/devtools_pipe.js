// Headless Chromium driven over the Chrome DevTools protocol on the pipe pair
// that --remote-debugging-pipe opens: no library, no network. The page tests
// share it.
"use strict";

const childProcess = require("child_process");
const fs = require("fs");

// The path of an installed Chromium (or $CHROMIUM), or null.
function findChromium() {
  const names = process.env.CHROMIUM ? [process.env.CHROMIUM] :
      ["chromium", "chromium-browser", "google-chrome", "google-chrome-stable"];
  for (const name of names) {
    const found = childProcess.spawnSync("sh", ["-c", 'command -v "$1"', "sh", name], {encoding: "utf8"});
    if (found.status === 0 && found.stdout.trim()) return found.stdout.trim();
  }
  return null;
}

// The browser, in a process group of its own: JSON messages on the pipe,
// each ended by a NUL byte.
class DevTools {
  constructor(chromium, profile) {
    this.process = childProcess.spawn(chromium, [
      "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
      "--no-default-browser-check", "--remote-debugging-pipe", "--user-data-dir=" + profile,
      "about:blank",
    ], {stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"], detached: true});
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.buffer = "";
    this.process.stdio[4].on("data", (chunk) => this.receive(chunk.toString("utf8")));
    this.exited = new Promise((resolve) => this.process.on("exit", resolve));
  }

  receive(text) {
    this.buffer += text;
    let end;
    while ((end = this.buffer.indexOf("\0")) >= 0) {
      const message = JSON.parse(this.buffer.slice(0, end));
      this.buffer = this.buffer.slice(end + 1);
      if (message.id !== undefined && this.pending.has(message.id)) {
        const {resolve, reject, method} = this.pending.get(message.id);
        this.pending.delete(message.id);
        if (message.error) reject(new Error(method + ": " + message.error.message));
        else resolve(message.result);
      } else if (message.method) {
        this.listeners = this.listeners.filter((listener) => !listener(message));
      }
    }
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = {id, method, params};
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, {resolve, reject, method});
      this.process.stdio[3].write(JSON.stringify(message) + "\0");
    });
  }

  // Resolves with the first event of that name.
  event(name) {
    return new Promise((resolve) => {
      this.listeners.push((message) => {
        if (message.method !== name) return false;
        resolve(message.params);
        return true;
      });
    });
  }

  // Calls handle with every event of that name from now on.
  on(name, handle) {
    this.listeners.push((message) => {
      if (message.method === name) handle(message.params);
      return false;
    });
  }

  // A new tab with a session attached.
  async openPage() {
    const {targetId} = await this.send("Target.createTarget", {url: "about:blank"});
    const {sessionId} = await this.send("Target.attachToTarget", {targetId, flatten: true});
    const page = new Page(this, sessionId);
    await page.send("Page.enable");
    await page.send("Runtime.enable");
    return page;
  }

  async close() {
    try {
      await Promise.race([this.send("Browser.close"), new Promise((r) => setTimeout(r, 3000))]);
    } catch (error) {
      // The browser may be gone already.
    }
    this.process.kill();
    await this.exited;
    // The browser's helpers (renderers, the crash reporter) may outlive it
    // and still write into the profile: the whole group goes with it.
    try {
      process.kill(-this.process.pid, "SIGKILL");
    } catch (error) {
      // None is left.
    }
  }
}

class Page {
  constructor(devtools, sessionId) {
    this.devtools = devtools;
    this.sessionId = sessionId;
  }

  send(method, params) {
    return this.devtools.send(method, params, this.sessionId);
  }

  // The value of the expression in the page, awaited when it is a promise.
  async evaluate(expression) {
    const result = await this.send("Runtime.evaluate", {expression, returnByValue: true, awaitPromise: true});
    if (result.exceptionDetails) {
      const detail = result.exceptionDetails.exception ? result.exceptionDetails.exception.description : "";
      throw new Error("page script failed: " + expression.slice(0, 200) + "\n" + detail);
    }
    return result.result.value;
  }

  async open(url, width, height = 900) {
    await this.send("Emulation.setDeviceMetricsOverride",
                    {width, height, deviceScaleFactor: 1, mobile: width < 600});
    const loaded = this.devtools.event("Page.loadEventFired");
    await this.send("Page.navigate", {url});
    await loaded;
  }

  // The page down to the end of its content, at most one screen high.
  async screenshot(file, height = 900) {
    const size = await this.evaluate(`({width: document.documentElement.clientWidth,
        height: Math.min(Math.ceil(32 + Math.max(...[...document.body.children]
            .map((e) => e.getBoundingClientRect().bottom))), ${height})})`);
    const clip = {x: 0, y: 0, width: size.width, height: size.height, scale: 1};
    const shot = await this.send("Page.captureScreenshot", {format: "png", clip});
    fs.writeFileSync(file, Buffer.from(shot.data, "base64"));
  }

  // A real mouse click at the middle of the element that the expression
  // gives; false when it gives none.
  async clickOn(elementExpression) {
    const box = await this.evaluate(`(() => {
      const element = ${elementExpression};
      if (!element) return null;
      const r = element.getBoundingClientRect();
      return {x: r.left + r.width / 2, y: r.top + r.height / 2};
    })()`);
    if (!box) return false;
    for (const type of ["mousePressed", "mouseReleased"]) {
      await this.send("Input.dispatchMouseEvent", {type, x: box.x, y: box.y, button: "left", clickCount: 1});
    }
    return true;
  }

  // A key press as a keyboard sends it, to the focused element.
  async press(key) {
    const keys = {
      Enter: {key: "Enter", code: "Enter", windowsVirtualKeyCode: 13, text: "\r"},
      Space: {key: " ", code: "Space", windowsVirtualKeyCode: 32, text: " "},
      Backspace: {key: "Backspace", code: "Backspace", windowsVirtualKeyCode: 8},
    };
    await this.send("Input.dispatchKeyEvent", Object.assign({type: "keyDown"}, keys[key]));
    await this.send("Input.dispatchKeyEvent", Object.assign({type: "keyUp"}, keys[key]));
  }

  // Types the text into the focused element, one key at a time.
  async type(text) {
    for (const character of text) {
      await this.send("Input.dispatchKeyEvent", {type: "keyDown", key: character, text: character});
      await this.send("Input.dispatchKeyEvent", {type: "keyUp", key: character});
    }
  }
}

module.exports = {findChromium, DevTools, Page};
