// The seam over POSIX: readdir and statx for folder records, the Windows
// wildcard rules for masks, and shared-mime-info for file-type descriptions.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "platform/wildcard.h"

namespace {

constexpr uint32_t kReadOnly = 1, kHidden = 2, kDirectory = 16, kNormal = 128;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

uint64_t FileTimeOf(int64_t seconds, uint32_t nanoseconds) {
  int64_t since_1601 = seconds + kSecondsFrom1601To1970;
  if (since_1601 < 0) return 0;
  return static_cast<uint64_t>(since_1601) * 10000000ULL + nanoseconds / 100;
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// Fills the record of one entry. False with errno when its metadata cannot be
// read; errno ENOENT means the entry vanished since it was listed.
bool FillRecord(int folder_fd, const std::string& name, FolderRecord& record) {
  struct statx info {};
  const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
  bool dangling = false;
  if (statx(folder_fd, name.c_str(), AT_STATX_SYNC_AS_STAT, mask, &info) != 0) {
    // A link whose target is gone is listed with its own times.
    if (statx(folder_fd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, mask, &info) != 0)
      return false;
    dangling = true;
  }
  const bool is_folder = !dangling && S_ISDIR(info.stx_mode);
  uint32_t attributes = is_folder ? kDirectory : 0;
  if (name[0] == '.' && name != "." && name != "..") attributes |= kHidden;
  if ((info.stx_mode & S_IWUSR) == 0) attributes |= kReadOnly;
  if (attributes == 0) attributes = kNormal;
  record.dwFileAttributes = attributes;
  const statx_timestamp& born = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_ctime;
  record.ftCreationTime = FileTimeOf(born.tv_sec, born.tv_nsec);
  record.ftLastAccessTime = FileTimeOf(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
  record.ftLastWriteTime = FileTimeOf(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  const uint64_t size = (is_folder || dangling) ? 0 : info.stx_size;
  record.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
  record.nFileSizeLow = static_cast<uint32_t>(size);
  record.cFileName = name;
  return true;
}

// Extension (lower case, with its dot) to MIME type, and MIME type to its
// English comment, read once from the shared-mime-info database.
class MimeTypes {
 public:
  bool Describe(const std::string& extension, std::string& description) {
    if (extension.size() < 2) return false;
    LoadGlobs();
    std::string lower = LowerCaseBytes(extension);
    auto type = types_.find(lower);
    if (type == types_.end()) return false;
    auto known = comments_.find(type->second);
    if (known == comments_.end()) known = comments_.emplace(type->second, ReadComment(type->second)).first;
    description = known->second;
    return !description.empty();
  }

 private:
  void LoadGlobs() {
    if (loaded_) return;
    loaded_ = true;
    std::ifstream globs(std::string(kRoot) + "globs2");
    std::string line;
    while (std::getline(globs, line)) {
      // weight:type:pattern[:flags]; the file lists the heaviest first.
      if (line.empty() || line[0] == '#') continue;
      size_t first = line.find(':');
      size_t second = line.find(':', first + 1);
      if (first == std::string::npos || second == std::string::npos) continue;
      std::string pattern = line.substr(second + 1);
      pattern = pattern.substr(0, pattern.find(':'));
      if (pattern.size() < 3 || pattern[0] != '*' || pattern[1] != '.' ||
          pattern.find_first_of("*?[", 1) != std::string::npos || pattern.find('.', 2) != std::string::npos)
        continue;
      types_.emplace(LowerCaseBytes(pattern.substr(1)), line.substr(first + 1, second - first - 1));
    }
  }

  static std::string ReadComment(const std::string& type) {
    std::ifstream file(std::string(kRoot) + type + ".xml");
    std::stringstream text;
    text << file.rdbuf();
    const std::string xml = text.str();
    const std::string open = "<comment>";
    size_t start = xml.find(open);
    if (start == std::string::npos) return std::string();
    start += open.size();
    size_t end = xml.find("</comment>", start);
    return end == std::string::npos ? std::string() : DecodeEntities(xml.substr(start, end - start));
  }

  static std::string DecodeEntities(const std::string& text) {
    static const std::pair<const char*, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
      bool decoded = false;
      for (const auto& entity : kEntities) {
        size_t length = std::char_traits<char>::length(entity.first);
        if (text.compare(i, length, entity.first) == 0) {
          plain += entity.second;
          i += length - 1;
          decoded = true;
          break;
        }
      }
      if (!decoded) plain += text[i];
    }
    return plain;
  }

  static constexpr const char* kRoot = "/usr/share/mime/";
  bool loaded_ = false;
  std::unordered_map<std::string, std::string> types_;
  std::unordered_map<std::string, std::string> comments_;
};

bool Failed(std::string& failure) {
  failure = std::strerror(errno);
  return false;
}

class PosixFolderSource : public FolderSource {
 public:
  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    size_t slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash);
    if (folder.empty()) folder = "/";
    const std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return Failed(failure);
    const int folder_fd = dirfd(dir.get());
    FolderRecord record;
    // NTFS returns "." and ".." first; readdir's order is arbitrary.
    for (const char* own : {".", ".."}) {
      if (!MatchesMask(mask, own)) continue;
      if (FillRecord(folder_fd, own, record)) {
        visit(record);
      } else if (errno != ENOENT) {
        return Failed(failure);
      }
    }
    for (;;) {
      errno = 0;
      const dirent* item = readdir(dir.get());
      if (item == nullptr) return errno == 0 || Failed(failure);
      const std::string name = item->d_name;
      if (name == "." || name == ".." || !MatchesMask(mask, name)) continue;
      if (FillRecord(folder_fd, name, record)) {
        visit(record);
      } else if (errno != ENOENT) {
        return Failed(failure);
      }
    }
  }

  bool DescribeType(const std::string& extension, std::string& description) override {
    return mime_.Describe(extension, description);
  }

 private:
  MimeTypes mime_;
};

}  // namespace

FolderSource& SystemFolderSource() {
  static PosixFolderSource source;
  return source;
}

LocalClock CurrentLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  LocalClock clock;
  clock.year = local.tm_year + 1900;
  clock.month = local.tm_mon + 1;
  clock.day = local.tm_mday;
  clock.weekday = local.tm_wday;
  clock.hour = local.tm_hour;
  clock.minute = local.tm_min;
  clock.second = local.tm_sec;
  return clock;
}

std::string LocaleTimeText() {
  LocalClock now = CurrentLocalTime();
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", now.hour, now.minute, now.second);
  return text;
}

char FolderSeparator() {
  return '/';
}

bool LinksEncodeHighBytes() {
  return true;
}

std::string LowerCaseBytes(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && lstat(path.c_str(), &info) == 0;
}

bool IsExistingFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void UseBinaryStandardOutput() {}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

std::string AbsolutePath(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    std::vector<char> buffer(4096);
    if (getcwd(buffer.data(), buffer.size()) == nullptr) return path;
    joined = std::string(buffer.data()) + "/" + path;
  }
  // Drop "." and empty parts and resolve ".." by name, as a shell user reads them.
  std::vector<std::string> parts;
  std::stringstream stream(joined);
  std::string part;
  while (std::getline(stream, part, '/')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(part);
    }
  }
  std::string absolute;
  for (const std::string& name : parts) absolute += "/" + name;
  return absolute.empty() ? "/" : absolute;
}
