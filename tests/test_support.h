// Small helpers shared by the tests: files, scoped temporary folders and
// whole-document comparisons against files under tests/data/.
#pragma once

#include <string>
#include <vector>

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class ScopedTempFolder {
 public:
  ScopedTempFolder();
  ~ScopedTempFolder();
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;
  const std::string& path() const { return path_; }
  // path() joined with a name by the platform's separator.
  std::string Join(const std::string& name) const;

 private:
  std::string path_;
};

#ifdef _WIN32
// Makes link a link to the folder target, an absolute path: a junction (a
// mount point), or where the system makes none (Wine), a symbolic link of
// the system below, which it shows as a reparse point. False when neither
// can be made.
bool MakeFolderLink(const std::string& link, const std::string& target);
#endif

// Each %XX of the text as the byte it stands for.
std::string PercentDecoded(const std::string& text);

// The names of tests/data/hostile_names.txt, decoded: names that try to
// break a listing (markup, links, formulas, line breaks, terminal codes,
// bytes that are not UTF-8).
std::vector<std::string> HostileNames();

// The path of a file under tests/data/.
std::string TestDataPath(const std::string& name);

// Compares a document with the golden file tests/data/<name>. On a mismatch
// the test fails with the first differing line of each, made readable, and
// the actual bytes are written beside the build as <name>.actual.
void ExpectSameAsGolden(const std::string& actual, const std::string& name);
// The same, where one part of the document is the platform's own: the golden
// file holds golden_part, which this platform writes as platform_part.
void ExpectSameAsGolden(const std::string& actual, const std::string& name, const std::string& golden_part,
                        const std::string& platform_part);

// Line ends and control bytes made visible: "\r" as \r, "\n" as \n.
std::string Visible(const std::string& text);

// A text written with CR LF line ends as this platform writes listings.
std::string PlatformLines(const std::string& crlf_text);
