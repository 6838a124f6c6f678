// The seam over POSIX: getdents64 and statx, on a few threads, for folder
// records, the Windows wildcard rules for masks, and shared-mime-info for
// file-type descriptions.
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/folders_posix.h"
#include "platform/mime_types_posix.h"
#include "platform/platform.h"
#include "platform/wildcard.h"

namespace {

constexpr uint32_t kReadOnly = 1, kHidden = 2, kDirectory = 16, kNormal = 128, kReparsePoint = 1024;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// What the listing reads of one entry, without its name.
struct EntryMetadata {
  uint32_t attributes = 0;
  uint64_t creation = 0, last_access = 0, last_write = 0, size = 0;
  uint64_t write_nanos = 0, change_nanos = 0;  // as a ContentStamp counts them
  FileIdentity identity;
  uint32_t links = 1;
  bool broken_link = false;
  int error = 0;  // 0, or the errno of its failed statx; ENOENT: vanished since listed
};

// The errors of following a link whose target cannot be reached by its path.
bool IsBrokenLinkError(int error) { return error == ENOENT || error == ELOOP || error == ENOTDIR; }

// True when the entry is a symbolic link: what the folder said of it, or
// where it said nothing, what the entry itself says.
bool IsLink(int folder_fd, const char* name, unsigned char type) {
  if (type != DT_UNKNOWN) return type == DT_LNK;
  struct statx own {};
  return statx(folder_fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, STATX_TYPE, &own) == 0 &&
         S_ISLNK(own.stx_mode);
}

// Reads the metadata of one entry of the folder, whose type the folder gave
// as type (a d_type); error tells how it went.
void ReadMetadata(int folder_fd, const char* name, unsigned char type, EntryMetadata& entry) {
  struct statx info {};
  const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
  bool dangling = false;
  entry.error = 0;
  if (statx(folder_fd, name, AT_STATX_SYNC_AS_STAT, mask, &info) != 0) {
    // A link whose target is missing (or lies past a file, or loops) is
    // listed with its own times; any other failure, however passing, must
    // not turn a real file into an empty one.
    if (!IsBrokenLinkError(errno) ||
        statx(folder_fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, mask, &info) != 0) {
      entry.error = errno;
      return;
    }
    // Anything but a link was put in the entry's place between the two
    // calls, and these are its own metadata.
    dangling = S_ISLNK(info.stx_mode);
  }
  const bool is_folder = !dangling && S_ISDIR(info.stx_mode);
  const bool own_entry = std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
  uint32_t attributes = is_folder ? kDirectory : 0;
  if (name[0] == '.' && !own_entry) attributes |= kHidden;
  if ((info.stx_mode & S_IWUSR) == 0) attributes |= kReadOnly;
  if (attributes == 0) attributes = kNormal;
  // A link is marked as Windows marks one, beside the attributes of its target.
  if (dangling || IsLink(folder_fd, name, type)) attributes |= kReparsePoint;
  entry.attributes = attributes;
  entry.broken_link = dangling;
  const statx_timestamp& born = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_ctime;
  entry.creation = FileTimeOf(born.tv_sec, born.tv_nsec);
  entry.last_access = FileTimeOf(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
  entry.last_write = FileTimeOf(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  entry.write_nanos = StampTimeOf(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  entry.change_nanos = StampTimeOf(info.stx_ctime.tv_sec, info.stx_ctime.tv_nsec);
  entry.size = (is_folder || dangling) ? 0 : info.stx_size;
  entry.identity.Device = makedev(info.stx_dev_major, info.stx_dev_minor);
  entry.identity.Index = info.stx_ino;
  entry.links = info.stx_nlink;
}

// The root is its own parent and, like a drive root on Windows, has neither
// a "." nor a ".." entry to list.
bool IsRootFolder(int folder_fd) {
  struct stat own {
  }, parent{};
  return fstat(folder_fd, &own) == 0 && fstatat(folder_fd, "..", &parent, 0) == 0 &&
         own.st_dev == parent.st_dev && own.st_ino == parent.st_ino;
}

void CopyMetadata(const EntryMetadata& entry, FolderRecord& record) {
  record.dwFileAttributes = entry.attributes;
  record.ftCreationTime = entry.creation;
  record.ftLastAccessTime = entry.last_access;
  record.ftLastWriteTime = entry.last_write;
  record.nFileSizeHigh = static_cast<uint32_t>(entry.size >> 32);
  record.nFileSizeLow = static_cast<uint32_t>(entry.size);
  record.BrokenLink = entry.broken_link;
  record.Identity = entry.identity;
  record.Links = entry.links;
  record.WriteNanos = entry.write_nanos;
  record.ChangeNanos = entry.change_nanos;
}

// Names read from the folder and not yet visited; slot i of metadata
// belongs to name i.
struct NameBatch {
  std::string names;  // each name ends in a '\0'
  std::vector<uint32_t> starts;
  std::vector<unsigned char> types;  // each name's d_type
  std::vector<EntryMetadata> metadata;

  size_t size() const { return starts.size(); }
  const char* NameAt(size_t i) const { return names.data() + starts[i]; }
};

// The folder's names in large getdents64 reads; a read may hold more names
// than one batch takes, and the rest wait for the next batch.
class NameReader {
 public:
  explicit NameReader(int folder_fd) : fd_(folder_fd), buffer_(kBufferSize) {}

  // Replaces the batch with up to limit names matching the mask, "." and
  // ".." left out. False with errno when a read fails.
  bool Fill(NameBatch& batch, const std::string& mask, size_t limit) {
    batch.names.clear();
    batch.starts.clear();
    batch.types.clear();
    while (batch.size() < limit) {
      if (at_ == used_ && !ReadMore()) return false;
      if (at_ == used_) return true;
      const auto* item = reinterpret_cast<const struct dirent64*>(buffer_.data() + at_);
      at_ += item->d_reclen;
      name_.assign(item->d_name);
      if (name_ == "." || name_ == ".." || !MatchesMask(mask, name_)) continue;
      batch.starts.push_back(static_cast<uint32_t>(batch.names.size()));
      batch.types.push_back(item->d_type);
      batch.names.append(name_.c_str(), name_.size() + 1);
    }
    return true;
  }

  bool AtEnd() const { return at_end_ && at_ == used_; }

 private:
  bool ReadMore() {
    at_ = used_ = 0;
    if (at_end_) return true;
    const ssize_t count = getdents64(fd_, buffer_.data(), buffer_.size());
    if (count < 0) return false;
    at_end_ = count == 0;
    used_ = static_cast<size_t>(count);
    return true;
  }

  static constexpr size_t kBufferSize = 256 * 1024;
  int fd_;
  std::vector<char> buffer_;
  size_t at_ = 0, used_ = 0;
  bool at_end_ = false;
  std::string name_;
};

// A folder of fewer entries is read on the calling thread alone: starting
// threads would cost more than they save.
constexpr size_t kParallelFrom = 2000;
constexpr size_t kBatchEntries = 4096;
constexpr size_t kChunkEntries = 64;
constexpr long kMostThreads = 8;

size_t MetadataThreads() {
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return static_cast<size_t>(std::clamp(online, 1L, kMostThreads));
}

// Threads that read the metadata of one batch while the calling thread reads
// the next names or visits the batch before. Every thread takes chunks of
// the batch in turn and fills their own slots, so the results stand in the
// order of the names whichever thread read them.
class MetadataPool {
 public:
  MetadataPool(int folder_fd, size_t helpers) : fd_(folder_fd) {
    for (size_t i = 0; i < helpers; ++i) {
      try {
        threads_.emplace_back(&MetadataPool::Serve, this);
      } catch (const std::system_error&) {
        break;  // no more threads to be had: fewer read more
      }
    }
  }

  ~MetadataPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  MetadataPool(const MetadataPool&) = delete;
  MetadataPool& operator=(const MetadataPool&) = delete;

  // The helpers begin on the batch; the previous one must be finished.
  void Start(NameBatch& batch) {
    batch.metadata.resize(batch.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      batch_ = &batch;
      next_ = 0;
      filled_ = 0;
      ++job_;
    }
    wake_.notify_all();
  }

  // Reads along until every slot of the batch is filled and no helper
  // touches it any more.
  void Finish() {
    ReadChunks(*batch_);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return filled_ == batch_->size() && busy_ == 0; });
    batch_ = nullptr;
  }

 private:
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t served = 0;
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || job_ != served; });
      if (stopping_) return;
      served = job_;
      // A batch that is already finished is not taken up again.
      if (batch_ == nullptr) continue;
      NameBatch& batch = *batch_;
      ++busy_;
      lock.unlock();
      ReadChunks(batch);
      lock.lock();
      --busy_;
      if (busy_ == 0) done_.notify_all();
    }
  }

  void ReadChunks(NameBatch& batch) {
    const size_t count = batch.size();
    for (;;) {
      const size_t begin = next_.fetch_add(kChunkEntries);
      if (begin >= count) return;
      const size_t end = std::min(count, begin + kChunkEntries);
      for (size_t i = begin; i < end; ++i)
        ReadMetadata(fd_, batch.NameAt(i), batch.types[i], batch.metadata[i]);
      if (filled_.fetch_add(end - begin) + (end - begin) == count) {
        std::lock_guard<std::mutex> lock(mutex_);
        done_.notify_all();
      }
    }
  }

  const int fd_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  NameBatch* batch_ = nullptr;  // the batch being read; null once finished
  uint64_t job_ = 0;            // counts the batches started
  size_t busy_ = 0;             // helpers reading the batch
  bool stopping_ = false;
  std::atomic<size_t> next_{0};    // the first slot no thread has taken yet
  std::atomic<size_t> filled_{0};  // slots filled
  std::vector<std::thread> threads_;
};

bool Failed(int error, std::string& failure) {
  failure = std::strerror(error);
  return false;
}

bool Failed(std::string& failure) { return Failed(errno, failure); }

// Visits the entry unless it vanished since it was listed; false when its
// metadata could not be read for another reason.
bool VisitEntry(const char* name, const EntryMetadata& metadata, FolderRecord& record,
                const std::function<void(const FolderRecord&)>& visit) {
  if (metadata.error == ENOENT) return true;
  if (metadata.error != 0) return false;
  CopyMetadata(metadata, record);
  record.cFileName.assign(name);
  visit(record);
  return true;
}

}  // namespace

bool EnumerateDescriptor(int folder_fd, const std::string& mask,
                         const std::function<void(const FolderRecord&)>& visit, std::string& failure) {
  const FileDescriptor dir(folder_fd);
  FolderRecord record;
  EntryMetadata metadata;
  // NTFS returns "." and ".." first; the folder's own order is arbitrary.
  for (const char* own : {".", ".."}) {
    if (!MatchesMask(mask, own) || IsRootFolder(dir.get())) continue;
    ReadMetadata(dir.get(), own, DT_DIR, metadata);
    if (!VisitEntry(own, metadata, record, visit)) return Failed(metadata.error, failure);
  }
  // Batch by batch: the helpers read the metadata of one while this thread
  // reads the names of the next, then visits the one before.
  NameReader reader(dir.get());
  NameBatch batches[2];
  NameBatch* current = &batches[0];
  NameBatch* next = &batches[1];
  if (!reader.Fill(*current, mask, kBatchEntries)) return Failed(errno, failure);
  const bool small = reader.AtEnd() && current->size() < kParallelFrom;
  // Declared after the batches: a visit that throws stops the helpers
  // before the batches they fill go away.
  MetadataPool pool(dir.get(), small ? 0 : MetadataThreads() - 1);
  pool.Start(*current);
  while (current->size() > 0) {
    if (!reader.Fill(*next, mask, kBatchEntries)) {
      const int error = errno;
      pool.Finish();
      return Failed(error, failure);
    }
    pool.Finish();
    if (next->size() > 0) pool.Start(*next);
    for (size_t i = 0; i < current->size(); ++i) {
      if (!VisitEntry(current->NameAt(i), current->metadata[i], record, visit)) {
        return Failed(current->metadata[i].error, failure);
      }
    }
    std::swap(current, next);
  }
  return true;
}

namespace {

class PosixFolderSource : public FolderSource {
 public:
  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    size_t slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash);
    if (folder.empty()) folder = "/";
    const std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return Failed(failure);
    return EnumerateDescriptor(dir, mask, visit, failure);
  }

  bool DescribeType(const std::string& extension, std::string& description) override {
    return mime_.Describe(extension, description);
  }

  bool LookUpMimeType(const std::string& extension, std::string& mime_type) override {
    return mime_.LookUp(extension, mime_type);
  }

  bool LinkTarget(const std::string& path, std::string& target) override {
    return ReadLinkTarget(path, target);
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

void AppendLocaleTime(std::string& out, uint64_t file_time, bool show_seconds) {
  if (file_time >= 0x8000000000000000ULL) return;
  const std::time_t seconds = static_cast<std::time_t>(file_time / 10000000) - kSecondsFrom1601To1970;
  std::tm utc{};
  if (gmtime_r(&seconds, &utc) == nullptr) return;
  // The user's locale for this text alone; the program's stays "C".
  static const locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  char text[128];
  const size_t length = user != static_cast<locale_t>(0)
                            ? strftime_l(text, sizeof text, show_seconds ? "%x %X" : "%x %H:%M", &utc, user)
                            : std::strftime(text, sizeof text, show_seconds ? "%x %X" : "%x %H:%M", &utc);
  out.append(text, length);
}

char FolderSeparator() { return '/'; }

bool LinksEncodeHighBytes() { return true; }

std::string PageCharset() { return "utf-8"; }

bool CsvByteOrderMarkByDefault() { return false; }

bool NamesShowUnrepresentableCharactersAsQuestionMarks() { return false; }
bool SystemTextToUtf8(std::string_view text, std::string& utf8) {
  utf8.assign(text);
  return true;
}

bool Utf8ToSystemText(std::string_view utf8, std::string& text) {
  text.assign(utf8);
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

FolderStatus InspectFolder(const std::string& path, bool to_list, std::string& reason) {
  struct stat info {};
  if (path.empty()) errno = ENOENT;
  if (path.empty() || stat(path.c_str(), &info) != 0) {
    reason = std::strerror(errno);
    if (errno == ENOENT) return FolderStatus::kMissing;
    return errno == ENOTDIR ? FolderStatus::kNotFolder : FolderStatus::kRefused;
  }
  if (!S_ISDIR(info.st_mode)) {
    reason = std::strerror(ENOTDIR);
    return FolderStatus::kNotFolder;
  }
  if (to_list && access(path.c_str(), R_OK | X_OK) != 0) {
    reason = std::strerror(errno);
    return FolderStatus::kRefused;
  }
  return FolderStatus::kFolder;
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  identity.Device = static_cast<uint64_t>(info.st_dev);
  identity.Index = static_cast<uint64_t>(info.st_ino);
  return true;
}

bool MakeFolders(const std::string& path, std::string& reason) {
  for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    const std::string part = path.substr(0, at);
    if (!part.empty() && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
      reason = std::strerror(errno);
      return false;
    }
    if (at == std::string::npos) break;
  }
  if (IsExistingFolder(path)) return true;
  reason = std::strerror(ENOTDIR);
  return false;
}

bool ReadLinkTarget(const std::string& path, std::string& target) {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
  if (length < 0 || static_cast<size_t>(length) >= buffer.size()) return false;
  target.assign(buffer.data(), static_cast<size_t>(length));
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  FileIdentity first, second;
  const bool first_exists = IdentifyFile(a, first);
  const bool second_exists = IdentifyFile(b, second);
  if (first_exists || second_exists) return first_exists && second_exists && first == second;
  const size_t first_slash = a.rfind('/'), second_slash = b.rfind('/');
  const std::string first_name = first_slash == std::string::npos ? a : a.substr(first_slash + 1);
  const std::string second_name = second_slash == std::string::npos ? b : b.substr(second_slash + 1);
  if (first_name.empty() || first_name != second_name) return false;
  const std::string first_folder = first_slash == std::string::npos ? "." : a.substr(0, first_slash + 1);
  const std::string second_folder = second_slash == std::string::npos ? "." : b.substr(0, second_slash + 1);
  return SameFile(first_folder, second_folder);
}

void UseBinaryStandardOutput() {}

bool ReadStandardInput(size_t limit, std::string& bytes, std::string& reason) {
  bytes.clear();
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      reason = std::strerror(errno);
      return false;
    }
    if (bytes.size() + static_cast<size_t>(got) > limit) {
      reason = "larger than the limit";
      return false;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

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

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string real = resolved;
  std::free(resolved);
  return real;
}

std::string ProgramPath() {
  std::vector<char> buffer(4096);
  ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return std::string();
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string UserCacheFolder() {
  // The base directory rules: a relative $XDG_CACHE_HOME is to be ignored.
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return cache;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return std::string();
  std::string folder = home;
  if (folder.back() != '/') folder += '/';
  return folder + ".cache";
}

uint64_t CurrentFileTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return FileTimeOf(now.tv_sec, static_cast<uint32_t>(now.tv_nsec));
}
