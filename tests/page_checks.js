// What the page tests share: their record of checks, the tools installed by
// tests/page/install.sh, the hostile names, and how a page shows a name.
"use strict";

const crypto = require("crypto");
const fs = require("fs");
const path = require("path");

const kHostileList = path.join(__dirname, "data", "hostile_names.txt");
const kTools = path.join(__dirname, "page", "node_modules");

const failures = [];
function check(condition, what) {
  console.log((condition ? "ok   " : "FAIL ") + what);
  if (!condition) failures.push(what);
}

function requireTool(name) {
  try {
    return require(path.join(kTools, name));
  } catch (error) {
    throw new Error(`${name} is not installed: run tests/page/install.sh (${error.message})`);
  }
}

// The names of the hostile list as bytes: one a line, "%" escapes decoded.
function hostileNames() {
  return fs.readFileSync(kHostileList, "latin1").split("\n")
      .filter((line) => line !== "" && !line.startsWith("#"))
      .map((line) => Buffer.from(line.replace(/%([0-9A-Fa-f]{2})/g,
                                              (_, hex) => String.fromCharCode(parseInt(hex, 16))), "latin1"));
}

// What a page shows of a name: its bytes read as UTF-8 the browser's way,
// each control character as its picture.
function shownName(bytes) {
  return new TextDecoder("utf-8").decode(bytes).replace(/[\u0000-\u001f\u007f]/g, (c) =>
    String.fromCharCode(c === "\u007f" ? 0x2421 : 0x2400 + c.charCodeAt(0)));
}

function sha256(text) {
  return "'sha256-" + crypto.createHash("sha256").update(text, "utf8").digest("base64") + "'";
}

module.exports = {failures, check, requireTool, hostileNames, shownName, sha256};
