#include "tree/compare_document.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "listing/column_values.h"
#include "output/escapes.h"
#include "output/number_text.h"
#include "tree/report_page.h"

namespace {

struct MarkText {
  CompareMark Mark;
  char Sign;
  const char* Word;  // in JSON and the page's anchors
  const char* Heading;
};

constexpr MarkText kMarks[] = {
    {CompareMark::kAdded, '+', "added", "Added"},
    {CompareMark::kRemoved, '-', "removed", "Removed"},
    {CompareMark::kChanged, '~', "changed", "Changed"},
    {CompareMark::kMoved, '>', "moved", "Moved"},
};

const MarkText& TextOf(CompareMark mark) {
  for (const MarkText& text : kMarks) {
    if (text.Mark == mark) return text;
  }
  return kMarks[0];
}

std::string TimeText(uint64_t time) {
  std::string text;
  AppendIsoTime(text, time, IsoTime::kMachine);
  return text;
}

// The names of what changed, for people: "size 10 -> 12, time, sha256".
std::string WhatText(const CompareChange& change, const CompareOutcome& outcome) {
  std::string text;
  const auto add = [&text](const std::string& part) {
    if (!text.empty()) text += ", ";
    text += part;
  };
  if ((change.What & kCompareKind) != 0)
    add(std::string("kind ") + CompactKindWord(change.Old.Kind) + " -> " + CompactKindWord(change.New.Kind));
  if ((change.What & kCompareSize) != 0)
    add("size " + std::to_string(change.Old.Size) + " -> " + std::to_string(change.New.Size));
  if ((change.What & kCompareTime) != 0) add("time");
  if ((change.What & kCompareContent) != 0 && outcome.Algorithm) add(DigestName(*outcome.Algorithm));
  return text;
}

std::string Counted(uint64_t number, const char* what) { return std::to_string(number) + " " + what; }

void AppendJsonValues(std::string& out, const char* key, const CompareValues& values,
                      const CompareOutcome& outcome) {
  out += std::string(", \"") + key + "\": {\"kind\": \"" + CompactKindWord(values.Kind) + "\"";
  if (values.Kind != CompactKind::kFolder) {
    out += ", \"size\": ";
    out += outcome.SizesKnown ? std::to_string(values.Size) : "null";
  }
  out += ", \"modified\": ";
  if (values.Time != 0) {
    AppendJsonString(out, TimeText(values.Time));
  } else {
    out += "null";
  }
  if (outcome.Algorithm && values.Kind == CompactKind::kFile) {
    out += std::string(", \"") + DigestName(*outcome.Algorithm) + "\": ";
    if (values.Digest.empty()) {
      out += "null";
    } else {
      AppendJsonString(out, values.Digest);
    }
  }
  out += '}';
}

const char* const kWhatWords[] = {"size", "time", "content", "kind"};

std::string JsonChange(const CompareChange& change, const CompareOutcome& outcome) {
  std::string out = "{\"change\": \"";
  out += TextOf(change.Mark).Word;
  out += "\", ";
  AppendJsonPathMembers(out, "path", change.Path);
  if (change.Mark == CompareMark::kMoved) {
    out += ", ";
    AppendJsonPathMembers(out, "to", change.NewPath);
  }
  if (change.Mark == CompareMark::kChanged || change.Mark == CompareMark::kMoved) {
    out += ", \"what\": [";
    bool first = true;
    for (size_t bit = 0; bit < 4; ++bit) {
      if ((change.What & (1u << bit)) == 0) continue;
      if (!first) out += ", ";
      first = false;
      out += std::string("\"") + kWhatWords[bit] + "\"";
    }
    out += ']';
  }
  if (change.Mark != CompareMark::kAdded) AppendJsonValues(out, "old", change.Old, outcome);
  if (change.Mark != CompareMark::kRemoved) AppendJsonValues(out, "new", change.New, outcome);
  return out + "}";
}

void AppendSideTotals(std::string& out, const char* key, bool present, uint64_t files, uint64_t bytes,
                      bool sizes_known) {
  out += std::string(", \"") + key + "\": ";
  if (!present) {
    out += "null";
    return;
  }
  out += "{\"files\": " + std::to_string(files) +
         ", \"bytes\": " + (sizes_known ? std::to_string(bytes) : std::string("null")) + "}";
}

std::string JsonFolder(const FolderDelta& delta, const CompareOutcome& outcome) {
  std::string out = "{";
  AppendJsonPathMembers(out, "path", delta.Path);
  AppendSideTotals(out, "old", delta.InOld, delta.OldFiles, delta.OldBytes, outcome.SizesKnown);
  AppendSideTotals(out, "new", delta.InNew, delta.NewFiles, delta.NewBytes, outcome.SizesKnown);
  return out + "}";
}

void AppendSide(std::string& out, const char* key, const std::string& path, const std::string& kind) {
  out += std::string("  \"") + key + "\": {";
  AppendJsonPathMembers(out, "path", path);
  out += ", \"kind\": ";
  AppendJsonString(out, kind);
  out += "},\n";
}

// ---- The page ----

constexpr char kCompareStyle[] = R"css(
nav ul { list-style: none; margin: .75rem 0 0; padding: 0; display: flex; flex-wrap: wrap; gap: .25rem .5rem; }
nav a { display: inline-block; padding: .15rem .6rem; border: 1px solid var(--line); border-radius: 1rem;
  color: inherit; text-decoration: none; }
nav a:hover, nav a:focus-visible { background: var(--head); }
.mark { display: inline-block; width: 1.5rem; font-family: ui-monospace, monospace; font-weight: bold; }
.added .mark { color: #1a7f37; } .removed .mark { color: #c62828; }
.changed .mark { color: #9a6700; } .moved .mark { color: #0969da; }
@media (prefers-color-scheme: dark) {
  .added .mark { color: #57c26b; } .removed .mark { color: #f47067; }
  .changed .mark { color: #d6a035; } .moved .mark { color: #6cb6ff; }
}
.kind { display: none; }
.kind:target { display: block; }
main:has(.kind:target) .tree { display: none; }
)css";

std::string Grouped(uint64_t number) { return GroupThousands(std::to_string(number), ','); }

std::string Visible(const std::string& text) {
  std::string out;
  AppendVisibleHtml(out, text);
  return out;
}

// The folder a change's path lies in, with its closing separator; "" for
// the top.
std::string FolderPart(const std::string& path, char separator) {
  if (path.size() < 2) return std::string();
  const size_t end = path.rfind(separator, path.size() - 2);
  return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

std::string PageItem(const CompareChange& change, const CompareOutcome& outcome, bool whole_path) {
  const MarkText& mark = TextOf(change.Mark);
  std::string path = change.Path;
  if (!whole_path) path = path.substr(FolderPart(path, outcome.Separator).size());
  std::string item = std::string("<li class=\"") + mark.Word + "\"><span class=\"mark\" title=\"" +
                     mark.Word + "\">" + EscapeHtml(std::string(1, mark.Sign)) + "</span>" + Visible(path);
  if (change.Mark == CompareMark::kMoved) item += " &rarr; " + Visible(change.NewPath);
  const std::string what = WhatText(change, outcome);
  if (!what.empty()) item += " <span class=\"sum\">(" + Visible(what) + ")</span>";
  return item + "</li>\n";
}

std::string DeltaText(const FolderDelta* delta, bool sizes_known) {
  if (delta == nullptr) return std::string();
  const auto side = [sizes_known](bool present, uint64_t files, uint64_t bytes) {
    if (!present) return std::string("none");
    std::string text = Grouped(files) + (files == 1 ? " file" : " files");
    if (sizes_known) text += ", " + HumanSize(bytes);
    return text;
  };
  return " <span class=\"sum\">(" + side(delta->InOld, delta->OldFiles, delta->OldBytes) + " &rarr; " +
         side(delta->InNew, delta->NewFiles, delta->NewBytes) + ")</span>";
}

const FolderDelta* DeltaOf(const CompareOutcome& outcome, const std::string& folder) {
  for (const FolderDelta& delta : outcome.Folders) {
    if (delta.Path == folder) return &delta;
  }
  return nullptr;
}

// Every change under a heading for its folder, in the order of the paths.
std::string TreeSection(const CompareOutcome& outcome) {
  std::string section =
      "<section class=\"tree\" id=\"all\" aria-labelledby=\"all-h\">\n<h2 id=\"all-h\">Every change</h2>\n";
  if (outcome.Changes.empty()) return section + "<p>No difference.</p>\n</section>\n";
  // By folder, then by path: a folder's changes under one heading.
  std::vector<std::pair<std::string, const CompareChange*>> placed;
  for (const CompareChange& change : outcome.Changes)
    placed.emplace_back(FolderPart(change.Path, outcome.Separator), &change);
  std::stable_sort(placed.begin(), placed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string folder;
  bool open = false;
  for (const auto& [at, change_at] : placed) {
    const CompareChange& change = *change_at;
    if (!open || at != folder) {
      if (open) section += "</ol>\n";
      folder = at;
      open = true;
      section += "<h3>" + (folder.empty() ? std::string("(top)") : Visible(folder)) +
                 DeltaText(DeltaOf(outcome, folder), outcome.SizesKnown) + "</h3>\n<ol>\n";
    }
    section += PageItem(change, outcome, false);
  }
  return section + "</ol>\n</section>\n";
}

std::string KindSection(const CompareOutcome& outcome, const MarkText& mark) {
  std::string items;
  for (const CompareChange& change : outcome.Changes) {
    if (change.Mark == mark.Mark) items += PageItem(change, outcome, true);
  }
  std::string section = std::string("<section class=\"kind\" id=\"") + mark.Word + "\" aria-labelledby=\"" +
                        mark.Word + "-h\">\n<h2 id=\"" + mark.Word + "-h\">" + mark.Heading + "</h2>\n";
  if (items.empty()) return section + "<p>None.</p>\n</section>\n";
  return section + "<ol>\n" + items + "</ol>\n</section>\n";
}

std::string FoldersSection(const CompareOutcome& outcome) {
  std::string section =
      "<section class=\"kind\" id=\"folders\" aria-labelledby=\"folders-h\">\n<h2 id=\"folders-h\">Folders "
      "whose totals changed</h2>\n";
  if (outcome.Folders.empty()) return section + "<p>None.</p>\n</section>\n";
  section += "<ol>\n";
  for (const FolderDelta& delta : outcome.Folders) {
    section += "<li>" + (delta.Path.empty() ? std::string("(top)") : Visible(delta.Path)) +
               DeltaText(&delta, outcome.SizesKnown) + "</li>\n";
  }
  return section + "</ol>\n</section>\n";
}

uint64_t CountOf(const CompareTotals& totals, CompareMark mark) {
  switch (mark) {
    case CompareMark::kAdded:
      return totals.Added;
    case CompareMark::kRemoved:
      return totals.Removed;
    case CompareMark::kChanged:
      return totals.Changed;
    case CompareMark::kMoved:
      return totals.Moved;
  }
  return 0;
}

}  // namespace

std::string CompareSummary(const CompareTotals& totals) {
  std::string text = Counted(totals.Added, "added") + ", " + Counted(totals.Removed, "removed") + ", " +
                     Counted(totals.Changed, "changed");
  if (totals.KindChanged != 0) text += " (" + std::to_string(totals.KindChanged) + " of kind)";
  return text + ", " + Counted(totals.Moved, "moved");
}

std::string CompareText(const CompareOutcome& outcome) {
  const std::string end(PlatformLineEnd());
  std::string text;
  for (const CompareChange& change : outcome.Changes) {
    text += TextOf(change.Mark).Sign;
    text += ' ';
    AppendControlEscaped(text, change.Path);
    if (change.Mark == CompareMark::kMoved) {
      text += " -> ";
      AppendControlEscaped(text, change.NewPath);
    }
    const std::string what = WhatText(change, outcome);
    if (!what.empty()) text += " (" + what + ")";
    text += end;
  }
  return text + CompareSummary(outcome.Totals) + end;
}

std::string CompareJson(const CompareOutcome& outcome, const CompareSides& sides) {
  std::string json = "{\n";
  AppendSide(json, "old", sides.Old, sides.OldKind);
  AppendSide(json, "new", sides.New, sides.NewKind);
  json += "  \"checksum\": ";
  json += outcome.Algorithm ? "\"" + std::string(DigestName(*outcome.Algorithm)) + "\"" : "null";
  json +=
      ",\n  \"time_precision_ns\": " + std::to_string(outcome.TimePrecision * 100) + ",\n  \"changes\": [";
  for (size_t at = 0; at < outcome.Changes.size(); ++at) {
    json += at > 0 ? ",\n    " : "\n    ";
    json += JsonChange(outcome.Changes[at], outcome);
  }
  json += outcome.Changes.empty() ? "],\n  \"folders\": [" : "\n  ],\n  \"folders\": [";
  for (size_t at = 0; at < outcome.Folders.size(); ++at) {
    json += at > 0 ? ",\n    " : "\n    ";
    json += JsonFolder(outcome.Folders[at], outcome);
  }
  json += outcome.Folders.empty() ? "]" : "\n  ]";
  const CompareTotals& totals = outcome.Totals;
  json += ",\n  \"totals\": {\"added\": " + std::to_string(totals.Added) +
          ", \"removed\": " + std::to_string(totals.Removed) +
          ", \"changed\": " + std::to_string(totals.Changed) +
          ", \"kind_changed\": " + std::to_string(totals.KindChanged) +
          ", \"moved\": " + std::to_string(totals.Moved) + "}\n}\n";
  return json;
}

std::string ComparePage(const CompareOutcome& outcome, const CompareSides& sides) {
  const std::string title = "Changes from " + Visible(sides.Old) + " to " + Visible(sides.New);
  std::string page = ReportPageHead(title, kCompareStyle) + "<header>\n<h1>" + title + "</h1>\n<p>" +
                     Visible(CompareSummary(outcome.Totals)) +
                     "</p>\n<nav aria-label=\"Changes by kind\">\n<ul>\n"
                     "<li><a href=\"#all\">Every change (" +
                     Grouped(outcome.Changes.size()) + ")</a></li>\n";
  for (const MarkText& mark : kMarks) {
    page += std::string("<li><a href=\"#") + mark.Word + "\">" + mark.Heading + " (" +
            Grouped(CountOf(outcome.Totals, mark.Mark)) + ")</a></li>\n";
  }
  page += "<li><a href=\"#folders\">Folders (" + Grouped(outcome.Folders.size()) +
          ")</a></li>\n</ul>\n</nav>\n"
          "</header>\n<main>\n" +
          TreeSection(outcome);
  for (const MarkText& mark : kMarks) page += KindSection(outcome, mark);
  return page + FoldersSection(outcome) + "</main>\n</body>\n</html>\n";
}
