// A whole tree of a disk held in memory written as one document, for the
// tree layer's tests: the document, what the walk said, and its outcome.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "output/forms.h"
#include "settings/settings_file.h"
#include "tests/memory_disk.h"
#include "tests/memory_folder_source.h"
#include "tree/document.h"

// The built-in settings listing the folder at top.
inline CommonStruct SettingsFor(const std::string& top) {
  CommonStruct settings;
  ApplySettingsText(settings, NormalizeSettingsBytes(DefaultSettingsText()));
  settings.DirStr = top;
  return settings;
}

struct TreeDocument {
  std::string Document;
  std::vector<std::string> Messages;
  DocumentOutcome Result;
};

// The tree at /top (shown as "top") as one document of the form.
inline TreeDocument DocumentOf(MemoryDisk& disk, FormCode form, const WalkRules& rules,
                               const CommonStruct& settings = SettingsFor("/top")) {
  MemoryFolderSource types;
  struct Collected : ByteSink {
    std::string bytes;
    bool Write(std::string_view text) override {
      bytes.append(text.data(), text.size());
      return true;
    }
  } sink;
  TreeDocument written;
  DocumentOptions options;
  options.TopShown = "top";
  written.Result = WriteTreeDocument(
      settings, FormOf(form), rules, options, disk, types, sink,
      [&written](const std::string& message) { written.Messages.push_back(message); },
      [](const WalkCounts&) {});
  written.Document = sink.bytes;
  return written;
}
