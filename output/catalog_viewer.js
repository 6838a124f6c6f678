// The catalog page's viewer: reads the listing carried in #catalog-data,
// shows one folder at a time in a table that holds only the rows in sight,
// and searches every name of the tree as one types.
//
// It runs on the page's own thread: the page's policy allows this one inline
// script by its hash and nothing else, and a worker would need its code from
// a blob: or data: address, which that policy (worker-src falls back to
// script-src) refuses. The long phases give the thread back between slices
// instead.
//
// Every name is hostile: names reach the page as text nodes and attribute
// values only, never as markup.
(function () {
  "use strict";

  const kAttrFolder = 16;
  const kAttrLink = 1024;
  const kSliceMs = 5;
  const kFirstScreenHits = 80;
  const kOverscanRows = 4;
  const kSizeUnits = ["B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"];
  const kKindFolder = 0;
  const kKindLink = 1;
  const kKindFile = 2;
  const kKindWords = ["Folder", "Link", "File"];

  class DamagedCatalog extends Error {}

  // ---- Reading the data ----

  function nextSlice() {
    return new Promise((resolve) => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => resolve();
      channel.port2.postMessage(null);
    });
  }

  function base64Chunks(text) {
    if (typeof Uint8Array.fromBase64 === "function") {
      try {
        return [Uint8Array.fromBase64(text)];
      } catch (error) {
        throw new DamagedCatalog("its text is not base64");
      }
    }
    return text.split("\n").map((line) => line.trim()).filter((line) => line !== "").map(base64Bytes);
  }

  function base64Bytes(line) {
    let binary;
    try {
      binary = atob(line);
    } catch (error) {
      throw new DamagedCatalog("a line of its text is not base64");
    }
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  async function inflate(text) {
    if (typeof DecompressionStream !== "function") {
      throw new Error("this browser cannot inflate the catalog's data (it has no DecompressionStream); " +
                      "a current Chromium, Firefox or Safari can");
    }
    const stream = new DecompressionStream("deflate");
    const writer = stream.writable.getWriter();
    const result = new Response(stream.readable).arrayBuffer();
    result.catch(() => {});
    const ignore = () => {};
    // One write inflates faster than thousands; the base64 reader skips
    // the line ends itself.
    for (const chunk of base64Chunks(text)) writer.write(chunk).catch(ignore);
    writer.close().catch(ignore);
    try {
      return new Uint8Array(await result);
    } catch (error) {
      throw new DamagedCatalog("its compressed data is cut short or corrupt");
    }
  }

  class Reader {
    constructor(bytes, start = 0, end = bytes.length) {
      this.bytes = bytes;
      this.pos = start;
      this.end = end;
    }

    need(count) {
      if (this.end - this.pos < count) throw new DamagedCatalog("its data ends too soon");
    }

    byte() {
      this.need(1);
      return this.bytes[this.pos++];
    }

    varint() {
      let result = 0;
      let scale = 1;
      for (let shift = 0; shift < 64; shift += 7) {
        const b = this.byte();
        result += (b & 127) * scale;
        if (!(b & 128)) return result;
        scale *= 128;
      }
      throw new DamagedCatalog("a number is too long");
    }

    zigzag() {
      const value = this.varint();
      return value % 2 === 0 ? value / 2 : -(value + 1) / 2;
    }

    take(count) {
      this.need(count);
      const part = this.bytes.subarray(this.pos, this.pos + count);
      this.pos += count;
      return part;
    }

    // A column: its byte length, then a reader of exactly those bytes.
    column() {
      const length = this.varint();
      this.need(length);
      const column = new Reader(this.bytes, this.pos, this.pos + length);
      this.pos += length;
      return column;
    }

    string() {
      return this.take(this.varint());
    }

    atEnd() {
      return this.pos === this.end;
    }
  }

  const utf8 = new TextDecoder("utf-8");

  function readHeader(reader) {
    const magic = utf8.decode(reader.take(8));
    if (magic !== "KCATALOG") throw new DamagedCatalog("it does not begin as a catalog does");
    const version = reader.varint();
    if (version !== 1 && version !== 2) {
      throw new Error(`its data is of version ${version}, which this page cannot read`);
    }
    const header = {
      title: utf8.decode(reader.string()),
      topPath: utf8.decode(reader.string()),
      topName: reader.string().slice(),
      written: reader.zigzag(),
      linkMode: reader.varint(),
      linkBase: utf8.decode(reader.string()),
      flags: reader.varint(),
      algorithms: [],
    };
    // The checksums' names; their columns follow each section's own.
    if (version === 2) {
      for (let count = reader.varint(); count > 0; count--) header.algorithms.push(utf8.decode(reader.string()));
    }
    return header;
  }

  function readTypes(reader) {
    const types = new Map();
    for (let count = reader.varint(); count > 0; count--) {
      const extension = utf8.decode(reader.string());
      const description = utf8.decode(reader.string());
      const mime = utf8.decode(reader.string());
      types.set(extension, description || mime);
    }
    return types;
  }

  // The sections' places, found by their lengths alone, so that the arrays
  // are made once at their full size.
  function findSections(reader, columnCount) {
    const sections = [];
    let entryCount = 0;
    let runCount = 0;
    let types = null;
    for (;;) {
      const tag = String.fromCharCode(reader.byte());
      if (tag === "E") {
        const start = reader.pos;
        const runs = reader.varint();
        for (let i = 0; i < runs; i++) reader.varint();
        const count = reader.varint();
        for (let i = 0; i < columnCount; i++) reader.column();
        sections.push({start, count});
        entryCount += count;
        runCount += runs;
      } else if (tag === "T" && !types) {
        types = readTypes(reader);
      } else if (tag === "F" && types) {
        const folders = {start: reader.pos};
        const count = reader.varint();
        for (let i = 0; i < 7; i++) reader.column();
        const end = {entries: reader.byte() === 90 ? reader.varint() : -1, folders: reader.varint()};
        if (end.entries !== entryCount || end.folders !== count || count !== runCount) {
          throw new DamagedCatalog("its counts do not agree; it may be cut short");
        }
        return {sections, types, folders, entryCount, folderCount: count};
      } else {
        throw new DamagedCatalog(`it holds a section it does not know or out of its place (${JSON.stringify(tag)})`);
      }
    }
  }

  class NameBuffer {
    constructor(capacity) {
      this.bytes = new Uint8Array(Math.max(capacity, 1024));
      this.length = 0;
    }

    reserve(count) {
      if (this.length + count <= this.bytes.length) return;
      const grown = new Uint8Array(Math.max(this.bytes.length * 2, this.length + count));
      grown.set(this.bytes.subarray(0, this.length));
      this.bytes = grown;
    }
  }

  function readEntrySection(reader, catalog, state) {
    const runs = [];
    for (let i = reader.varint(); i > 0; i--) runs.push(reader.varint());
    const count = reader.varint();
    if (runs.reduce((sum, run) => sum + run, 0) !== count) {
      throw new DamagedCatalog("a section's runs do not add up to its entries");
    }
    const columns = {
      prefix: reader.column(),
      suffixLength: reader.column(),
      suffix: reader.column(),
      attributes: reader.column(),
      size: reader.column(),
      modified: reader.column(),
      targets: reader.column(),
    };
    readTimes(columns.modified, catalog.modified, state.entry, count);
    for (const run of runs) {
      const folder = state.folder++;
      catalog.folderFirst[folder] = state.entry;
      catalog.folderCount[folder] = run;
      for (let i = 0; i < run; i++) readEntry(columns, catalog, state, i === 0);
    }
    if (!Object.values(columns).every((column) => column.atEnd())) {
      throw new DamagedCatalog("a section's columns do not match its entries");
    }
  }

  // A section's times: the least, then planes of bytes above it, the least
  // significant first.
  function readTimes(column, modified, first, count) {
    if (count === 0) return;
    const least = column.zigzag();
    const planes = column.varint();
    if (planes > 8) throw new DamagedCatalog("a time has more than 8 bytes");
    modified.fill(least, first, first + count);
    for (let plane = 0, weight = 1; plane < planes; plane++, weight *= 256) {
      const bytes = column.take(count);
      for (let i = 0; i < count; i++) modified[first + i] += bytes[i] * weight;
    }
  }

  function readEntry(columns, catalog, state, runStart) {
    const entry = state.entry++;
    const names = state.names;
    const shared = columns.prefix.varint();
    const tail = columns.suffixLength.varint();
    names.reserve(shared + tail + 1);
    const start = names.length;
    catalog.nameByteStart[entry] = start;
    if (shared > 0) {
      const previous = catalog.nameByteStart[entry - 1];
      if (runStart || shared > start - 1 - previous) {
        throw new DamagedCatalog("a name shares more than the name before it has");
      }
      names.bytes.copyWithin(start, previous, previous + shared);
    }
    // A loop, not a view and a copy: a million small views cost more.
    const suffix = columns.suffix;
    suffix.need(tail);
    const bytes = names.bytes;
    let to = start + shared;
    for (let from = suffix.pos, end = suffix.pos + tail; from < end; from++) {
      const b = suffix.bytes[from];
      if (b === 0) throw new DamagedCatalog("a name holds a NUL byte");
      bytes[to++] = b;
    }
    suffix.pos += tail;
    names.length = to;
    names.bytes[names.length++] = 0;
    const attribute = columns.attributes.varint();
    catalog.attributes[entry] = attribute;
    catalog.size[entry] = columns.size.varint();
    if (attribute & kAttrLink) catalog.targets.set(entry, utf8.decode(columns.targets.string()));
  }

  function readFolders(reader, catalog) {
    const count = reader.varint();
    const parent = reader.column();
    const entry = reader.column();
    const files = reader.column();
    const folders = reader.column();
    const bytes = reader.column();
    const state = reader.column();
    const reasons = reader.column();
    catalog.childFolder.fill(-1);
    for (let i = 0; i < count; i++) {
      const up = parent.varint();
      const row = entry.varint();
      if (i === 0 ? up !== 0 : up < 1 || up > i) throw new DamagedCatalog("a folder's parent is out of place");
      catalog.folderParent[i] = i - up - (i === 0 ? 1 : 0);
      catalog.folderFiles[i] = files.varint();
      catalog.folderFolders[i] = folders.varint();
      catalog.folderBytes[i] = bytes.varint();
      catalog.folderState[i] = state.varint();
      if (catalog.folderState[i] === 1) catalog.folderReasons.set(i, utf8.decode(reasons.string()));
      if (i > 0) {
        const up = catalog.folderParent[i];
        if (row >= catalog.folderCount[up]) throw new DamagedCatalog("a folder's row is out of place");
        const at = catalog.folderFirst[up] + row;
        catalog.childFolder[at] = i;
        catalog.folderEntry[i] = at;
      }
    }
  }

  async function readCatalog(payload, report) {
    const reader = new Reader(payload);
    const header = readHeader(reader);
    const found = findSections(new Reader(payload, reader.pos), 7 + 2 * header.algorithms.length);
    const n = found.entryCount;
    const f = found.folderCount;
    if (f === 0) throw new DamagedCatalog("it has no folder");
    const catalog = Object.assign(header, {
      types: found.types,
      entryCount: n,
      folderTotal: f,
      attributes: new Uint32Array(n),
      size: new Float64Array(n),
      modified: new Float64Array(n),
      targets: new Map(),
      nameByteStart: new Uint32Array(n + 1),
      childFolder: new Int32Array(n),
      folderFirst: new Uint32Array(f + 1),
      folderCount: new Uint32Array(f),
      folderParent: new Int32Array(f),
      folderEntry: new Int32Array(f).fill(-1),
      folderFiles: new Float64Array(f),
      folderFolders: new Float64Array(f),
      folderBytes: new Float64Array(f),
      folderState: new Uint8Array(f),
      folderReasons: new Map(),
    });
    const state = {folder: 0, entry: 0, names: new NameBuffer(n * 16)};
    let started = performance.now();
    for (const section of found.sections) {
      readEntrySection(new Reader(payload, section.start), catalog, state);
      if (performance.now() - started > kSliceMs * 4) {
        report(`Reading the catalog: ${formatCount(state.entry)} of ${formatCount(n)} entries…`);
        await nextSlice();
        started = performance.now();
      }
    }
    catalog.folderFirst[f] = n;
    catalog.nameByteStart[n] = state.names.length;
    readFolders(new Reader(payload, found.folders.start), catalog);
    catalog.nameBytes = state.names.bytes.subarray(0, state.names.length);
    await nextSlice();
    catalog.text = utf8.decode(catalog.nameBytes);
    catalog.nameStart = separatorOffsets(catalog.text, n);
    return catalog;
  }

  // Where each name starts in the text of all names, each ended by a NUL;
  // the last offset is the text's end.
  function separatorOffsets(text, count) {
    const starts = new Uint32Array(count + 1);
    let at = 0;
    for (let i = 0; i < count; i++) {
      starts[i] = at;
      const end = text.indexOf("\0", at);
      if (end < 0) throw new DamagedCatalog("its names do not match its entries");
      at = end + 1;
    }
    starts[count] = at;
    return starts;
  }

  // ---- Values as text ----

  const countFormat = new Intl.NumberFormat("en");
  const collator = new Intl.Collator("en", {numeric: true, sensitivity: "base"});

  function formatCount(value) {
    return countFormat.format(value);
  }

  function formatSize(bytes) {
    let unit = 0;
    let value = bytes;
    while (value >= 1024 && unit < kSizeUnits.length - 1) {
      value /= 1024;
      unit++;
    }
    if (unit === 0) return `${bytes} B`;
    return `${value < 10 ? value.toFixed(1) : Math.round(value)} ${kSizeUnits[unit]}`;
  }

  function exactBytes(bytes) {
    return `${formatCount(bytes)} byte${bytes === 1 ? "" : "s"}`;
  }

  function isoTime(seconds) {
    const date = new Date(seconds * 1000);
    return Number.isNaN(date.getTime()) ? "" : date.toISOString();
  }

  function formatTime(seconds) {
    const iso = isoTime(seconds);
    return iso === "" ? "" : iso.slice(0, 10) + " " + iso.slice(11, 16);
  }

  // Control characters as their pictures, so that a name cannot break a
  // line or hide behind a tab.
  function shownText(text) {
    return text.replace(/[\u0000-\u001f\u007f]/g, (c) =>
      String.fromCharCode(c === "\u007f" ? 0x2421 : 0x2400 + c.charCodeAt(0)));
  }

  // Case and accents folded: the same for the names and the query.
  function fold(text) {
    return text.toLowerCase().normalize("NFD").replace(/\p{M}+/gu, "").replace(/ς/g, "σ");
  }

  // The bytes of a URL path segment: these stay, every other byte is %XX.
  const kKeptInLinks = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~!$&'()*+,;=:@";
  const linkByte = Array.from({length: 256}, (_, b) => {
    const c = String.fromCharCode(b);
    return kKeptInLinks.includes(c) ? c : "%" + b.toString(16).toUpperCase().padStart(2, "0");
  });

  function percentEncoded(bytes) {
    let text = "";
    for (const b of bytes) text += linkByte[b];
    return text;
  }

  // Bytes of an address's segment: %XX as the byte, other text as UTF-8.
  function decodedSegment(segment) {
    const bytes = [];
    const encoder = new TextEncoder();
    for (let i = 0; i < segment.length; i++) {
      const hex = segment.slice(i + 1, i + 3);
      if (segment[i] === "%" && /^[0-9A-Fa-f]{2}$/.test(hex)) {
        bytes.push(parseInt(hex, 16));
        i += 2;
      } else {
        const code = segment.codePointAt(i);
        const character = String.fromCodePoint(code);
        bytes.push(...encoder.encode(character));
        i += character.length - 1;
      }
    }
    return new Uint8Array(bytes);
  }

  // ---- The model's questions ----

  function makeModel(catalog) {
    const model = {catalog};

    model.nameOf = (entry) =>
      catalog.text.slice(catalog.nameStart[entry], catalog.nameStart[entry + 1] - 1);
    model.bytesOf = (entry) =>
      catalog.nameBytes.subarray(catalog.nameByteStart[entry], catalog.nameByteStart[entry + 1] - 1);

    model.kindOf = (entry) => {
      const attribute = catalog.attributes[entry];
      if (attribute & kAttrLink) return kKindLink;
      return attribute & kAttrFolder ? kKindFolder : kKindFile;
    };

    model.typeOf = (entry) => {
      const kind = model.kindOf(entry);
      if (kind !== kKindFile) return kKindWords[kind];
      const name = model.nameOf(entry);
      const dot = name.lastIndexOf(".");
      const extension = dot > 0 ? name.slice(dot) : "";
      const known = catalog.types.get(extension) || catalog.types.get(extension.toLowerCase());
      if (known) return known;
      return extension ? extension.slice(1).toUpperCase() + " file" : "File";
    };

    // The size a row sorts and filters by: a folder's total below it.
    model.sizeOf = (entry) => {
      const folder = catalog.childFolder[entry];
      if (catalog.attributes[entry] & kAttrFolder) return folder >= 0 ? catalog.folderBytes[folder] : 0;
      return catalog.size[entry];
    };

    // The folder whose run holds the entry.
    model.folderOf = (entry) => {
      let low = 0;
      let high = catalog.folderCount.length;
      while (high - low > 1) {
        const middle = (low + high) >>> 1;
        if (catalog.folderFirst[middle] <= entry) low = middle;
        else high = middle;
      }
      return low;
    };

    model.pathEntries = (folder) => {
      const entries = [];
      for (let at = folder; at > 0; at = catalog.folderParent[at]) entries.push(catalog.folderEntry[at]);
      return entries.reverse();
    };

    model.folderPathText = (folder) =>
      "/" + model.pathEntries(folder).map((entry) => shownText(model.nameOf(entry))).join("/");

    model.folderAddress = (folder) =>
      "#/" + model.pathEntries(folder).map((entry) => percentEncoded(model.bytesOf(entry))).join("/");

    // Where the entry's own file or folder is, or null without links.
    model.linkOf = (entry) => {
      if (catalog.linkMode !== 1 && catalog.linkMode !== 2) return null;
      const parts = model.pathEntries(model.folderOf(entry));
      parts.push(entry);
      let path = parts.map((at) => percentEncoded(model.bytesOf(at))).join("/");
      if (catalog.attributes[entry] & kAttrFolder) path += "/";
      // A first segment with a colon would read as a scheme.
      if (catalog.linkBase === "" && /^[^/]*:/.test(path)) path = "./" + path;
      return catalog.linkBase + path;
    };

    model.childByBytes = (folder, bytes) => {
      const first = catalog.folderFirst[folder];
      for (let entry = first; entry < first + catalog.folderCount[folder]; entry++) {
        if (catalog.childFolder[entry] < 0) continue;
        const name = model.bytesOf(entry);
        if (name.length === bytes.length && name.every((b, i) => b === bytes[i])) return catalog.childFolder[entry];
      }
      return -1;
    };

    return model;
  }

  // The search's index: every name folded, in order, each ended by a NUL.
  async function buildFoldedIndex(model) {
    const catalog = model.catalog;
    const n = catalog.entryCount;
    const parts = [];
    let ascii = true;
    let started = performance.now();
    const kNamesPerChunk = 16384;
    for (let first = 0; first < n; first += kNamesPerChunk) {
      const last = Math.min(n, first + kNamesPerChunk);
      const chunk = catalog.text.slice(catalog.nameStart[first], catalog.nameStart[last]);
      if (/^[\u0000-\u007f]*$/.test(chunk)) {
        parts.push(chunk.toLowerCase());
      } else {
        ascii = false;
        parts.push(fold(chunk));
      }
      if (performance.now() - started > kSliceMs) {
        await nextSlice();
        started = performance.now();
      }
    }
    const folded = parts.join("");
    const starts = ascii ? catalog.nameStart : separatorOffsets(folded, n);
    return {folded, starts};
  }

  // ---- The page ----

  function element(tag, className, text) {
    const made = document.createElement(tag);
    if (className) made.className = className;
    if (text !== undefined) made.textContent = text;
    return made;
  }

  const kColumns = [
    {key: "name", caption: "Name"},
    {key: "size", caption: "Size"},
    {key: "type", caption: "Kind"},
    {key: "modified", caption: "Modified"},
  ];

  class Viewer {
    constructor(model, status) {
      this.model = model;
      this.catalog = model.catalog;
      this.status = status;
      this.folder = 0;
      this.rows = new Uint32Array(0);
      this.rowCount = 0;
      this.sort = {key: "name", descending: false};
      this.active = -1;
      this.shown = new Map();
      this.spare = [];
      this.rowHeight = 0;
      this.searching = false;
      this.search = null;
      this.index = null;
      this.indexReady = null;
      this.focusEntry = -1;
      this.written = null;
      this.filters = {kinds: [true, true, true], minSize: 0, maxSize: Infinity, from: -Infinity, to: Infinity};
      this.build();
    }

    build() {
      const main = document.getElementById("catalog");
      main.textContent = "";
      this.crumbs = element("ol");
      const nav = element("nav", "crumbs");
      nav.setAttribute("aria-label", "Folder path");
      nav.append(this.crumbs);
      this.summary = element("p", "summary");
      main.append(nav, this.summary, this.buildTools(), this.buildGrid());
      this.empty = element("p", "empty");
      this.empty.hidden = true;
      main.append(this.empty);
    }

    buildTools() {
      const tools = element("div", "tools");
      tools.setAttribute("role", "search");
      const label = element("label", "", "Search all names");
      label.htmlFor = "catalog-search";
      this.input = element("input");
      this.input.type = "search";
      this.input.id = "catalog-search";
      this.input.autocomplete = "off";
      this.input.spellcheck = false;
      this.input.setAttribute("aria-describedby", "catalog-hits");
      this.input.setAttribute("aria-keyshortcuts", "/");
      this.hits = element("output", "hits");
      this.hits.id = "catalog-hits";
      this.hits.setAttribute("aria-live", "polite");
      const line = element("div", "search-line");
      line.append(this.input, this.hits);
      tools.append(label, line, this.buildFilters());
      return tools;
    }

    buildFilters() {
      const details = element("details", "filters");
      details.append(element("summary", "", "Filters"));
      const kinds = element("fieldset", "kinds");
      kinds.append(element("legend", "", "Show"));
      this.kindBoxes = ["Folders", "Links", "Files"].map((word, kind) => {
        const label = element("label");
        const box = element("input");
        box.type = "checkbox";
        box.checked = true;
        box.dataset.kind = String(kind);
        label.append(box, " " + word);
        kinds.append(label);
        return box;
      });
      const field = (caption, type, placeholder) => {
        const label = element("label", "field");
        const input = element("input");
        input.type = type;
        if (placeholder) input.placeholder = placeholder;
        label.append(element("span", "", caption), input);
        return {label, input};
      };
      this.minSize = field("Size at least", "text", "e.g. 10 KiB");
      this.maxSize = field("Size at most", "text", "e.g. 2 GiB");
      this.fromDate = field("Modified from", "date");
      this.toDate = field("Modified until", "date");
      this.filterNote = element("p", "filter-note");
      this.filterNote.setAttribute("aria-live", "polite");
      details.append(kinds, this.minSize.label, this.maxSize.label, this.fromDate.label, this.toDate.label,
                     this.filterNote);
      return details;
    }

    buildGrid() {
      this.grid = element("div", "grid");
      this.grid.id = "catalog-grid";
      this.grid.tabIndex = 0;
      this.grid.setAttribute("role", "grid");
      this.grid.setAttribute("aria-colcount", String(kColumns.length));
      const head = element("div", "head");
      head.setAttribute("role", "rowgroup");
      this.headRow = element("div", "row");
      this.headRow.setAttribute("role", "row");
      this.headRow.setAttribute("aria-rowindex", "1");
      this.headers = kColumns.map((column) => {
        const header = element("div", "cell " + column.key);
        header.setAttribute("role", "columnheader");
        const button = element("button", "", column.caption);
        button.type = "button";
        button.dataset.key = column.key;
        header.append(button);
        this.headRow.append(header);
        return header;
      });
      head.append(this.headRow);
      this.body = element("div", "body");
      this.body.setAttribute("role", "rowgroup");
      this.grid.append(head, this.body);
      return this.grid;
    }

    listen() {
      this.grid.addEventListener("scroll", () => {
        this.scrollTop = this.grid.scrollTop;
        this.scheduleRender();
      }, {passive: true});
      new ResizeObserver(() => this.relayout()).observe(this.grid);
      this.headRow.addEventListener("click", (event) => {
        const button = event.target.closest("button");
        if (button) this.sortBy(button.dataset.key);
      });
      this.body.addEventListener("click", (event) => this.onRowClick(event));
      this.grid.addEventListener("keydown", (event) => this.onGridKey(event));
      this.input.addEventListener("input", () => this.onQuery());
      this.input.addEventListener("keydown", (event) => this.onSearchKey(event));
      document.addEventListener("keydown", (event) => this.onPageKey(event));
      window.addEventListener("hashchange", () => this.onHashChange());
      for (const box of this.kindBoxes) box.addEventListener("change", () => this.onFilters());
      for (const field of [this.minSize, this.maxSize, this.fromDate, this.toDate]) {
        field.input.addEventListener("change", () => this.onFilters());
      }
    }

    // ---- Places and the address ----

    addressOf(folder, query) {
      let address = this.model.folderAddress(folder);
      if (query) address += "?q=" + encodeURIComponent(query);
      return address;
    }

    // Resolves an address to a folder and a query; unknown folders stop at
    // the deepest one found.
    parseAddress(hash) {
      const text = hash.replace(/^#/, "");
      const mark = text.indexOf("?");
      const path = mark < 0 ? text : text.slice(0, mark);
      let query = "";
      if (mark >= 0) {
        for (const pair of text.slice(mark + 1).split("&")) {
          if (!pair.startsWith("q=")) continue;
          try {
            query = decodeURIComponent(pair.slice(2).replace(/\+/g, " "));
          } catch (error) {
            query = pair.slice(2);
          }
        }
      }
      let folder = 0;
      let missing = null;
      for (const segment of path.split("/").filter((part) => part !== "")) {
        const child = this.model.childByBytes(folder, decodedSegment(segment));
        if (child < 0) {
          missing = segment;
          break;
        }
        folder = child;
      }
      return {folder, query, missing};
    }

    currentAddress() {
      return this.addressOf(this.folder, this.searching ? this.input.value : "");
    }

    isCurrent(hash) {
      const address = this.currentAddress();
      return hash === address || (address === "#/" && hash === "");
    }

    // A search being typed replaces the address; a move to a folder adds one
    // to the history.
    writeAddress(replace) {
      clearTimeout(this.addressTimer);
      if (this.isCurrent(location.hash)) return;
      this.written = this.currentAddress();
      if (replace) location.replace(this.written);
      else location.hash = this.written;
    }

    // Writing the address costs as much as a search: it waits for a pause
    // in the typing.
    writeAddressSoon() {
      clearTimeout(this.addressTimer);
      this.addressTimer = setTimeout(() => this.writeAddress(true), 300);
    }

    // The browser tells of an address the page wrote itself only after the
    // keys already waiting (it runs input first): by then the state may have
    // moved on, and going back to that address would undo those keys.
    onHashChange() {
      const written = this.written;
      this.written = null;
      if (location.hash === written || this.isCurrent(location.hash)) return;
      this.applyAddress(location.hash);
    }

    applyAddress(hash) {
      const place = this.parseAddress(hash);
      this.input.value = place.query;
      this.stopSearch();
      this.openFolder(place.folder);
      if (place.query !== "") this.runQuery(false);
      if (place.missing !== null) {
        this.status.textContent = "This catalog has no folder “" + shownText(decodeURIComponentSafe(place.missing)) +
                                  "” there; showing the nearest folder it has.";
      }
    }

    // ---- The folder view ----

    openFolder(folder) {
      this.folder = folder;
      this.showCrumbs();
      this.showSummary();
      this.listFolder();
    }

    go(folder, focusEntry) {
      this.focusEntry = focusEntry === undefined ? -1 : focusEntry;
      this.input.value = "";
      this.stopSearch();
      this.openFolder(folder);
      this.writeAddress(false);
      this.grid.focus();
    }

    showCrumbs() {
      this.crumbs.textContent = "";
      const trail = [0, ...this.model.pathEntries(this.folder).map((entry) => this.catalog.childFolder[entry])];
      trail.forEach((folder, i) => {
        const item = element("li");
        const name = folder === 0 ? shownText(utf8.decode(this.catalog.topName)) || "/" :
                                    shownText(this.model.nameOf(this.catalog.folderEntry[folder]));
        if (i === trail.length - 1) {
          const here = element("bdi", "", name);
          item.setAttribute("aria-current", "location");
          item.append(here);
        } else {
          const link = element("a");
          link.href = this.addressOf(folder, "");
          link.append(element("bdi", "", name));
          item.append(link);
        }
        this.crumbs.append(item);
      });
    }

    showSummary() {
      const c = this.catalog;
      const f = this.folder;
      let text = `${formatCount(c.folderFiles[f])} files and ${formatCount(c.folderFolders[f])} folders below, ` +
                 `${formatSize(c.folderBytes[f])} (${exactBytes(c.folderBytes[f])})`;
      if (c.folderState[f] === 1) text = "This folder could not be listed: " + (c.folderReasons.get(f) || "");
      if (c.folderState[f] === 2) text += "; at least: a folder below could not be listed";
      this.summary.textContent = text + ".";
    }

    passes(entry) {
      const filters = this.filters;
      if (!filters.kinds[this.model.kindOf(entry)]) return false;
      const size = this.model.sizeOf(entry);
      if (size < filters.minSize || size > filters.maxSize) return false;
      const time = this.catalog.modified[entry];
      return time >= filters.from && time <= filters.to;
    }

    listFolder() {
      const first = this.catalog.folderFirst[this.folder];
      const count = this.catalog.folderCount[this.folder];
      const rows = [];
      for (let entry = first; entry < first + count; entry++) {
        if (this.passes(entry)) rows.push(entry);
      }
      rows.sort(this.comparer());
      this.setRows(Uint32Array.from(rows), rows.length);
      let active = rows.length ? 0 : -1;
      if (this.focusEntry >= 0) active = Math.max(0, rows.indexOf(this.focusEntry));
      this.focusEntry = -1;
      this.showEmpty(count === 0 ? "This folder is empty." :
                     rows.length === 0 ? "No entry of this folder passes the filters." : "");
      this.setActive(active, true);
      this.showSortState();
    }

    comparer() {
      const model = this.model;
      const catalog = this.catalog;
      const direction = this.sort.descending ? -1 : 1;
      const byName = (a, b) => {
        const x = model.nameOf(a);
        const y = model.nameOf(b);
        return collator.compare(x, y) || (x < y ? -1 : x > y ? 1 : 0);
      };
      const byKey = {
        name: () => 0,
        size: (a, b) => model.sizeOf(a) - model.sizeOf(b),
        type: (a, b) => collator.compare(model.typeOf(a), model.typeOf(b)),
        modified: (a, b) => catalog.modified[a] - catalog.modified[b],
      }[this.sort.key];
      const folderFirst = (a, b) =>
        ((catalog.attributes[b] & kAttrFolder) !== 0) - ((catalog.attributes[a] & kAttrFolder) !== 0);
      return (a, b) => folderFirst(a, b) || direction * (byKey(a, b) || byName(a, b));
    }

    sortBy(key) {
      if (this.searching) return;
      if (this.sort.key === key) this.sort.descending = !this.sort.descending;
      else this.sort = {key, descending: false};
      const keep = this.active >= 0 ? this.rows[this.active] : -1;
      this.focusEntry = keep;
      this.listFolder();
    }

    showSortState() {
      this.headers.forEach((header, i) => {
        const button = header.querySelector("button");
        button.disabled = this.searching;
        if (!this.searching && kColumns[i].key === this.sort.key) {
          header.setAttribute("aria-sort", this.sort.descending ? "descending" : "ascending");
        } else {
          header.removeAttribute("aria-sort");
        }
      });
    }

    showEmpty(text) {
      this.empty.textContent = text;
      this.empty.hidden = text === "";
    }

    // ---- The table that holds only the rows in sight ----

    setRows(rows, count) {
      this.rows = rows;
      this.rowCount = count;
      this.dropRows();
      this.grid.classList.toggle("results", this.searching);
      this.grid.setAttribute("aria-label", this.searching ? "Search results" : "Entries of this folder");
      this.scrollTo(0);
      this.resize();
      this.render();
    }

    dropRows() {
      for (const row of this.shown.values()) {
        row.remove();
        this.spare.push(row);
      }
      this.shown.clear();
    }

    // The body as tall as all its rows. The layout is read only here, and
    // only when the kind of rows or the window changed: a read after a
    // change of the page makes the browser lay it out at once, which at a
    // keystroke or a scroll costs more than the rest.
    resize() {
      this.grid.setAttribute("aria-rowcount", String(this.rowCount + 1));
      if (this.rowHeight === 0 || this.measuredResults !== this.searching) {
        const probe = element("div", "row");
        probe.append(element("div", "cell name", "x"));
        this.body.append(probe);
        this.rowHeight = probe.getBoundingClientRect().height || 32;
        this.measuredResults = this.searching;
        probe.remove();
        this.headHeight = this.headRow.offsetHeight;
        this.viewHeight = this.grid.clientHeight;
        this.scrollTop = this.grid.scrollTop;
      }
      this.body.style.setProperty("height", this.rowCount * this.rowHeight + "px");
    }

    scrollTo(top) {
      this.grid.scrollTop = top;
      this.scrollTop = top;
    }

    // Rows change height with the width (a phone's rows take two lines).
    relayout() {
      this.dropRows();
      this.rowHeight = 0;
      this.resize();
      this.render();
      if (this.active >= 0) this.setActive(this.active, true);
    }

    scheduleRender() {
      if (this.renderPending) return;
      this.renderPending = true;
      requestAnimationFrame(() => {
        this.renderPending = false;
        this.render();
      });
    }

    render() {
      const height = this.rowHeight;
      const top = this.scrollTop - this.headHeight;
      const first = Math.max(0, Math.floor(top / height) - kOverscanRows);
      const last = Math.min(this.rowCount, Math.ceil((top + this.viewHeight) / height) + kOverscanRows);
      this.renderedEnd = last;
      const free = [];
      for (const [index, row] of this.shown) {
        if ((index < first || index >= last) && index !== this.active) {
          free.push(row);
          this.shown.delete(index);
        }
      }
      const wanted = [];
      for (let index = first; index < last; index++) wanted.push(index);
      if (this.active >= 0 && this.active < this.rowCount) wanted.push(this.active);
      for (const index of wanted) {
        if (this.shown.has(index)) continue;
        const row = free.pop() || this.spare.pop() || this.makeRow();
        this.fillRow(row, index);
        row.style.setProperty("transform", `translateY(${index * height}px)`);
        if (!row.isConnected) this.body.append(row);
        this.shown.set(index, row);
      }
      for (const row of free) {
        row.remove();
        this.spare.push(row);
      }
    }

    // A row's elements, made once and filled again as it scrolls, since
    // making elements is most of a scroll's work.
    makeRow() {
      const row = element("div", "row");
      row.setAttribute("role", "row");
      const name = this.cell("name");
      const label = element("a", "entry");
      label.tabIndex = -1;
      label.append(element("bdi"));
      const away = element("a", "away", "↗");
      away.tabIndex = -1;
      away.setAttribute("aria-label", "the folder itself");
      const where = element("span", "where");
      where.append("in ", element("bdi"));
      name.append(label, away, element("span", "target"), where);
      const time = element("time");
      const modified = this.cell("modified");
      modified.append(time);
      row.append(name, this.cell("size"), this.cell("type"), modified);
      row.parts = {name, label, away, target: name.children[2], where, size: row.children[1],
                   type: row.children[2], time};
      return row;
    }

    fillRow(row, index) {
      const entry = this.rows[index];
      const model = this.model;
      const catalog = this.catalog;
      const parts = row.parts;
      row.id = "catalog-row-" + index;
      row.setAttribute("aria-rowindex", String(index + 2));
      row.dataset.index = String(index);
      row.className = "row " + ["folder", "link", "file"][model.kindOf(entry)] +
                      (index === this.active ? " active" : "");
      const shown = shownText(model.nameOf(entry));
      const folder = catalog.childFolder[entry];
      let href = null;
      if (this.searching) href = this.addressOf(model.folderOf(entry), "");
      else if (folder >= 0) href = this.addressOf(folder, "");
      else href = model.linkOf(entry);
      setLink(parts.label, href);
      parts.label.firstChild.textContent = shown;
      const away = !this.searching && folder >= 0 ? model.linkOf(entry) : null;
      setLink(parts.away, away);
      parts.away.hidden = away === null;
      let title = shown;
      const target = catalog.targets.has(entry) ? shownText(catalog.targets.get(entry)) : null;
      parts.target.hidden = target === null;
      parts.target.textContent = target === null ? "" : "→ " + target;
      if (target !== null) title += " → " + target;
      parts.where.hidden = !this.searching;
      parts.where.lastChild.textContent = this.searching ? model.folderPathText(model.folderOf(entry)) : "";
      parts.name.title = title;
      this.fillSize(parts.size, entry);
      parts.type.textContent = model.typeOf(entry);
      const seconds = catalog.modified[entry];
      const iso = isoTime(seconds);
      parts.time.textContent = iso === "" ? "" : formatTime(seconds);
      parts.time.dateTime = iso === "" ? "" : iso.slice(0, 16) + "Z";
    }

    cell(key, text) {
      const made = element("div", "cell " + key, text);
      made.setAttribute("role", "gridcell");
      return made;
    }

    fillSize(cell, entry) {
      const catalog = this.catalog;
      if (!(catalog.attributes[entry] & kAttrFolder)) {
        cell.textContent = formatSize(catalog.size[entry]);
        cell.title = exactBytes(catalog.size[entry]);
        return;
      }
      const folder = catalog.childFolder[entry];
      if (folder < 0) {
        cell.textContent = "";
        cell.title = "not listed in this catalog";
        return;
      }
      const bytes = catalog.folderBytes[folder];
      const state = catalog.folderState[folder];
      cell.textContent = state === 1 ? "?" : (state === 2 ? "≥ " : "") + formatSize(bytes);
      cell.title = state === 1 ? "could not be listed: " + (catalog.folderReasons.get(folder) || "") :
                   `${state === 2 ? "at least " : ""}${exactBytes(bytes)} in ${formatCount(catalog.folderFiles[folder])}` +
                   ` files and ${formatCount(catalog.folderFolders[folder])} folders`;
    }

    setActive(index, scroll) {
      const previous = this.shown.get(this.active);
      if (previous) previous.classList.remove("active");
      this.active = index;
      if (index < 0 || index >= this.rowCount) {
        this.active = -1;
        this.grid.removeAttribute("aria-activedescendant");
        return;
      }
      if (scroll) this.scrollToRow(index);
      this.render();
      const row = this.shown.get(index);
      row.classList.add("active");
      this.grid.setAttribute("aria-activedescendant", row.id);
    }

    scrollToRow(index) {
      const top = index * this.rowHeight;
      const view = this.viewHeight - this.headHeight;
      if (top < this.scrollTop) this.scrollTo(top);
      else if (top + this.rowHeight > this.scrollTop + view) this.scrollTo(top + this.rowHeight - view);
    }

    // ---- Acting on rows ----

    openRow(index) {
      if (index < 0 || index >= this.rowCount) return;
      const entry = this.rows[index];
      if (this.searching) {
        this.go(this.model.folderOf(entry), entry);
        return;
      }
      const folder = this.catalog.childFolder[entry];
      if (folder >= 0) {
        this.go(folder);
        return;
      }
      const link = this.model.linkOf(entry);
      if (link) location.assign(link);
    }

    onRowClick(event) {
      const row = event.target.closest(".row");
      if (!row) return;
      const index = Number(row.dataset.index);
      const link = event.target.closest("a");
      if (link && !link.classList.contains("entry")) return;
      if (link && !this.searching && this.catalog.childFolder[this.rows[index]] < 0) return;
      if (event.ctrlKey || event.metaKey || event.shiftKey || event.button !== 0) return;
      event.preventDefault();
      this.setActive(index, false);
      if (link || this.searching || this.catalog.childFolder[this.rows[index]] >= 0) this.openRow(index);
      else this.grid.focus();
    }

    onGridKey(event) {
      if (event.target !== this.grid || event.altKey || event.ctrlKey || event.metaKey) return;
      const page = Math.max(1, Math.floor((this.viewHeight - this.headHeight) / this.rowHeight) - 1);
      const moves = {
        ArrowDown: this.active + 1,
        ArrowUp: this.active - 1,
        PageDown: this.active + page,
        PageUp: this.active - page,
        Home: 0,
        End: this.rowCount - 1,
      };
      if (event.key in moves) {
        event.preventDefault();
        if (this.rowCount === 0) return;
        if (event.key === "ArrowUp" && this.active <= 0 && this.searching) {
          this.input.focus();
          return;
        }
        this.setActive(Math.min(this.rowCount - 1, Math.max(0, moves[event.key])), true);
      } else if (event.key === "Enter") {
        event.preventDefault();
        this.openRow(this.active);
      }
    }

    onSearchKey(event) {
      if (event.key === "Escape") {
        event.preventDefault();
        this.input.value = "";
        this.onQuery();
      } else if ((event.key === "ArrowDown" || event.key === "Enter") && this.searching && this.rowCount > 0) {
        event.preventDefault();
        if (event.key === "Enter") this.openRow(this.active >= 0 ? this.active : 0);
        else {
          this.grid.focus();
          this.setActive(Math.max(0, this.active), true);
        }
      }
    }

    onPageKey(event) {
      if (event.altKey || event.ctrlKey || event.metaKey) return;
      const target = event.target;
      const typing = target instanceof HTMLInputElement || target instanceof HTMLTextAreaElement ||
                     target instanceof HTMLSelectElement || (target && target.isContentEditable);
      if (event.key === "/" && !typing) {
        event.preventDefault();
        this.input.focus();
        this.input.select();
      } else if (event.key === "Backspace" && !typing && !this.searching && this.folder > 0) {
        event.preventDefault();
        const entry = this.catalog.folderEntry[this.folder];
        this.go(this.catalog.folderParent[this.folder], entry);
      } else if (event.key === "Escape" && !typing && this.searching) {
        this.input.value = "";
        this.onQuery();
      }
    }

    // ---- Filters ----

    onFilters() {
      const problems = [];
      const sizeOf = (field, fallback) => {
        const text = field.input.value.trim();
        if (text === "") return fallback;
        const size = parseSize(text);
        if (size === null) problems.push(`“${text}” is not a size (try 10 KiB or 2.5 GB)`);
        return size === null ? fallback : size;
      };
      const dayOf = (field, fallback, end) => {
        const time = field.input.valueAsNumber;
        return Number.isNaN(time) ? fallback : time / 1000 + (end ? 86399 : 0);
      };
      this.filters = {
        kinds: this.kindBoxes.map((box) => box.checked),
        minSize: sizeOf(this.minSize, 0),
        maxSize: sizeOf(this.maxSize, Infinity),
        from: dayOf(this.fromDate, -Infinity, false),
        to: dayOf(this.toDate, Infinity, true),
      };
      this.filterNote.textContent = problems.join("; ");
      if (this.searching) this.runQuery(false);
      else this.listFolder();
    }

    // ---- Search ----

    onQuery() {
      this.runQuery(true);
    }

    stopSearch() {
      if (this.search) this.search.cancelled = true;
      this.search = null;
      if (this.searching) {
        this.searching = false;
        this.hits.textContent = "";
      }
    }

    runQuery(writeAddress) {
      const query = this.input.value;
      const folded = fold(query).replace(/\0/g, "");
      if (folded === "") {
        const was = this.searching;
        this.stopSearch();
        if (was) this.listFolder();
        if (writeAddress) this.writeAddressSoon();
        return;
      }
      if (this.search) this.search.cancelled = true;
      const search = {query: folded, hits: new Uint32Array(1024), count: 0, from: 0, done: false, cancelled: false,
                      grownAt: performance.now()};
      this.search = search;
      this.searching = true;
      this.showSortState();
      if (writeAddress) this.writeAddressSoon();
      if (!this.index) {
        this.hits.textContent = "Preparing the search…";
        this.indexReady.then(() => {
          if (!search.cancelled) this.scan(search, true);
        });
        return;
      }
      this.scan(search, true);
    }

    // Finds hits until the first screen is full or the time's slice is up,
    // shows them, and goes on in slices until every name is seen.
    scan(search, first) {
      if (search.cancelled) return;
      const {folded, starts} = this.index;
      const deadline = performance.now() + kSliceMs;
      const target = first ? kFirstScreenHits : Infinity;
      let steps = 0;
      while (search.count < target) {
        const at = folded.indexOf(search.query, search.from);
        if (at < 0) {
          search.done = true;
          break;
        }
        const entry = upperBound(starts, at) - 1;
        search.from = starts[entry + 1];
        if (this.passes(entry)) addHit(search, entry);
        if ((++steps & 31) === 0 && performance.now() > deadline) break;
      }
      if (first) {
        this.setRows(search.hits, search.count);
        this.setActive(search.count ? 0 : -1, false);
      } else if (this.rowCount !== search.count && (search.done || performance.now() - search.grownAt > 100)) {
        this.rows = search.hits;
        this.rowCount = search.count;
        this.resize();
        if (this.renderedEnd < this.rowCount) this.scheduleRender();
        search.grownAt = performance.now();
      }
      this.showHitCount(search);
      if (!search.done) nextSlice().then(() => this.scan(search, false));
    }

    showHitCount(search) {
      const count = formatCount(search.count);
      const word = search.count === 1 ? "hit" : "hits";
      if (search.done) {
        this.hits.textContent = `${count} ${word}`;
        this.showEmpty(search.count === 0 ? "No name holds “" + shownText(this.input.value) + "”" +
                       (this.filtersActive() ? " among the entries the filters let through." : ".") : "");
      } else {
        const now = performance.now();
        if (!search.shownAt || now - search.shownAt > 250) {
          this.hits.textContent = `${count}+ ${word}, counting…`;
          search.shownAt = now;
        }
        this.showEmpty("");
      }
    }

    filtersActive() {
      const f = this.filters;
      return f.kinds.includes(false) || f.minSize > 0 || f.maxSize < Infinity || f.from > -Infinity ||
             f.to < Infinity;
    }

    start(hash) {
      this.listen();
      const painted = new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
      this.indexReady = painted.then(() => buildFoldedIndex(this.model)).then((index) => {
        this.index = index;
      });
      this.applyAddress(hash);
    }
  }

  // An <a> without an address is a placeholder, not a link.
  function setLink(anchor, href) {
    if (href === null) anchor.removeAttribute("href");
    else anchor.href = href;
  }

  function addHit(search, entry) {
    if (search.count === search.hits.length) {
      const grown = new Uint32Array(search.hits.length * 2);
      grown.set(search.hits);
      search.hits = grown;
    }
    search.hits[search.count++] = entry;
  }

  function upperBound(sorted, value) {
    let low = 0;
    let high = sorted.length;
    while (low < high) {
      const middle = (low + high) >>> 1;
      if (sorted[middle] <= value) low = middle + 1;
      else high = middle;
    }
    return low;
  }

  const kSizeFactors = {"": 1, b: 1, k: 1024, kb: 1000, kib: 1024, m: 1048576, mb: 1e6, mib: 1048576,
                        g: 1073741824, gb: 1e9, gib: 1073741824, t: 1099511627776, tb: 1e12, tib: 1099511627776};

  function parseSize(text) {
    const match = /^(\d+(?:[.,]\d+)?)\s*([a-z]*)$/i.exec(text);
    if (!match) return null;
    const factor = kSizeFactors[match[2].toLowerCase()];
    return factor === undefined ? null : Number(match[1].replace(",", ".")) * factor;
  }

  function decodeURIComponentSafe(text) {
    try {
      return decodeURIComponent(text);
    } catch (error) {
      return text;
    }
  }

  async function open() {
    const status = document.getElementById("catalog-status");
    const data = document.getElementById("catalog-data");
    const report = (text) => (status.textContent = text);
    try {
      if (!data) throw new DamagedCatalog("the page holds no catalog data");
      const version = data.getAttribute("data-version");
      if (version !== "1" && version !== "2") {
        throw new Error(`its data is of version ${version}, which this page cannot read`);
      }
      report("Opening the catalog: inflating its data…");
      await nextSlice();
      const payload = await inflate(data.textContent);
      const catalog = await readCatalog(payload, report);
      report(`${formatCount(catalog.entryCount)} entries in ${formatCount(catalog.folderTotal)} folders, ` +
             `written ${formatTime(catalog.written)} UTC.`);
      new Viewer(makeModel(catalog), status).start(location.hash);
    } catch (error) {
      const reason = error instanceof DamagedCatalog ? "This catalog's data is damaged: " + error.message :
                     "This catalog cannot be shown: " + error.message;
      report(reason + ".");
      const main = document.getElementById("catalog");
      if (main) main.textContent = "";
    }
  }

  open();
})();
