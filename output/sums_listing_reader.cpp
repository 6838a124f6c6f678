// Sums files as sha256sum, sha1sum, md5sum and xxhsum -H2 write them (and
// Kestrova's sums form): "DIGEST  NAME" ("*NAME" for binary mode), or the
// tagged "SHA256 (NAME) = DIGEST"; a line that starts with "\" holds its
// name with "\\", "\n" and "\r" escaped.
#include <algorithm>
#include <vector>

#include "output/listing_readers.h"

namespace {

struct SumsTag {
  const char* Word;
  DigestAlgorithm Algorithm;
};
constexpr SumsTag kSumsTags[] = {{"SHA256", DigestAlgorithm::kSha256},
                                 {"SHA1", DigestAlgorithm::kSha1},
                                 {"MD5", DigestAlgorithm::kMd5},
                                 {"XXH128", DigestAlgorithm::kXxh128}};

// One line's parts, before they are checked.
struct SumsLine {
  size_t Start = 0;  // of the line in the content
  bool Escaped = false;
  std::string_view Digest;
  size_t DigestAt = 0;  // in the line
  std::string_view Name;
  size_t NameAt = 0;
  const DigestAlgorithm* Tagged = nullptr;
};

class SumsReader {
 public:
  SumsReader(std::string_view content, const ListingReadOptions& options, ListingModel& model,
             ListingShape& shape)
      : content_(content), options_(options), shape_(shape), builder_(model) {}

  bool Read() {
    size_t start = 0;
    while (start < content_.size()) {
      size_t end = content_.find('\n', start);
      if (end == std::string_view::npos) end = content_.size();
      std::string_view text = content_.substr(start, end - start);
      if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      if (!text.empty() && !ReadLine(start, text)) return false;
      start = end + 1;
    }
    builder_.Finish();
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(size_t offset, const std::string& what) {
    error_ = PositionText(content_, offset) + what;
    return false;
  }

  // "ALGO (NAME) = DIGEST"
  static bool SplitTagged(std::string_view text, SumsLine& line) {
    for (const SumsTag& tag : kSumsTags) {
      const std::string opening = std::string(tag.Word) + " (";
      if (text.substr(0, opening.size()) != opening) continue;
      const size_t closing = text.rfind(") = ");
      if (closing == std::string_view::npos || closing < opening.size()) return false;
      line.Tagged = &tag.Algorithm;
      line.NameAt = opening.size();
      line.Name = text.substr(line.NameAt, closing - line.NameAt);
      line.DigestAt = closing + 4;
      line.Digest = text.substr(line.DigestAt);
      return true;
    }
    return false;
  }

  // "DIGEST  NAME" or "DIGEST *NAME"
  static bool SplitPlain(std::string_view text, SumsLine& line) {
    const size_t blank = text.find(' ');
    if (blank == std::string_view::npos || blank + 2 > text.size() ||
        (text[blank + 1] != ' ' && text[blank + 1] != '*'))
      return false;
    line.Digest = text.substr(0, blank);
    line.NameAt = blank + 2;
    line.Name = text.substr(line.NameAt);
    return true;
  }

  const DigestAlgorithm* AlgorithmOf(const SumsLine& line) const {
    if (line.Tagged != nullptr) return line.Tagged;
    for (DigestAlgorithm algorithm : DigestAlgorithms()) {
      if (DigestTextLength(algorithm) != line.Digest.size()) continue;
      const bool thirty_two = algorithm == DigestAlgorithm::kMd5 || algorithm == DigestAlgorithm::kXxh128;
      if (thirty_two && algorithm != options_.ThirtyTwoDigits) continue;
      return &DigestAlgorithms()[static_cast<size_t>(algorithm)];
    }
    return nullptr;
  }

  bool Unescaped(const SumsLine& line, std::string& name) {
    name.clear();
    for (size_t at = 0; at < line.Name.size(); ++at) {
      const char c = line.Name[at];
      if (!line.Escaped || c != '\\') {
        name += c;
        continue;
      }
      const char next = at + 1 < line.Name.size() ? line.Name[at + 1] : '\0';
      if (next != '\\' && next != 'n' && next != 'r')
        return Fail(line.Start + line.NameAt + at, "an unknown escape in the name");
      name += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
      ++at;
    }
    return true;
  }

  bool ReadLine(size_t start, std::string_view text) {
    SumsLine line;
    line.Start = start;
    line.Escaped = text.front() == '\\';
    const size_t skipped = line.Escaped ? 1 : 0;
    text.remove_prefix(skipped);
    if (!SplitTagged(text, line) && !SplitPlain(text, line))
      return Fail(start, "not a line of a sums file (DIGEST  NAME)");
    line.DigestAt += skipped;
    line.NameAt += skipped;
    std::string digest(line.Digest);
    std::transform(digest.begin(), digest.end(), digest.begin(),
                   [](char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c; });
    const DigestAlgorithm* algorithm = AlgorithmOf(line);
    if (digest.empty() || digest.find_first_not_of("0123456789abcdef") != std::string::npos ||
        algorithm == nullptr || digest.size() != DigestTextLength(*algorithm))
      return Fail(start + line.DigestAt, "no digest of sha256, sha1, " +
                                             std::string(DigestName(options_.ThirtyTwoDigits)) +
                                             " in hexadecimal");
    std::string path;
    if (!Unescaped(line, path)) return false;
    return AddFile(start + line.NameAt, path, *algorithm, digest);
  }

  bool AddFile(size_t offset, std::string path, DigestAlgorithm algorithm, const std::string& digest) {
    while (path.substr(0, 2) == "./") path.erase(0, 2);
    std::vector<std::string> names;
    if (path.empty() || path.front() == '/' || !SplitListedPath(path, names))
      return Fail(offset, "the name is no path below the folder");
    FolderRecord record;
    record.cFileName = names.back();
    names.pop_back();
    if (!names.empty()) shape_.Tree = true;
    const size_t folder = builder_.FolderAt(names);
    builder_.AddEntry(folder, record);
    if (!builder_.SetDigest(folder, record.cFileName, algorithm, digest))
      return Fail(offset, "the file is listed twice with different digests");
    return true;
  }

  std::string_view content_;
  const ListingReadOptions& options_;
  ListingShape& shape_;
  ModelBuilder builder_;
  std::string error_;
};

}  // namespace

bool ReadSumsListing(std::string_view content, const ListingReadOptions& options, ListingModel& model,
                     ListingShape& shape, std::string& error) {
  shape.Kind = ListingKind::kSums;
  model.SizesKnown = false;
  model.TimePrecision = kWholeSeconds;  // no times at all
  shape.FilesOnly = true;
  SumsReader reader(content, options, model, shape);
  if (!reader.Read()) {
    error = reader.Error();
    return false;
  }
  return true;
}
