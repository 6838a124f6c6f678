#include "output/page_document.h"

#include <string>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/document_text.h"
#include "output/escapes.h"
#include "output/number_text.h"
#include "output/page_rows.h"
#include "output/tree_page.h"

namespace {

void AppendCrumb(std::string& nav, const TreePage& tree, size_t up, const std::string& name) {
  nav += "<li><a href=\"";
  AppendEscapedHtml(nav, TreeLinkUp(tree, up));
  nav += "\">";
  AppendVisibleHtml(nav, name);
  nav += "</a></li>";
}

// The way from the top of a tree of pages down to this one, each folder
// above a link to its page. Where levels are left out, what stands for them
// links to the nearest of them, so that every level is a few steps away.
std::string ComposeBreadcrumbs(const ListingRun& run) {
  if (run.Tree == nullptr || run.Tree->Path.size() < 2) return std::string();
  const TreePage& tree = *run.Tree;
  const std::vector<std::string>& path = tree.Path;
  const size_t first = FirstLevelAfterTheTop(tree);
  std::string nav = "<nav aria-label=\"Folders\"><ol>";
  AppendCrumb(nav, tree, path.size() - 1, path.front());
  if (first > 1) {
    const size_t up = path.size() - first;
    nav += "<li><a href=\"";
    AppendEscapedHtml(nav, TreeLinkUp(tree, up));
    nav += "\" title=\"" + std::to_string(up) + " levels up\">";
    nav += LevelsLeftOutText();
    nav += "</a></li>";
  }
  for (size_t level = first; level + 1 < path.size(); ++level) {
    AppendCrumb(nav, tree, path.size() - 1 - level, path[level]);
  }
  nav += "<li aria-current=\"page\">";
  AppendVisibleHtml(nav, path.back());
  nav += "</li></ol></nav>\n";
  return nav;
}

// Every colour is a custom property, so that the dark scheme and a user's
// stylesheet change them in one place. Below 40rem the rows stack: the name
// on a line of its own, the other cells under it, the captions a row of
// buttons.
constexpr char kStyle[] = R"css(
:root { color-scheme: light dark; --page: #fcfcfb; --text: #1c2024; --muted: #515a63; --line: #d9dde2;
  --head: #f1f3f5; --hover: #eef3f8; --link: #0a55b0; }
@media (prefers-color-scheme: dark) {
  :root { --page: #121416; --text: #e3e6e9; --muted: #a3acb6; --line: #2d3238; --head: #1b1f23;
    --hover: #1a2028; --link: #80b8ff; }
}
*, ::before, ::after { box-sizing: border-box; }
[hidden] { display: none !important; }
html { -webkit-text-size-adjust: 100%; text-size-adjust: 100%; }
body { margin: 0 auto; max-width: 76rem; padding: 1.5rem 1rem 2.5rem; background: var(--page);
  color: var(--text); font: 15px/1.5 system-ui, -apple-system, "Segoe UI", Roboto, "Noto Sans",
  "Liberation Sans", Arial, sans-serif; }
h1 { font-size: 1.5rem; line-height: 1.25; margin: 0 0 .25rem; overflow-wrap: anywhere; }
nav ol { list-style: none; display: flex; flex-wrap: wrap; gap: .25rem; margin: 0 0 .5rem; padding: 0;
  font-size: .875rem; color: var(--muted); overflow-wrap: anywhere; }
nav li + li::before { content: "/"; content: "/" / ""; margin-right: .25rem; }
header p, footer { color: var(--muted); font-size: .875rem; overflow-wrap: anywhere; }
header p { margin: 0; }
a { color: var(--link); text-decoration: none; }
a:hover { text-decoration: underline; }
a:focus-visible, button:focus-visible, input:focus-visible { outline: 2px solid var(--link); outline-offset: 2px; }
td:first-child a { unicode-bidi: isolate; }
.folders a::after, .parent a::after { content: "/"; }
.filter { margin: 1rem 0 0; display: flex; flex-wrap: wrap; align-items: center; gap: .5rem; }
.filter input[type=search] { font: inherit; color: inherit; background: var(--page); border: 1px solid var(--muted);
  border-radius: 4px; padding: .25rem .5rem; width: 16rem; max-width: 100%; }
.filter output { color: var(--muted); font-size: .875rem; }
.hits { list-style: none; margin: 1rem 0; padding: 0; }
.hits li { padding: .4rem .6rem; border-bottom: 1px solid var(--line); overflow-wrap: anywhere; }
.hits a { unicode-bidi: isolate; }
.hits .folder::after { content: "/"; }
.hits .where { margin-left: .5rem; color: var(--muted); font-size: .8125rem; }
table { width: 100%; border-collapse: collapse; margin: 1rem 0; font-size: .9375rem; }
caption { position: absolute; width: 1px; height: 1px; overflow: hidden; clip-path: inset(50%);
  white-space: nowrap; }
th, td { padding: .4rem .6rem; border-bottom: 1px solid var(--line); text-align: left; vertical-align: top;
  overflow-wrap: anywhere; }
th { background: var(--head); color: var(--muted); font-size: .8125rem; font-weight: 600;
  border-bottom-width: 2px; overflow-wrap: normal; white-space: nowrap; }
th button { font: inherit; color: inherit; background: none; border: 0; margin: 0; padding: 0;
  cursor: pointer; text-align: inherit; }
th[aria-sort=ascending]::after { content: " \25B4"; content: " \25B4" / ""; }
th[aria-sort=descending]::after { content: " \25BE"; content: " \25BE" / ""; }
th[data-sort=size], td[data-bytes] { text-align: right; }
td[data-bytes], time { white-space: nowrap; font-variant-numeric: tabular-nums; }
tbody tr:hover { background: var(--hover); }
td.sum code { display: inline-block; max-width: 13ch; overflow: hidden; text-overflow: ellipsis;
  white-space: nowrap; vertical-align: top; }
@media (max-width: 40rem) {
  body { padding: 1rem .75rem 2rem; font-size: 14px; }
  table, thead, tbody, tr, td { display: block; }
  thead tr { display: flex; flex-wrap: wrap; gap: .25rem 1rem; padding: .35rem .5rem; background: var(--head);
    border-bottom: 2px solid var(--line); }
  th { display: block; padding: 0; border: 0; background: none; }
  tbody tr { display: flex; flex-wrap: wrap; gap: 0 .75rem; padding: .45rem .5rem; border-bottom: 1px solid var(--line); }
  td { padding: 0; border: 0; }
  td:first-child { flex: 1 0 100%; }
  td + td { color: var(--muted); font-size: .8125rem; }
  td:empty { display: none; }
  time { white-space: normal; }
}
)css";

// Sorts each group of rows (folders, files) by the caption chosen, names as
// people count them; narrows the rows to the names that hold the filter's
// text. Works on the page's own markup only, so one text serves every page.
constexpr char kScript[] = R"js(
(function () {
  "use strict";
  var table = document.querySelector("main table");
  if (!table || !table.tHead) return;
  var heads = Array.prototype.slice.call(table.tHead.rows[0].cells);
  var groups = Array.prototype.filter.call(table.tBodies, function (body) {
    return !body.classList.contains("parent");
  }).map(function (body) {
    return {body: body, entries: Array.prototype.map.call(body.rows, function (row, order) {
      return {row: row, order: order, key: null, name: null};
    })};
  });
  var collator;
  try {
    collator = new Intl.Collator(document.documentElement.lang || undefined, {numeric: true, sensitivity: "base"});
  } catch (error) {
    collator = new Intl.Collator(undefined, {numeric: true, sensitivity: "base"});
  }
  function timeValue(text) {
    var match = /^(\d+)-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)Z$/.exec(text || "");
    if (!match) return -Infinity;
    var value = 0;
    for (var i = 1; i < match.length; i += 1) value = value * 100 + Number(match[i]);
    return value;
  }
  function keyOf(row, column, kind) {
    var cell = row.cells[column];
    if (kind === "size") return cell && cell.hasAttribute("data-bytes") ? Number(cell.getAttribute("data-bytes")) : -1;
    if (kind === "time") {
      var time = cell ? cell.querySelector("time") : null;
      return time ? timeValue(time.getAttribute("datetime")) : -Infinity;
    }
    return cell ? cell.textContent : "";
  }
  function sortBy(column, descending) {
    var kind = heads[column].getAttribute("data-sort");
    var numeric = kind === "size" || kind === "time";
    groups.forEach(function (group) {
      group.entries.forEach(function (entry) { entry.key = keyOf(entry.row, column, kind); });
      group.entries.sort(function (a, b) {
        var order = numeric ? (a.key < b.key ? -1 : (a.key > b.key ? 1 : 0)) : collator.compare(a.key, b.key);
        return (descending ? -order : order) || a.order - b.order;
      });
      var rows = document.createDocumentFragment();
      group.entries.forEach(function (entry) { rows.appendChild(entry.row); });
      group.body.appendChild(rows);
    });
  }
  heads.forEach(function (head, column) {
    var button = document.createElement("button");
    button.type = "button";
    while (head.firstChild) button.appendChild(head.firstChild);
    head.appendChild(button);
    button.addEventListener("click", function () {
      var descending = head.getAttribute("aria-sort") === "ascending";
      heads.forEach(function (other) { other.removeAttribute("aria-sort"); });
      head.setAttribute("aria-sort", descending ? "descending" : "ascending");
      sortBy(column, descending);
    });
  });
  var filter = document.querySelector(".filter");
  var input = document.getElementById("filter");
  if (!filter || !input) return;
  var shown = filter.querySelector("output");
  var total = groups.reduce(function (sum, group) { return sum + group.entries.length; }, 0);
  var everywhere = document.getElementById("everywhere");
  var hits = document.getElementById("hits");
  var search = everywhere && hits ? searchEverywhere(everywhere, hits) : null;
  filter.hidden = false;
  function say(text) {
    if (shown) shown.textContent = text;
  }
  function narrow(query) {
    var count = 0;
    groups.forEach(function (group) {
      group.entries.forEach(function (entry) {
        if (entry.name === null) entry.name = entry.row.cells[0].textContent.toLocaleLowerCase();
        var match = entry.name.indexOf(query) >= 0;
        entry.row.hidden = !match;
        if (match) count += 1;
      });
    });
    say(query ? count + " / " + total : "");
  }
  function update() {
    var query = input.value.trim();
    var wide = search !== null && everywhere.checked && query !== "";
    table.hidden = wide;
    if (hits) hits.hidden = !wide;
    if (wide) search(query);
    else narrow(query.toLocaleLowerCase());
  }
  input.addEventListener("input", update);
  if (everywhere) everywhere.addEventListener("change", update);
  // Every name of the tree, from the search file at the top of the pages,
  // loaded on first use as a script (which a page opened from disk may
  // load); names and query alike in lower case without accents.
  function searchEverywhere(box, list) {
    var kMostShown = 500;
    var top = box.getAttribute("data-top") || "./";
    var state = "idle";
    var data = null;
    var entries = null;
    function fold(text) {
      return text.toLowerCase().normalize("NFD").replace(/\p{M}/gu, "");
    }
    function load() {
      state = "loading";
      var script = document.createElement("script");
      script.addEventListener("load", function () {
        data = window.kestrovaSearch;
        state = data && Array.isArray(data.folders) ? "ready" : "failed";
        update();
      });
      script.addEventListener("error", function () {
        state = "failed";
        update();
      });
      script.src = top + box.getAttribute("data-file");
      document.head.appendChild(script);
    }
    function prepare() {
      entries = [];
      data.folders.forEach(function (folder) {
        folder[2].forEach(function (entry) {
          entries.push({name: entry[0], key: fold(entry[0]), link: entry[1], folder: entry[2] === 1, where: folder});
        });
      });
    }
    function hitItem(entry, files) {
      var item = document.createElement("li");
      var name = document.createElement(entry.link === null ? "span" : "a");
      name.textContent = entry.name;
      if (entry.folder) name.className = "folder";
      if (entry.link !== null) name.href = (entry.folder ? top : files) + entry.where[1] + entry.link;
      var where = document.createElement("a");
      where.className = "where";
      where.href = top + entry.where[1] + data.index;
      where.textContent = entry.where[0];
      item.appendChild(name);
      item.appendChild(document.createTextNode(" "));
      item.appendChild(where);
      return item;
    }
    function show(query) {
      if (state === "idle") load();
      if (state === "loading") return say("Loading the names of the tree\u2026");
      if (state === "failed") return say("The search file " + box.getAttribute("data-file") + " could not be loaded");
      if (entries === null) prepare();
      var key = fold(query);
      var found = entries.filter(function (entry) { return entry.key.indexOf(key) >= 0; });
      var files = /^[a-z][a-z0-9+.-]*:/i.test(data.files) ? data.files : top + data.files;
      var items = document.createDocumentFragment();
      found.slice(0, kMostShown).forEach(function (entry) { items.appendChild(hitItem(entry, files)); });
      list.textContent = "";
      list.appendChild(items);
      var count = found.length === 1 ? "1 hit" : found.length + " hits";
      say(found.length > kMostShown ? count + ", the first " + kMostShown + " shown" : count);
    }
    return show;
  }
}());
)js";

constexpr char kFilterStart[] =
    "<p class=\"filter\" hidden><label for=\"filter\">Filter</label> "
    "<input type=\"search\" id=\"filter\" autocomplete=\"off\" spellcheck=\"false\"> ";
constexpr char kFilterEnd[] = "<output for=\"filter\" aria-live=\"polite\"></output></p>\n";

// The filter box; in a tree of pages with a search file, with the control
// that searches every name of the tree, the way up to the file, and the
// list of its hits.
std::string ComposeFilter(const ListingRun& run) {
  if (run.Tree == nullptr || run.Tree->SearchFile.empty()) return std::string(kFilterStart) + kFilterEnd;
  std::string top = run.Tree->Path.size() < 2 ? "./" : "";
  for (size_t level = 1; level < run.Tree->Path.size(); ++level) top += "../";
  std::string filter = kFilterStart;
  filter += "<input type=\"checkbox\" id=\"everywhere\" aria-controls=\"hits\" data-top=\"" + top +
            "\" data-file=\"";
  AppendEscapedHtml(filter, LinkForm(run.Tree->SearchFile));
  filter += "\"> <label for=\"everywhere\">Search everywhere</label> ";
  filter += kFilterEnd;
  filter += "<ol class=\"hits\" id=\"hits\" aria-label=\"Hits in the whole tree\" hidden></ol>\n";
  return filter;
}

// Before anything that holds a name, so that a browser never guesses the
// character set from the bytes.
std::string CharsetDeclaration() {
  const std::string charset = PageCharset();
  return charset.empty() ? std::string() : "<meta charset=\"" + charset + "\">\n";
}

constexpr std::string_view kViewportLine =
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">";
constexpr std::string_view kGeneratorLine = "<meta name=\"generator\" content=\"Kestrova\">";

// The user's own HTML on lines of its own.
std::string OnItsLines(const std::string& html) {
  return html.empty() || html.back() == '\n' ? html : html + "\n";
}

bool IsBlankText(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// The title as text; a page without one (a title would be empty, and so
// would the heading) is titled by its folder.
std::string TitleHtml(const ListingRun& run) {
  std::string title;
  AppendVisibleHtml(title, IsBlankText(run.TitleText) ? run.FolderShown : run.TitleText);
  return title;
}

std::string Grouped(uint64_t number) { return GroupThousands(std::to_string(number), ','); }

// "*.*" and "*" keep every name: a line that named them would say nothing.
bool NarrowsNames(const std::string& mask) { return !mask.empty() && mask != "*.*" && mask != "*"; }

void AppendMask(std::string& masks, const std::string& word, const std::string& mask) {
  if (!NarrowsNames(mask)) return;
  if (!masks.empty()) masks += "; ";
  AppendEscapedHtml(masks, word);
  masks += " [";
  AppendVisibleHtml(masks, mask);
  masks += "]";
}

// The masks that leave names out, in the user's words; nothing where every
// name is listed.
std::string ComposeMasks(const CommonStruct& record) {
  std::string masks;
  AppendMask(masks, record.Folders, record.DirMask);
  AppendMask(masks, record.Files, record.FileMask);
  return masks.empty() ? masks : "<p>" + masks + "</p>\n";
}

// "2 Folders; 14 Files; 3.2 MB Total size", the exact bytes in the size's title.
std::string ComposeFooter(const CommonStruct& record, const ListingTotals& totals) {
  const uint64_t bytes = static_cast<uint64_t>(totals.TotalBytes);
  std::string footer = "<footer>\n<p>" + Grouped(totals.FolderCount) + " ";
  AppendEscapedHtml(footer, record.Folders);
  footer += "; " + Grouped(totals.FileCount) + " ";
  AppendEscapedHtml(footer, record.Files);
  footer += "; <span title=\"" + Grouped(bytes) + " ";
  AppendEscapedHtml(footer, record.FileSize);
  footer += "\">" + HumanSize(bytes) + "</span> ";
  AppendEscapedHtml(footer, record.TotalSize);
  footer += "</p>\n</footer>\n";
  return footer;
}

// The parent entry stays first in either order, in a row group of its own
// that sorting leaves alone.
void AppendParentGroup(ListingRun& run) {
  const FileInfoX* parent = ParentEntryOf(run.Listing.FolderList);
  if (parent == nullptr) return;
  std::string group = "<tbody class=\"parent\">\n";
  AppendParentRow(run, *parent, group);
  group += "</tbody>\n";
  AppendText(run.Document, group);
}

void AppendRowGroup(ListingRun& run, EntryList list, const char* name, uint64_t count) {
  if (count == 0) return;
  AppendText(run.Document, std::string("<tbody class=\"") + name + "\">\n");
  AppendListRows(run.Document, list);
  AppendText(run.Document, "</tbody>\n");
}

}  // namespace

bool IsOwnStandardsPage(std::string_view start) {
  constexpr std::string_view kLanguage = "<html lang=\"";
  constexpr std::string_view kCharset = "<meta charset=\"";
  if (!TakeLine(start, "<!DOCTYPE html>") || start.substr(0, kLanguage.size()) != kLanguage) return false;
  // The language is the user's, escaped: it holds no quote of its own.
  const size_t quote = start.find('"', kLanguage.size());
  if (quote == std::string_view::npos) return false;
  start.remove_prefix(quote + 1);
  if (!TakeLine(start, ">") || !TakeLine(start, "<head>")) return false;
  if (start.substr(0, kCharset.size()) == kCharset) {
    const size_t end = start.find('\n');
    if (end == std::string_view::npos) return false;
    start.remove_prefix(end + 1);
  }
  return TakeLine(start, kViewportLine) && TakeLine(start, kGeneratorLine);
}

void ComposePageDocument(ListingRun& run) {
  const CommonStruct& record = *run.Settings;
  run.CaptionRow = ComposePageCaptionRow(record, run.Checksums);
  run.FileWord = EscapeHtml(record.File);
  run.Document = DocumentText();
  const std::string title = TitleHtml(run);
  std::string head = "<!DOCTYPE html>\n<html lang=\"";
  AppendEscapedHtml(head, record.PageLang.empty() ? "en" : record.PageLang);
  head += "\">\n<head>\n" + CharsetDeclaration();
  head += std::string(kViewportLine) + "\n";
  // Tells the pages that a tree walk may replace from a file of someone else's.
  head += std::string(kGeneratorLine) + "\n";
  head += "<title>" + title + "</title>\n";
  head += std::string("<style>") + kStyle + "</style>\n";
  if (!record.PageStyle.empty()) {
    head += "<link rel=\"stylesheet\" href=\"";
    AppendEscapedHtml(head, record.PageStyle);
    head += "\">\n";
  }
  head += "</head>\n<body>\n" + OnItsLines(run.Befor);
  head += "<header>\n" + ComposeBreadcrumbs(run) + "<h1>" + title + "</h1>\n";
  if (record.ShowMasks) head += ComposeMasks(record);
  head += "</header>\n<main>\n";
  head += ComposeFilter(run);
  head += "<table>\n<caption>" + title + "</caption>\n<thead>\n" + run.CaptionRow + "</thead>\n";
  AppendText(run.Document, head);
  AppendParentGroup(run);
  AppendRowGroup(run, EntryList::kFolders, "folders", run.Totals.FolderCount);
  AppendRowGroup(run, EntryList::kFiles, "files", run.Totals.FileCount);
  std::string tail = "</table>\n</main>\n";
  if (record.ShowSummary) tail += ComposeFooter(record, run.Totals);
  tail += OnItsLines(run.After);
  tail += std::string("<script>") + kScript + "</script>\n</body>\n</html>\n";
  AppendText(run.Document, tail);
}
