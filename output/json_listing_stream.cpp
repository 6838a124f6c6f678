// Kestrova's JSON document read as it comes into a compact listing: each
// entry's members pulled in the order the document holds them, the rest
// of the document passed over.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "listing/entry.h"
#include "output/listing_readers.h"
#include "output/listing_syntax.h"

namespace {

using Place = JsonStream::Place;
using JsonType = JsonValue::Type;

constexpr size_t kDeepest = 4096;

struct KindWord {
  const char* Word;
  CompactKind Kind;
};
constexpr KindWord kKindWords[] = {
    {"file", CompactKind::kFile}, {"folder", CompactKind::kFolder}, {"link", CompactKind::kLink}};

// What the members of one entry said, once its object is read.
struct EntryMembers {
  Place Start;
  bool HasName = false, HasBytes = false, HasKind = false;
  std::string Name;
  Place NamePlace;
  std::string Bytes;
  Place BytesPlace;
  CompactRecord Record;
  std::vector<std::string> Digests;
  uint32_t Sub = kNoCompactIndex;  // the folder its "entries" or "error" made
  bool Failed = false;
};

class StreamReader {
 public:
  StreamReader(const JsonStream::Source& source, CompactListing& listing)
      : stream_(source), listing_(listing), builder_(listing) {}

  bool Read() {
    const uint32_t top = builder_.AddTop();
    const Place start = stream_.Here();
    if (stream_.Peek() != '{') {
      if (!stream_.SkipValue()) return false;
      if (!stream_.AtEnd()) return stream_.Fail("text after the end of the document");
      return stream_.FailAt(start, "a listing object was expected");
    }
    stream_.Take('{');
    bool entries = false;
    if (!stream_.Take('}')) {
      do {
        std::string key;
        if (!Key(key)) return false;
        if (key == "entries") {
          if (!ReadEntries(top, 0)) return false;
          entries = true;
        } else if (!stream_.SkipValue()) {
          return false;
        }
      } while (stream_.Take(','));
      if (!stream_.Take('}')) return stream_.Fail("\",\" or \"}\" was expected");
    }
    if (!stream_.AtEnd()) return stream_.Fail("text after the end of the document");
    if (!entries) return stream_.FailAt(start, "the listing has no \"entries\"");
    builder_.Finish();
    return true;
  }

  const std::string& Error() const { return stream_.Error(); }

 private:
  bool Key(std::string& key) {
    if (stream_.Peek() != '"') return stream_.Fail("a member's name in quotes was expected");
    if (!stream_.ReadString(key)) return false;
    return stream_.Take(':') || stream_.Fail("\":\" was expected");
  }

  // A string member's text; absent where it is null.
  bool Text(const char* key, bool& present, std::string& text, Place& place) {
    place = stream_.Here();
    if (stream_.Peek() == '"') {
      present = true;
      return stream_.ReadString(text);
    }
    JsonType type = JsonType::kNull;
    std::string scalar;
    if (stream_.Peek() == '{' || stream_.Peek() == '[' || !stream_.ReadScalar(type, scalar) ||
        type != JsonType::kNull) {
      return stream_.FailAt(place, std::string("\"") + key + "\" is no string");
    }
    present = false;
    return true;
  }

  bool ReadEntries(uint32_t folder, size_t depth) {
    if (depth > kDeepest) return stream_.Fail("nested too deep");
    if (!stream_.Take('[')) return stream_.FailValue("\"entries\" is no array");
    if (stream_.Take(']')) return true;
    do {
      if (!ReadEntry(folder, depth)) return false;
    } while (stream_.Take(','));
    return stream_.Take(']') || stream_.Fail("\",\" or \"]\" was expected");
  }

  uint32_t SubOf(EntryMembers& entry, uint32_t folder) {
    if (entry.Sub == kNoCompactIndex) entry.Sub = builder_.AddFolder(folder, std::string());
    return entry.Sub;
  }

  // Told apart by length first: an entry has ten members or so, a listing
  // millions of entries.
  bool Member(std::string_view key, EntryMembers& entry, uint32_t folder, size_t depth) {
    if (key == std::string_view("name")) return Text("name", entry.HasName, entry.Name, entry.NamePlace);
    if (key == std::string_view("name_bytes"))
      return Text("name_bytes", entry.HasBytes, entry.Bytes, entry.BytesPlace);
    if (key == std::string_view("kind")) return KindOf(entry);
    if (key == std::string_view("size")) return SizeOf(entry);
    if (key == std::string_view("modified")) return TimeOf(entry);
    if (key == std::string_view("checksums")) return ChecksumsOf(entry);
    if (key == std::string_view("entries")) return ReadEntries(SubOf(entry, folder), depth + 1);
    if (key == std::string_view("error")) {
      SubOf(entry, folder);
      entry.Failed = true;
    }
    return stream_.SkipValue();
  }

  bool KindOf(EntryMembers& entry) {
    bool present = false;
    std::string word;
    Place place;
    if (!Text("kind", present, word, place)) return false;
    if (!present) return true;
    for (const KindWord& kind : kKindWords) {
      if (word == kind.Word) {
        entry.Record.Kind = kind.Kind;
        entry.HasKind = true;
        return true;
      }
    }
    return stream_.FailAt(place, "\"kind\" is none of file, folder, link");
  }

  bool SizeOf(EntryMembers& entry) {
    const Place place = stream_.Here();
    JsonType type = JsonType::kNull;
    std::string text;
    if (stream_.Peek() != '{' && stream_.Peek() != '[' && stream_.Peek() != '"' &&
        !stream_.ReadScalar(type, text))
      return false;
    if (type == JsonType::kNull && !text.empty()) return true;
    if (type != JsonType::kNumber || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos)
      return stream_.FailAt(place, "\"size\" is no count of bytes");
    entry.Record.Size = std::stoull(text);
    return true;
  }

  bool TimeOf(EntryMembers& entry) {
    bool present = false;
    std::string text;
    Place place;
    if (!Text("modified", present, text, place)) return false;
    if (present && !ParseIsoTime(text, entry.Record.Time))
      return stream_.FailAt(place, "\"modified\" is no time of the form 2024-03-05T14:07:09Z");
    return true;
  }

  size_t AlgorithmAt(DigestAlgorithm algorithm) {
    for (size_t at = 0; at < listing_.Algorithms.size(); ++at) {
      if (listing_.Algorithms[at] == algorithm) return at;
    }
    listing_.Algorithms.push_back(algorithm);
    return listing_.Algorithms.size() - 1;
  }

  bool ChecksumsOf(EntryMembers& entry) {
    const Place place = stream_.Here();
    if (stream_.Peek() != '{') {
      if (!stream_.SkipValue()) return false;
      return stream_.FailAt(place, "\"checksums\" is no object");
    }
    stream_.Take('{');
    if (stream_.Take('}')) return true;
    do {
      std::string key;
      if (!Key(key)) return false;
      const DigestAlgorithm* algorithm = DigestNamed(key);
      if (algorithm == nullptr) return stream_.Fail("\"" + key + "\" is no checksum algorithm");
      const size_t at = AlgorithmAt(*algorithm);
      bool present = false;
      std::string digest;
      Place value_place;
      if (!Text(key.c_str(), present, digest, value_place)) return false;
      if (!present) continue;  // the file could not be read when listed
      if (digest.size() != DigestTextLength(*algorithm) ||
          digest.find_first_not_of("0123456789abcdef") != std::string::npos)
        return stream_.FailAt(value_place, "no " + key + " digest in lower-case hexadecimal");
      entry.Digests.resize(listing_.Algorithms.size());
      entry.Digests[at] = digest;
    } while (stream_.Take(','));
    return stream_.Take('}') || stream_.Fail("\",\" or \"}\" was expected");
  }

  // The entry's name as the system writes it: name_bytes exactly where
  // the document has it, else the name.
  bool NameOf(const EntryMembers& entry, std::string& name) {
    if (entry.HasBytes) {
      if (!PercentDecoded(entry.Bytes, name))
        return stream_.FailAt(entry.BytesPlace, "\"name_bytes\" is not percent-encoded");
    } else if (!entry.HasName) {
      return stream_.FailAt(entry.Start, "the entry has no \"name\"");
    } else if (!Utf8ToSystemText(entry.Name, name)) {
      return stream_.FailAt(entry.NamePlace, "the name has no form in the system's character set");
    }
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
      return stream_.FailAt(entry.HasName ? entry.NamePlace : entry.Start, "no file can have this name");
    return true;
  }

  bool ReadEntry(uint32_t folder, size_t depth) {
    EntryMembers entry;
    entry.Start = stream_.Here();
    if (!stream_.Take('{')) return stream_.FailValue("an entry object was expected");
    if (!stream_.Take('}')) {
      do {
        std::string key;
        if (!Key(key) || !Member(key, entry, folder, depth)) return false;
      } while (stream_.Take(','));
      if (!stream_.Take('}')) return stream_.Fail("\",\" or \"}\" was expected");
    }
    std::string name;
    if (!NameOf(entry, name)) return false;
    if (!entry.HasKind) return stream_.FailAt(entry.Start, "the entry has no \"kind\"");
    if (entry.Sub != kNoCompactIndex && entry.Record.Kind != CompactKind::kFolder)
      return stream_.FailAt(entry.Start, "an entry that is no folder has entries");
    if (!entry.Digests.empty()) entry.Record.Digests = &entry.Digests;
    builder_.AddEntry(folder, name, entry.Record);
    if (entry.Sub != kNoCompactIndex) {
      builder_.NameFolder(entry.Sub, name);
      if (entry.Failed) builder_.MarkFailed(entry.Sub);
    }
    return true;
  }

  JsonStream stream_;
  CompactListing& listing_;
  CompactBuilder builder_;
};

}  // namespace

bool StreamJsonListing(const std::function<size_t(char* buffer, size_t size)>& source,
                       CompactListing& listing, std::string& error) {
  listing = CompactListing();
  listing.TimePrecision = kWholeSeconds;
  StreamReader reader(source, listing);
  if (reader.Read()) return true;
  error = reader.Error();
  return false;
}
