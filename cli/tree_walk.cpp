#include "cli/tree_walk.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "listing/entry.h"
#include "output/escapes.h"
#include "output/folder_check.h"
#include "output/generate.h"
#include "output/tree_page.h"

namespace {

constexpr size_t kMostThreads = 16;

// One folder to list: its path, its names below the top, and the folders
// on the way to it, by identity, for telling loops.
struct FolderTask {
  std::string Path;
  std::vector<std::string> Parts;
  std::vector<FileIdentity> Chain;
};

std::string Joined(const std::string& folder, const std::string& name) {
  const char separator = FolderSeparator();
  if (!folder.empty() && (folder.back() == separator || folder.back() == '/')) return folder + name;
  return folder + separator + name;
}

std::string JoinedParts(std::string folder, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) folder = Joined(folder, part);
  return folder;
}

std::vector<std::string> PartsOf(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '/' || c == FolderSeparator()) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// The link from the folder `from` to the folder `to`, both absolute: up to
// where they part, then down; empty when they are one.
std::string RelativeLink(const std::string& from, const std::string& to) {
  const std::vector<std::string> a = PartsOf(from), b = PartsOf(to);
  size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  std::string link;
  for (size_t i = common; i < a.size(); ++i) link += "../";
  for (size_t i = common; i < b.size(); ++i) {
    AppendLinkForm(link, b[i]);
    link += '/';
  }
  return link;
}

// Compares the bytes written with a file's, and stops at the first that
// differs: a page that stays as it is need not be written.
class ComparingSink : public ByteSink {
 public:
  explicit ComparingSink(FileReader& file) : file_(file) {}

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (held_.empty()) {
        held_.resize(kPiece);
        held_.resize(file_.Read(&held_[0], kPiece));
        at_ = 0;
        if (held_.empty()) return false;  // the file ends first
      }
      const size_t count = std::min(bytes.size(), held_.size() - at_);
      if (bytes.compare(0, count, std::string_view(held_).substr(at_, count)) != 0) return false;
      bytes.remove_prefix(count);
      at_ += count;
      if (at_ == held_.size()) {
        held_.clear();
        at_ = 0;
      }
    }
    return true;
  }

  // True when the file holds nothing after what was written.
  bool AtEnd() {
    char byte;
    return at_ == held_.size() && file_.Read(&byte, 1) == 0;
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;
  FileReader& file_;
  std::string held_;
  size_t at_ = 0;
};

bool SameAsFile(ListingRun& run, const std::string& path) {
  FileReader file;
  if (!file.Open(path)) return false;
  ComparingSink sink(file);
  return WriteRun(run, sink) && sink.AtEnd();
}

// True when the file at the path was written by this program, or no mark
// could tell: a page has a generator line near its start; a text list has
// none to look for.
bool WrittenByKestrova(const std::string& path, const OutputForm& form) {
  if (form.Code == FormCode::kText) return true;
  FileReader file;
  if (!file.Open(path)) return true;
  std::string start(8192, '\0');
  start.resize(file.Read(&start[0], start.size()));
  return start.find("<meta name=\"generator\" content=\"Kestrova") != std::string::npos ||
         start.find("<META NAME=\"Generator\" CONTENT=\"Kestrova") != std::string::npos;
}

class PageTreeWalk {
 public:
  PageTreeWalk(const CommonStruct& settings, const OutputForm& form, const TreeOptions& options,
               FolderSource& source, const TreeReport& report, const TreeProgress& progress)
      : settings_(settings),
        form_(form),
        options_(options),
        source_(source),
        report_(report),
        progress_(progress) {}

  TreeCounts Run() {
    FolderTask top;
    top.Path = settings_.DirStr;
    FileIdentity identity;
    has_top_identity_ = IdentifyFile(top.Path, identity);
    top_device_ = identity.Device;
    real_top_ = RealPath(top.Path);
    top.Chain.push_back(identity);
    if (!options_.OutputDir.empty())
      has_output_identity_ = IdentifyFile(options_.OutputDir, output_identity_);
    tasks_.push_back(std::move(top));
    counts_.Found = 1;
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < TreeThreads(options_.Threads); ++i) {
      try {
        helpers.emplace_back(&PageTreeWalk::Serve, this);
      } catch (const std::system_error&) {
        break;  // no more threads to be had: fewer do the work
      }
    }
    Serve();
    for (std::thread& helper : helpers) helper.join();
    return counts_;
  }

 private:
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !tasks_.empty() || busy_ == 0; });
      if (tasks_.empty()) break;
      // The last folder found first: the walk goes deep before wide, so the
      // folders in flight stay few.
      FolderTask task = std::move(tasks_.back());
      tasks_.pop_back();
      ++busy_;
      lock.unlock();
      Process(task);
      lock.lock();
      --busy_;
      if (busy_ == 0 || !tasks_.empty()) wake_.notify_all();
    }
    wake_.notify_all();
  }

  void Report(const std::string& message, bool failed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed) ++counts_.Failed;
    report_(message);
  }

  // The folders to enter, from the run's sub-folders, each marked on the
  // tree page as having a page of its own.
  std::vector<FolderTask> Children(const FolderTask& task, const ListingRun& run, TreePage& tree) {
    std::vector<FolderTask> children;
    const size_t depth = task.Parts.size() + 1;
    if (options_.MaxDepth != 0 && depth >= options_.MaxDepth) return children;
    for (const FileInfoX& entry : run.Listing.FolderList) {
      if (IsParentEntry(entry)) continue;
      const std::string& name = entry.Find.cFileName;
      const bool link = IsLink(entry.Find.dwFileAttributes);
      if (link && !options_.Follow) continue;
      FolderTask child;
      child.Path = Joined(task.Path, name);
      std::string reason;
      const FolderStatus status = InspectFolder(child.Path, true, reason);
      if (status != FolderStatus::kFolder) {
        Report("cannot list " + ControlEscaped(child.Path) + ": " + FolderProblem(status, reason), true);
        continue;
      }
      // Identities only where something asks for them: a stat of every folder.
      FileIdentity identity;
      if (NeedsIdentities() && !IdentifyFile(child.Path, identity)) continue;
      if (options_.OneFileSystem && has_top_identity_ && identity.Device != top_device_) continue;
      if (has_output_identity_ && identity == output_identity_) continue;
      if (NeedsIdentities() &&
          std::find(task.Chain.begin(), task.Chain.end(), identity) != task.Chain.end()) {
        Report("not entered: " + ControlEscaped(child.Path) + " leads back to a folder above it", false);
        continue;
      }
      // A link into the tree leads to a folder that has its page by its own
      // path: a second page there would be written over the first.
      if (link && IsInsideTop(child.Path)) {
        tree.FoldersWithPages.insert(name);
        continue;
      }
      child.Parts = task.Parts;
      child.Parts.push_back(name);
      if (NeedsIdentities()) {
        child.Chain = task.Chain;
        child.Chain.push_back(identity);
      }
      tree.FoldersWithPages.insert(name);
      children.push_back(std::move(child));
    }
    return children;
  }

  bool IsInsideTop(const std::string& path) const {
    const std::string real = RealPath(path);
    if (real.empty() || real_top_.empty()) return false;
    const char separator = FolderSeparator();
    const std::string prefix = real_top_.back() == separator ? real_top_ : real_top_ + separator;
    return real == real_top_ || real.compare(0, prefix.size(), prefix) == 0;
  }

  bool NeedsIdentities() const { return options_.Follow || options_.OneFileSystem || has_output_identity_; }

  void Process(const FolderTask& task) {
    const std::string page_folder =
        options_.OutputDir.empty() ? task.Path : JoinedParts(options_.OutputDir, task.Parts);
    TreePage tree;
    tree.IndexName = options_.IndexName;
    tree.LinkIndex = options_.LinkIndex;
    tree.Path.push_back(options_.TopShown);
    tree.Path.insert(tree.Path.end(), task.Parts.begin(), task.Parts.end());
    if (!options_.OutputDir.empty()) tree.FileLinkPrefix = RelativeLink(page_folder, task.Path);
    ListingPlace place;
    place.Folder = task.Path;
    place.FolderShown = JoinedParts(options_.TopShown, task.Parts);
    // Every page below the top leads back up.
    place.IncludeParent = !task.Parts.empty() || settings_.IncludeParent;
    // Pages of an earlier walk are never listed, wherever this one writes.
    place.LeftOut.push_back(options_.IndexName);
    place.Tree = &tree;
    ListingRun run;
    std::string reason;
    const GenerateStatus status = ComposeListing(settings_, place, source_, form_, run, reason);
    if (status != GenerateStatus::kWritten) {
      Report(status == GenerateStatus::kTextTooLong
                 ? TextTooLongMessage(reason)
                 : "cannot list " + ControlEscaped(task.Path) + ": " + reason,
             true);
      return;
    }
    std::vector<FolderTask> children = Children(task, run, tree);
    const bool written = WritePage(run, page_folder);
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.Listed;
    counts_.Entries += run.Totals.FolderCount + run.Totals.FileCount;
    counts_.Found += children.size();
    // Reversed, so that the first sub-folder is taken first.
    for (auto child = children.rbegin(); child != children.rend(); ++child)
      tasks_.push_back(std::move(*child));
    if (written) progress_(counts_);
  }

  // Writes the page unless it stands as it would be written; false when it
  // could not be written (reported).
  bool WritePage(ListingRun& run, const std::string& page_folder) {
    std::string reason;
    if (!options_.OutputDir.empty() && !MakeFolders(page_folder, reason)) {
      Report("cannot write " + ControlEscaped(Joined(page_folder, options_.IndexName)) + ": " + reason, true);
      return false;
    }
    const std::string page = Joined(page_folder, options_.IndexName);
    if (!WrittenByKestrova(page, form_)) {
      Report(
          "cannot write " + ControlEscaped(page) +
              ": a file that kestrova-cli did not write has that name, and it is kept (-o names another file "
              "for the pages)",
          true);
      return false;
    }
    if (SameAsFile(run, page)) {
      std::lock_guard<std::mutex> lock(mutex_);
      ++counts_.Unchanged;
      return true;
    }
    // A page written into the folder it lists must not change the folder's
    // time, which the pages above and below show: a rerun would find them
    // changed, and write them anew, each time.
    uint64_t folder_time = 0;
    const bool keep_time = options_.OutputDir.empty() && ReadWriteTime(page_folder, folder_time);
    const FileWriteOutcome outcome = WriteListingFile(run, page, nullptr, options_.Method);
    if (keep_time) SetWriteTime(page_folder, folder_time);
    if (!outcome.Written) {
      Report("cannot write " + ControlEscaped(page) + ": " + outcome.Reason, true);
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.Written;
    for (const std::string& warning : outcome.Notes.Warnings) report_("warning: " + ControlEscaped(warning));
    return true;
  }

  const CommonStruct& settings_;
  const OutputForm& form_;
  const TreeOptions& options_;
  FolderSource& source_;
  const TreeReport& report_;
  const TreeProgress& progress_;
  bool has_top_identity_ = false;
  uint64_t top_device_ = 0;
  bool has_output_identity_ = false;
  FileIdentity output_identity_;
  std::string real_top_;

  std::mutex mutex_;  // over what follows
  std::condition_variable wake_;
  std::vector<FolderTask> tasks_;
  size_t busy_ = 0;
  TreeCounts counts_;
};

}  // namespace

size_t TreeThreads(size_t asked) {
  if (asked != 0) return std::min(asked, kMostThreads);
  const unsigned online = std::thread::hardware_concurrency();
  return std::clamp<size_t>(online, 1, kMostThreads);
}

TreeCounts WriteTreePages(const CommonStruct& settings, const OutputForm& form, const TreeOptions& options,
                          FolderSource& source, const TreeReport& report, const TreeProgress& progress) {
  return PageTreeWalk(settings, form, options, source, report, progress).Run();
}
