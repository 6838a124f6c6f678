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
  bool Fail(const JsonValue& where, const std::string& what) { return FailAt(where.Offset, what); }
  bool FailAt(size_t offset, const std::string& what) {
    if (error_.empty()) error_ = PositionText(content_, offset) + what;
    return false;
  }

  // The next value, which must be an object, read whole.
  bool ReadItem(JsonCursor& cursor, JsonValue& item) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonType::kObject))
      return FailAt(at, "an entry object was expected");
    return cursor.Read(item);
  }

  static constexpr size_t kNowhere = static_cast<size_t>(-1);

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

  // The attributes a Linux disk gives the entry: hidden by its name, and,
  // where the tool tells the mode, read-only or else normal.
  static void TakePosixAttributes(FolderRecord& record, const uint64_t* mode) {
    constexpr uint32_t kReadOnly = 1, kHidden = 2, kNormal = 128;
    uint32_t own = record.dwFileAttributes & ~kReparsePointAttribute;
    if (record.cFileName[0] == '.') own |= kHidden;
    if (mode != nullptr && (*mode & 0200) == 0) own |= kReadOnly;
    if (mode != nullptr && own == 0) own = kNormal;
    record.dwFileAttributes = own | (record.dwFileAttributes & kReparsePointAttribute);
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

  // tree's array: the folder listed, its contents read where they stand,
  // and a report.
  bool Read(JsonCursor& cursor) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonType::kArray))
      return FailAt(at, "tree's array was expected");
    const size_t start = cursor.Offset();
    bool listed = false;
    std::vector<std::string> names;
    if (!cursor.ReadArray([&] { return ReadItem(cursor, names, listed); })) return false;
    if (!listed) return FailAt(start, "tree listed no folder");
    model_.SizesKnown = sizes_known_;
    builder_.Finish();
    return true;
  }

 private:
  // One object of tree's array: the folder listed (once), or the report.
  bool ReadItem(JsonCursor& cursor, std::vector<std::string>& names, bool& listed) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonType::kObject))
      return FailAt(at, "an object with a \"type\" was expected");
    const auto is_top = [&](const JsonValue& item) {
      bool fault = false;
      const JsonValue* type = MemberOf(item, "type", JsonType::kString, fault);
      if (fault) return false;
      if (type == nullptr) return Fail(item, "an object with a \"type\" was expected");
      if (type->Text == "report") return true;
      if (type->Text != "directory") return Fail(*type, "the listing of a folder was expected");
      if (listed) return Fail(item, "tree listed more than one folder; give it one");
      listed = true;
      return true;
    };
    JsonValue item;
    bool checked = false;
    size_t later = kNowhere;
    const bool read = cursor.ReadObject(item, "contents", [&](JsonValue& so_far) {
      if (so_far.Member("type") == nullptr) {
        later = cursor.Offset();
        return cursor.Skip();
      }
      checked = true;
      return is_top(so_far) && ReadContents(cursor, names);
    });
    if (!read || (!checked && !is_top(item))) return false;
    const JsonValue* type = item.Member("type");
    if (type == nullptr || type->Text != "directory") return true;
    FolderRecord record;
    if (!RecordOf(item, false, record, true)) return false;
    return later == kNowhere || ReadLater(cursor, later, names);
  }

  bool ReadLater(JsonCursor& cursor, size_t at, std::vector<std::string>& names) {
    const size_t end = cursor.Offset();
    cursor.Seek(at);
    const bool read = ReadContents(cursor, names);
    cursor.Seek(end);
    return read;
  }

  bool RecordOf(const JsonValue& entry, bool contents, FolderRecord& record, bool top) {
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
    if (IsLink(record.dwFileAttributes) && contents) record.dwFileAttributes |= kDirectoryAttribute;
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
  bool ReadContents(JsonCursor& cursor, std::vector<std::string>& names) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonType::kArray))
      return FailAt(at, "\"contents\" is no array");
    const size_t number = builder_.FolderAt(names);
    return cursor.ReadArray([&] { return ReadEntry(cursor, names, number); });
  }

  // An entry, the contents of a folder read where they stand once its name
  // is known (tree writes it first); else after the entry.
  bool ReadEntry(JsonCursor& cursor, std::vector<std::string>& names, size_t number) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonType::kObject))
      return FailAt(at, "an entry object was expected");
    JsonValue entry;
    bool contents = false;
    size_t later = kNowhere;
    const bool read = cursor.ReadObject(entry, "contents", [&](JsonValue& so_far) {
      contents = true;
      const JsonValue* name = so_far.Member("name");
      if (name == nullptr || name->Kind != JsonType::kString) {
        later = cursor.Offset();
        return cursor.Skip();
      }
      FolderRecord named;
      if (!NameOf(*name, named.cFileName)) return false;
      names.push_back(named.cFileName);
      const bool listed = ReadContents(cursor, names);
      names.pop_back();
      return listed;
    });
    if (!read) return false;
    if (entry.Member("type") == nullptr && entry.Member("error") != nullptr) {
      model_.Folders[number].Failed = true;
      model_.Folders[number].Reason = entry.Member("error")->Text;
      return true;
    }
    FolderRecord record;
    if (!RecordOf(entry, contents, record, false)) return false;
    if (contents && !IsFolder(record.dwFileAttributes))
      return Fail(entry, "an entry that is no folder has contents");
    TakePosixAttributes(record, nullptr);
    size_t added = 0;
    if (!Add(entry, names, record, added)) return false;
    if (const JsonValue* target = entry.Member("target");
        target != nullptr && target->Kind == JsonType::kString)
      Utf8ToSystemText(target->Text, model_.Folders[builder_.FolderAt(names)].LinkTargets[record.cFileName]);
    if (!IsFolder(record.dwFileAttributes)) return true;
    names.push_back(record.cFileName);
    builder_.FolderAt(names);
    const bool read_later = later == kNowhere || ReadLater(cursor, later, names);
    names.pop_back();
    return read_later;
  }
};

// ---- ncdu -o ----

constexpr uint32_t kModeTypeMask = 0170000;
constexpr uint32_t kModeLink = 0120000;
constexpr uint32_t kModeFolder = 0040000;

class NcduReader : public ToolReader {
 public:
  using ToolReader::ToolReader;

  // ncdu's array: the format, its version, its own information, then the
  // top folder's array, read where it stands.
  bool Read(JsonCursor& cursor) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonType::kArray))
      return FailAt(at, "ncdu's array of four items was expected");
    const size_t start = cursor.Offset();
    size_t at = 0;
    std::vector<std::string> names;
    const bool read = cursor.ReadArray([&] {
      switch (at++) {
        case 0: {
          JsonValue format;
          if (!cursor.Read(format)) return false;
          if (format.Kind != JsonType::kNumber || format.Text != "1")
            return Fail(format, "not ncdu's export of format 1");
          return true;
        }
        case 3:
          if (const size_t at = cursor.Offset(); !cursor.Expect(JsonType::kArray))
            return FailAt(at, "the top folder's array was expected");
          return ReadFolder(cursor, names, nullptr);
        default:
          return cursor.Skip();
      }
    });
    if (!read) return false;
    if (at < 4) return FailAt(start, "ncdu's array of four items was expected");
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
    TakePosixAttributes(record, moded ? &mode : nullptr);
    if (!sized && !excluded) model_.SizesKnown = false;
    return true;
  }

  // A folder's array: its own information, then its entries (an array for
  // each folder below), each read where it stands. The top's information is
  // the model's top; a sub-folder's is added to its parent (parent_names,
  // where names is the parent's) before its entries are read.
  bool ReadFolder(JsonCursor& cursor, std::vector<std::string>& names, const size_t* parent) {
    const size_t start = cursor.Offset();
    size_t at = 0;
    bool excluded = false, entered = false;
    const bool read = cursor.ReadArray([&] {
      if (at++ == 0) {
        JsonValue info;
        if (!ReadItem(cursor, info)) return false;
        FolderRecord record;
        if (!RecordOf(info, record, excluded, parent == nullptr)) return false;
        if (excluded) return true;
        if (parent != nullptr) {
          record.dwFileAttributes |= kDirectoryAttribute;
          SetSize(record, 0);
          size_t added = 0;
          if (!Add(info, names, record, added)) return false;
          names.push_back(record.cFileName);
          entered = true;
        }
        const size_t number = builder_.FolderAt(names);
        const JsonValue* read_error = info.Member("read_error");
        if (read_error != nullptr && read_error->Text == "true") {
          model_.Folders[number].Failed = true;
          model_.Folders[number].Reason = "ncdu could not read the folder";
        }
        return true;
      }
      // ncdu did not look at what it excluded: what it holds is not known.
      if (excluded) return cursor.Skip();
      if (cursor.Next() == JsonType::kArray) {
        const size_t number = builder_.FolderAt(names);
        return ReadFolder(cursor, names, &number);
      }
      JsonValue item;
      if (!ReadItem(cursor, item)) return false;
      FolderRecord record;
      bool left_out = false;
      if (!RecordOf(item, record, left_out, false)) return false;
      size_t added = 0;
      return left_out || Add(item, names, record, added);
    });
    if (entered) names.pop_back();
    if (!read) return false;
    return at > 0 || FailAt(start, "a folder's information was expected");
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

  // rclone's flat array, an entry at a time.
  bool Read(JsonCursor& cursor) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonType::kArray))
      return FailAt(at, "rclone's array was expected");
    const bool read = cursor.ReadArray([&] {
      JsonValue item;
      return ToolReader::ReadItem(cursor, item) && ReadEntry(item);
    });
    if (!read) return false;
    model_.SizesKnown = sizes_known_;
    builder_.ListFoldersInParents();
    builder_.Finish();
    return true;
  }

 private:
  bool ReadEntry(const JsonValue& item) {
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
    TakePosixAttributes(record, nullptr);
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
  JsonCursor cursor(content);
  Reader reader(content, model);
  if (reader.Read(cursor) && cursor.AtEnd()) return true;
  error = cursor.Failed() ? cursor.Error() : reader.Error();
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
