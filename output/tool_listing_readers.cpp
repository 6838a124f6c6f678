// Other tools' JSON listings read into the model: tree -J (nested folders),
// ncdu's export (format 1: a folder is an array of its own information and
// its entries) and rclone's lsjson (a flat array of paths below the top).
#include <cstdint>
#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/catalog_data.h"
#include "output/listing_readers.h"
#include "output/listing_syntax.h"

namespace {

using JsonType = JsonValue::Type;

// What every reader of a JSON listing does with its values.
class ToolReader {
 public:
  ToolReader(std::string_view content, ListingModel& model)
      : content_(content), model_(model), builder_(model) {}

  const std::string& Error() const { return error_; }

 protected:
  bool Fail(const JsonValue& where, const std::string& what) {
    if (error_.empty()) error_ = PositionText(content_, where.Offset) + what;
    return false;
  }

  // The member of the type, or null where it is absent or null; a fault
  // where it is of another type.
  const JsonValue* MemberOf(const JsonValue& object, const char* key, JsonType type, bool& fault) {
    const JsonValue* value = object.Member(key);
    if (value == nullptr || value->Kind == JsonType::kNull) return nullptr;
    if (value->Kind == type) return value;
    fault = true;
    Fail(*value, std::string("\"") + key + "\" is of the wrong type");
    return nullptr;
  }

  // A name as a file can have it, in the system's character set.
  bool NameOf(const JsonValue& value, std::string& name) {
    if (!Utf8ToSystemText(value.Text, name))
      return Fail(value, "the name has no form in the system's character set");
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
      return Fail(value, "no file can have this name");
    return true;
  }

  bool CountOf(const JsonValue& value, uint64_t& count) {
    if (value.Text.empty() || value.Text.size() > 19 ||
        value.Text.find_first_not_of("0123456789") != std::string::npos)
      return Fail(value, "no count of bytes");
    count = std::stoull(value.Text);
    return true;
  }

  static void SetSize(FolderRecord& record, uint64_t bytes) {
    record.nFileSizeHigh = static_cast<uint32_t>(bytes >> 32);
    record.nFileSizeLow = static_cast<uint32_t>(bytes);
  }

  void TakeTop(const std::string& path, uint64_t modified) {
    model_.TopPath = path;
    model_.TopName = LastNameOfPath(path);
    model_.Folders[0].Record.cFileName = model_.TopName;
    model_.Folders[0].Record.ftLastWriteTime = modified;
  }

  // The top's path as the tool names it, or an entry's name and time into
  // its record; false where the name cannot be a file's.
  bool TakeTopOrName(const JsonValue& name, uint64_t modified, bool top, FolderRecord& record) {
    if (top) {
      std::string path;
      if (!Utf8ToSystemText(name.Text, path))
        return Fail(name, "the path has no form in the system's character set");
      TakeTop(path, modified);
      return true;
    }
    if (!NameOf(name, record.cFileName)) return false;
    record.ftLastWriteTime = modified;
    return true;
  }

  // Adds the entry to the folder at names; for a folder, the folder below
  // too, which keeps the record. Its number, or the parent's for a file.
  bool Add(const JsonValue& where, std::vector<std::string>& names, const FolderRecord& record,
           size_t& added) {
    added = builder_.FolderAt(names);
    if (!builder_.AddEntry(added, record)) return Fail(where, "the folder lists this name twice");
    if (!IsFolder(record.dwFileAttributes) || IsLink(record.dwFileAttributes)) return true;
    names.push_back(record.cFileName);
    added = builder_.FolderAt(names);
    names.pop_back();
    model_.Folders[added].Record = record;
    return true;
  }

  std::string_view content_;
  ListingModel& model_;
  ModelBuilder builder_;
  std::string error_;
  bool sizes_known_ = true;
};

// ---- tree -J ----

// The time of tree's --timefmt: "%s" (seconds since 1970), or an ISO 8601
// time that names its zone ("%FT%T%z", "%FT%TZ" under TZ=UTC). Any other
// form (tree's default "Dec  9 11:23") is local and ambiguous: unknown.
uint64_t TreeTime(const std::string& text) {
  uint64_t time = 0;
  if (ParseEpochSeconds(text, time) || ParseRfc3339Time(text, time)) return time;
  // %z writes the offset without the colon: "+0100".
  if (text.size() == 24 && (text[19] == '+' || text[19] == '-') &&
      ParseRfc3339Time(text.substr(0, 22) + ":" + text.substr(22), time))
    return time;
  return 0;
}

struct TreeType {
  const char* Word;
  uint32_t Attributes;
};
constexpr TreeType kTreeTypes[] = {{"directory", kDirectoryAttribute}, {"link", kReparsePointAttribute}};

class TreeJsonReader : public ToolReader {
 public:
  using ToolReader::ToolReader;

  bool Read(const JsonValue& document) {
    if (document.Kind != JsonType::kArray) return Fail(document, "tree's array was expected");
    const JsonValue* top = nullptr;
    for (const JsonValue& item : document.Items) {
      bool fault = false;
      const JsonValue* type =
          item.Kind == JsonType::kObject ? MemberOf(item, "type", JsonType::kString, fault) : nullptr;
      if (fault) return false;
      if (type == nullptr) return Fail(item, "an object with a \"type\" was expected");
      if (type->Text == "report") continue;
      if (type->Text != "directory") return Fail(*type, "the listing of a folder was expected");
      if (top != nullptr) return Fail(item, "tree listed more than one folder; give it one");
      top = &item;
    }
    if (top == nullptr) return Fail(document, "tree listed no folder");
    FolderRecord record;
    if (!RecordOf(*top, record, true)) return false;
    std::vector<std::string> names;
    if (!ReadContents(*top, names)) return false;
    model_.SizesKnown = sizes_known_;
    builder_.Finish();
    return true;
  }

 private:
  bool RecordOf(const JsonValue& entry, FolderRecord& record, bool top) {
    bool fault = false;
    const JsonValue* name = MemberOf(entry, "name", JsonType::kString, fault);
    const JsonValue* type = MemberOf(entry, "type", JsonType::kString, fault);
    const JsonValue* size = MemberOf(entry, "size", JsonType::kNumber, fault);
    const JsonValue* time = MemberOf(entry, "time", JsonType::kString, fault);
    if (fault) return false;
    if (name == nullptr) return Fail(entry, "the entry has no \"name\"");
    if (type == nullptr) return Fail(entry, "the entry has no \"type\"");
    const uint64_t modified = time != nullptr ? TreeTime(time->Text) : 0;
    if (!TakeTopOrName(*name, modified, top, record)) return false;
    if (top) return true;
    for (const TreeType& known : kTreeTypes) {
      if (type->Text == known.Word) record.dwFileAttributes = known.Attributes;
    }
    // A link followed (-l) to a folder lists the folder's contents.
    if (IsLink(record.dwFileAttributes) && entry.Member("contents") != nullptr)
      record.dwFileAttributes |= kDirectoryAttribute;
    // tree gives a link's own length, not its target's: left at 0.
    if (IsFolder(record.dwFileAttributes) || IsLink(record.dwFileAttributes)) return true;
    uint64_t bytes = 0;
    if (size == nullptr) {
      sizes_known_ = false;
    } else if (!CountOf(*size, bytes)) {
      return false;
    }
    SetSize(record, bytes);
    return true;
  }

  // The entries of a folder, or why it could not be read ({"error": ...}).
  bool ReadContents(const JsonValue& folder, std::vector<std::string>& names) {
    const JsonValue* contents = folder.Member("contents");
    if (contents == nullptr) return true;
    if (contents->Kind != JsonType::kArray) return Fail(*contents, "\"contents\" is no array");
    const size_t number = builder_.FolderAt(names);
    for (const JsonValue& entry : contents->Items) {
      if (entry.Kind != JsonType::kObject) return Fail(entry, "an entry object was expected");
      if (entry.Member("type") == nullptr && entry.Member("error") != nullptr) {
        model_.Folders[number].Failed = true;
        model_.Folders[number].Reason = entry.Member("error")->Text;
        continue;
      }
      if (!ReadEntry(entry, names)) return false;
    }
    return true;
  }

  bool ReadEntry(const JsonValue& entry, std::vector<std::string>& names) {
    FolderRecord record;
    if (!RecordOf(entry, record, false)) return false;
    size_t added = 0;
    if (!Add(entry, names, record, added)) return false;
    if (const JsonValue* target = entry.Member("target");
        target != nullptr && target->Kind == JsonType::kString)
      Utf8ToSystemText(target->Text, model_.Folders[builder_.FolderAt(names)].LinkTargets[record.cFileName]);
    if (!IsFolder(record.dwFileAttributes)) return true;
    names.push_back(record.cFileName);
    const bool read = ReadContents(entry, names);
    names.pop_back();
    return read;
  }
};

// ---- ncdu -o ----

constexpr uint32_t kModeTypeMask = 0170000;
constexpr uint32_t kModeLink = 0120000;
constexpr uint32_t kModeFolder = 0040000;

class NcduReader : public ToolReader {
 public:
  using ToolReader::ToolReader;

  bool Read(const JsonValue& document) {
    if (document.Kind != JsonType::kArray || document.Items.size() < 4)
      return Fail(document, "ncdu's array of four items was expected");
    if (document.Items[0].Kind != JsonType::kNumber || document.Items[0].Text != "1")
      return Fail(document.Items[0], "not ncdu's export of format 1");
    const JsonValue& top = document.Items[3];
    if (top.Kind != JsonType::kArray || top.Items.empty())
      return Fail(top, "the top folder's array was expected");
    FolderRecord record;
    bool excluded = false;
    if (!RecordOf(top.Items[0], record, excluded, true)) return false;
    std::vector<std::string> names;
    if (!ReadFolder(top, names)) return false;
    builder_.Finish();
    return true;
  }

 private:
  bool NumberMember(const JsonValue& info, const char* key, uint64_t& number, bool& given) {
    bool fault = false;
    const JsonValue* value = MemberOf(info, key, JsonType::kNumber, fault);
    if (fault) return false;
    given = value != nullptr;
    return !given || CountOf(*value, number);
  }

  // The entry's record; excluded where ncdu left it out of its scan.
  bool RecordOf(const JsonValue& info, FolderRecord& record, bool& excluded, bool top) {
    if (info.Kind != JsonType::kObject) return Fail(info, "an entry object was expected");
    bool fault = false;
    const JsonValue* name = MemberOf(info, "name", JsonType::kString, fault);
    if (fault) return false;
    if (name == nullptr) return Fail(info, "the entry has no \"name\"");
    uint64_t size = 0, mtime = 0, mode = 0;
    bool sized = false, timed = false, moded = false;
    if (!NumberMember(info, "asize", size, sized) || !NumberMember(info, "mtime", mtime, timed) ||
        !NumberMember(info, "mode", mode, moded))
      return false;
    const uint64_t modified = timed ? FileTimeOfSeconds(static_cast<int64_t>(mtime)) : 0;
    excluded = info.Member("excluded") != nullptr;
    if (!TakeTopOrName(*name, modified, top, record)) return false;
    if (top) return true;
    // ncdu gives a link's own length, not its target's: left at 0. Without
    // -e it does not tell a link from a device ("notreg"): a file then.
    if (moded && (mode & kModeTypeMask) == kModeLink) {
      record.dwFileAttributes = kReparsePointAttribute;
    } else if (moded && (mode & kModeTypeMask) == kModeFolder) {
      record.dwFileAttributes = kDirectoryAttribute;
    } else {
      SetSize(record, size);
    }
    if (!sized && !excluded) model_.SizesKnown = false;
    return true;
  }

  // A folder's array: its own information, then its entries (an array for
  // each folder below).
  bool ReadFolder(const JsonValue& folder, std::vector<std::string>& names) {
    const size_t number = builder_.FolderAt(names);
    const JsonValue* read_error = folder.Items[0].Member("read_error");
    if (read_error != nullptr && read_error->Text == "true") {
      model_.Folders[number].Failed = true;
      model_.Folders[number].Reason = "ncdu could not read the folder";
    }
    for (size_t at = 1; at < folder.Items.size(); ++at) {
      const JsonValue& item = folder.Items[at];
      const bool sub = item.Kind == JsonType::kArray;
      if (sub && item.Items.empty()) return Fail(item, "a folder's information was expected");
      FolderRecord record;
      bool excluded = false;
      if (!RecordOf(sub ? item.Items[0] : item, record, excluded, false)) return false;
      // ncdu did not look at what it excluded: neither its kind nor its size is known.
      if (excluded) continue;
      if (sub) {
        record.dwFileAttributes |= kDirectoryAttribute;
        SetSize(record, 0);
      }
      size_t added = 0;
      if (!Add(item, names, record, added)) return false;
      if (!sub) continue;
      names.push_back(record.cFileName);
      const bool read = ReadFolder(item, names);
      names.pop_back();
      if (!read) return false;
    }
    return true;
  }
};

// ---- rclone lsjson ----

// The hashes of rclone that are also the program's algorithms.
struct RcloneHash {
  const char* Name;
  DigestAlgorithm Algorithm;
};
constexpr RcloneHash kRcloneHashes[] = {
    {"sha256", DigestAlgorithm::kSha256}, {"sha1", DigestAlgorithm::kSha1}, {"md5", DigestAlgorithm::kMd5}};

class RcloneReader : public ToolReader {
 public:
  using ToolReader::ToolReader;

  bool Read(const JsonValue& document) {
    if (document.Kind != JsonType::kArray) return Fail(document, "rclone's array was expected");
    for (const JsonValue& item : document.Items) {
      if (!ReadItem(item)) return false;
    }
    model_.SizesKnown = sizes_known_;
    builder_.ListFoldersInParents();
    builder_.Finish();
    return true;
  }

 private:
  bool ReadItem(const JsonValue& item) {
    if (item.Kind != JsonType::kObject) return Fail(item, "an entry object was expected");
    bool fault = false;
    const JsonValue* path = MemberOf(item, "Path", JsonType::kString, fault);
    const JsonValue* is_dir = MemberOf(item, "IsDir", JsonType::kBool, fault);
    const JsonValue* size = MemberOf(item, "Size", JsonType::kNumber, fault);
    const JsonValue* time = MemberOf(item, "ModTime", JsonType::kString, fault);
    const JsonValue* hashes = MemberOf(item, "Hashes", JsonType::kObject, fault);
    if (fault) return false;
    if (path == nullptr) return Fail(item, "the entry has no \"Path\"");
    std::string system_path;
    std::vector<std::string> names;
    if (!Utf8ToSystemText(path->Text, system_path))
      return Fail(*path, "the path has no form in the system's character set");
    if (!SplitListedPath(system_path, names)) return Fail(*path, "no file can have this path");
    FolderRecord record;
    record.cFileName = names.back();
    names.pop_back();
    if (is_dir != nullptr && is_dir->Text == "true") record.dwFileAttributes = kDirectoryAttribute;
    if (time != nullptr && !ParseRfc3339Time(time->Text, record.ftLastWriteTime))
      return Fail(*time, "\"ModTime\" is no RFC 3339 time");
    if (!IsFolder(record.dwFileAttributes)) {
      uint64_t bytes = 0;
      // rclone writes -1 where the remote does not tell the size.
      if (size == nullptr || size->Text == "-1") {
        sizes_known_ = false;
      } else if (!CountOf(*size, bytes)) {
        return false;
      }
      SetSize(record, bytes);
    }
    size_t added = 0;
    if (!Add(item, names, record, added)) return false;
    return hashes == nullptr || ReadHashes(*hashes, builder_.FolderAt(names), record.cFileName);
  }

  bool ReadHashes(const JsonValue& hashes, size_t folder, const std::string& name) {
    for (const RcloneHash& hash : kRcloneHashes) {
      const JsonValue* digest = hashes.Member(hash.Name);
      // An empty digest is one the remote does not have.
      if (digest == nullptr || digest->Kind == JsonType::kNull || digest->Text.empty()) continue;
      std::string text = digest->Text;
      for (char& c : text) c = (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
      if (digest->Kind != JsonType::kString || text.size() != DigestTextLength(hash.Algorithm) ||
          text.find_first_not_of("0123456789abcdef") != std::string::npos)
        return Fail(*digest, std::string("no ") + hash.Name + " digest in hexadecimal");
      builder_.SetDigest(folder, name, hash.Algorithm, text);
    }
    return true;
  }
};

template <typename Reader>
bool ReadToolListing(std::string_view content, ListingModel& model, std::string& error) {
  JsonValue document;
  if (!ParseJsonDocument(content, document, error)) return false;
  Reader reader(content, model);
  if (reader.Read(document)) return true;
  error = reader.Error();
  return false;
}

}  // namespace

bool ReadTreeJsonListing(std::string_view content, ListingModel& model, ListingShape& shape,
                         std::string& error) {
  shape.Kind = ListingKind::kTreeJson;
  shape.Tree = true;
  model.TimePrecision = kWholeSeconds;  // tree's --timefmt has no fraction
  return ReadToolListing<TreeJsonReader>(content, model, error);
}

bool ReadNcduListing(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error) {
  shape.Kind = ListingKind::kNcdu;
  shape.Tree = true;
  model.TimePrecision = kWholeSeconds;
  return ReadToolListing<NcduReader>(content, model, error);
}

bool ReadRcloneListing(std::string_view content, ListingModel& model, ListingShape& shape,
                       std::string& error) {
  shape.Kind = ListingKind::kRclone;
  shape.Tree = true;
  model.TimePrecision = 1;
  return ReadToolListing<RcloneReader>(content, model, error);
}
