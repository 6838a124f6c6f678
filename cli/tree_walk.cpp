#include "cli/tree_walk.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "listing/entry.h"
#include "output/escapes.h"
#include "output/folder_check.h"
#include "output/generate.h"
#include "output/tree_page.h"
#include "settings/line_ends.h"

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

// What the walk says of a folder that ComposeListing could not list.
std::string ListFailureText(GenerateStatus status, const std::string& folder, const std::string& reason) {
  if (status == GenerateStatus::kTextTooLong) return TextTooLongMessage(reason);
  return "cannot list " + ControlEscaped(folder) + ": " + reason;
}

// Starts up to count - 1 threads running serve beside the caller's; fewer
// when the system has no more to give.
std::vector<std::thread> StartHelpers(size_t count, const std::function<void()>& serve) {
  std::vector<std::thread> helpers;
  for (size_t i = 1; i < count; ++i) {
    try {
      helpers.emplace_back(serve);
    } catch (const std::system_error&) {
      break;
    }
  }
  return helpers;
}

// A folder that holds a repository's own records, by its name in any
// letter case (file systems that ignore case take .GIT for .git).
bool IsRepositoryFolder(const std::string& name) { return LowerCaseBytes(name) == ".git"; }

// Which folders of the tree are entered, shared by both walks.
class TreeRules {
 public:
  TreeRules(const TreeOptions& options, const std::string& top) : options_(options) {
    has_top_identity_ = IdentifyFile(top, top_identity_);
    real_top_ = RealPath(top);
    if (!options_.OutputDir.empty())
      has_output_identity_ = IdentifyFile(options_.OutputDir, output_identity_);
  }

  FolderTask Top(const std::string& top) const {
    FolderTask task;
    task.Path = top;
    task.Chain.push_back(top_identity_);
    return task;
  }

  // The folders to enter, from the run's sub-folders; each is added to
  // with_pages, with the links into the tree that have a page by their own
  // path. Messages go to report, with whether they count as failures.
  // A folder that fails the check is reported, and named with the reason in
  // failed where the caller asks.
  std::vector<FolderTask> Children(const FolderTask& task, const ListingRun& run,
                                   std::set<std::string>& with_pages,
                                   const std::function<void(const std::string&, bool)>& report,
                                   std::map<std::string, std::string>* failed = nullptr) const {
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
      if (options_.LeavesRepositoriesOut && IsRepositoryFolder(name)) {
        report("not entered: " + ControlEscaped(child.Path) +
                   " (a repository's own folder; give it as FOLDER to list it)",
               false);
        continue;
      }
      std::string reason;
      const FolderStatus status = InspectFolder(child.Path, true, reason);
      if (status != FolderStatus::kFolder) {
        const std::string problem = FolderProblem(status, reason);
        report("cannot list " + ControlEscaped(child.Path) + ": " + problem, true);
        if (failed != nullptr) failed->emplace(name, problem);
        continue;
      }
      // Identities only where something asks for them: a stat of every folder.
      FileIdentity identity;
      if (NeedsIdentities() && !IdentifyFile(child.Path, identity)) continue;
      if (options_.OneFileSystem && has_top_identity_ && identity.Device != top_identity_.Device) continue;
      if (has_output_identity_ && identity == output_identity_) continue;
      if (NeedsIdentities() &&
          std::find(task.Chain.begin(), task.Chain.end(), identity) != task.Chain.end()) {
        report("not entered: " + ControlEscaped(child.Path) + " leads back to a folder above it", false);
        continue;
      }
      // A link into the tree leads to a folder listed by its own path: a
      // second page there would be written over the first.
      if (link && IsInsideTop(child.Path)) {
        report("not entered: " + ControlEscaped(child.Path) + " is a link to " +
                   ControlEscaped(RealPath(child.Path)) +
                   ", in the tree: a folder is listed at its own path only",
               false);
        with_pages.insert(name);
        continue;
      }
      child.Parts = task.Parts;
      child.Parts.push_back(name);
      if (NeedsIdentities()) {
        child.Chain = task.Chain;
        child.Chain.push_back(identity);
      }
      with_pages.insert(name);
      children.push_back(std::move(child));
    }
    return children;
  }

 private:
  bool IsInsideTop(const std::string& path) const {
    const std::string real = RealPath(path);
    if (real.empty() || real_top_.empty()) return false;
    const char separator = FolderSeparator();
    const std::string prefix = real_top_.back() == separator ? real_top_ : real_top_ + separator;
    return real == real_top_ || real.compare(0, prefix.size(), prefix) == 0;
  }

  bool NeedsIdentities() const { return options_.Follow || options_.OneFileSystem || has_output_identity_; }

  const TreeOptions& options_;
  bool has_top_identity_ = false;
  FileIdentity top_identity_;
  bool has_output_identity_ = false;
  FileIdentity output_identity_;
  std::string real_top_;
};

class PageTreeWalk {
 public:
  PageTreeWalk(const CommonStruct& settings, const OutputForm& form, const TreeOptions& options,
               FolderSource& source, const TreeReport& report, const TreeProgress& progress)
      : settings_(settings),
        form_(form),
        options_(options),
        source_(source),
        report_(report),
        progress_(progress),
        rules_(options, settings.DirStr) {}

  TreeCounts Run() {
    tasks_.push_back(rules_.Top(settings_.DirStr));
    counts_.Found = 1;
    std::vector<std::thread> helpers = StartHelpers(TreeThreads(options_.Threads), [this] { Serve(); });
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

  void Process(const FolderTask& task) {
    const std::string page_folder =
        options_.OutputDir.empty() ? task.Path : JoinedParts(options_.OutputDir, task.Parts);
    TreePage tree;
    tree.IndexName = options_.IndexName;
    tree.LinkIndex = options_.LinkIndex;
    tree.Path.push_back(options_.TopShown);
    tree.Path.insert(tree.Path.end(), task.Parts.begin(), task.Parts.end());
    ListingPlace place;
    if (!options_.OutputDir.empty()) place.LinkPrefix = FolderLink(page_folder, task.Path);
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
      Report(ListFailureText(status, task.Path, reason), true);
      return;
    }
    std::vector<FolderTask> children =
        rules_.Children(task, run, tree.FoldersWithPages,
                        [this](const std::string& message, bool failed) { Report(message, failed); });
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
  const TreeRules rules_;

  std::mutex mutex_;  // over what follows
  std::condition_variable wake_;
  std::vector<FolderTask> tasks_;
  size_t busy_ = 0;
  TreeCounts counts_;
};

// One folder of a tree written as one document: composed by any thread,
// written by the one that writes the document, in the order of the rows.
struct FolderNode {
  enum class Stage { kWaiting, kComposing, kComposed };
  FolderTask Task;
  Stage State = Stage::kWaiting;
  bool ByHelper = false;            // composed by a helper, and counted among those ahead
  std::unique_ptr<ListingRun> Run;  // null when the folder could not be listed
  std::string Failure;              // why, then
  std::map<std::string, std::shared_ptr<FolderNode>> Children;  // the folders entered, by name
};

class DocumentTreeWalk {
 public:
  DocumentTreeWalk(const CommonStruct& settings, const OutputForm& form, const TreeOptions& options,
                   FolderSource& source, const TreeReport& report, const TreeProgress& progress)
      : settings_(settings),
        form_(form),
        tree_(*form.TreeDocument),
        options_(options),
        source_(source),
        report_(report),
        progress_(progress),
        rules_(options, settings.DirStr),
        output_folder_(options.OutputFile.empty() ? std::string()
                                                  : AbsolutePath(FolderOf(options.OutputFile))) {}

  TreeDocumentOutcome Run(ByteSink& sink, bool null_ends) {
    null_ends_ = null_ends && form_.AppendNullEndedRow != nullptr;
    LineEndWriter platform_ends(sink, PlatformLineEnd());
    out_ = &sink;
    if (!null_ends_ && form_.Ends == LineEnds::kPlatform) {
      platform_ends_ = &platform_ends;
    }
    auto top = std::make_shared<FolderNode>();
    top->Task = rules_.Top(settings_.DirStr);
    outcome_.Counts.Found = 1;
    waiting_.push_back(top);
    const size_t threads = TreeThreads(options_.Threads);
    most_ahead_ = 4 * threads + 16;
    std::vector<std::thread> helpers = StartHelpers(threads, [this] { Serve(); });
    has_helpers_ = !helpers.empty();
    Await(*top);
    if (top->Run == nullptr) {
      outcome_.TopFailure = top->Failure;
    } else {
      Emit(tree_.Head(*top->Run)) && WriteFolder(*top, 0) && Emit(tree_.Tail(outcome_.Totals)) &&
          (platform_ends_ == nullptr || platform_ends_->Finish());
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    wake_.notify_all();
    for (std::thread& helper : helpers) helper.join();
    return outcome_;
  }

 private:
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      // Composed folders wait for the writer: a bound on them bounds memory.
      wake_.wait(lock, [this] { return finished_ || (!waiting_.empty() && ahead_ < most_ahead_); });
      if (finished_) return;
      std::shared_ptr<FolderNode> node = std::move(waiting_.back());
      waiting_.pop_back();
      if (node->State != FolderNode::Stage::kWaiting) continue;  // the writer took it
      node->State = FolderNode::Stage::kComposing;
      lock.unlock();
      Compose(*node);
      lock.lock();
      node->State = FolderNode::Stage::kComposed;
      node->ByHelper = true;
      ++ahead_;
      wake_.notify_all();
    }
  }

  // Waits for the folder to be composed, composing it here when no thread
  // has begun it.
  void Await(FolderNode& node) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (node.State == FolderNode::Stage::kWaiting) {
      node.State = FolderNode::Stage::kComposing;
      lock.unlock();
      Compose(node);
      lock.lock();
      node.State = FolderNode::Stage::kComposed;
      return;
    }
    wake_.wait(lock, [&node] { return node.State == FolderNode::Stage::kComposed; });
    if (node.ByHelper) {
      node.ByHelper = false;
      --ahead_;
      wake_.notify_all();
    }
  }

  void Report(const std::string& message, bool failed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed) ++outcome_.Counts.Failed;
    report_(message);
  }

  void Compose(FolderNode& node) {
    const FolderTask& task = node.Task;
    ListingPlace place;
    place.Folder = task.Path;
    place.FolderShown = JoinedParts(options_.TopShown, task.Parts);
    place.IncludeParent = task.Parts.empty() && settings_.IncludeParent;
    if (!output_folder_.empty() && AbsolutePath(task.Path) == output_folder_)
      place.LeftOut.push_back(FileNameOf(options_.OutputFile));
    auto run = std::make_unique<ListingRun>();
    std::string reason;
    const GenerateStatus status = ComposeListing(settings_, place, source_, form_, *run, reason);
    if (status != GenerateStatus::kWritten) {
      node.Failure = status == GenerateStatus::kTextTooLong ? TextTooLongMessage(reason) : reason;
      Report(ListFailureText(status, task.Path, reason), true);
      return;
    }
    run->NullEnds = null_ends_;
    if (tree_.NamesByPath) {
      for (const std::string& part : task.Parts) run->PathPrefix += part + FolderSeparator();
    }
    std::set<std::string> entered;
    std::map<std::string, std::string> failed;
    std::vector<FolderTask> children = rules_.Children(
        task, *run, entered, [this](const std::string& message, bool failure) { Report(message, failure); },
        &failed);
    for (auto& [name, reason] : failed) {
      auto failed_node = std::make_shared<FolderNode>();
      failed_node->State = FolderNode::Stage::kComposed;
      failed_node->Failure = std::move(reason);
      node.Children.emplace(name, std::move(failed_node));
    }
    std::vector<std::shared_ptr<FolderNode>> nodes;
    for (FolderTask& child : children) {
      auto child_node = std::make_shared<FolderNode>();
      child_node->Task = std::move(child);
      node.Children.emplace(child_node->Task.Parts.back(), child_node);
      nodes.push_back(std::move(child_node));
    }
    node.Run = std::move(run);
    std::lock_guard<std::mutex> lock(mutex_);
    outcome_.Counts.Found += nodes.size();
    if (!has_helpers_) return;  // the writer lists each folder as it comes to it
    // Reversed, so that the first sub-folder is taken first, as it is written.
    for (auto child = nodes.rbegin(); child != nodes.rend(); ++child) waiting_.push_back(std::move(*child));
    wake_.notify_all();
  }

  bool Emit(std::string_view text) {
    if (text.empty()) return true;
    const bool written = platform_ends_ != nullptr ? platform_ends_->Write(text) : out_->Write(text);
    if (!written) outcome_.WriteFailed = true;
    return written;
  }

  // Writes the folder's rows, each entered sub-folder's rows after its own;
  // false when a write fails.
  bool WriteFolder(FolderNode& node, size_t depth) {
    ListingRun& run = *node.Run;
    const auto append = null_ends_ ? form_.AppendNullEndedRow : form_.AppendRow;
    const bool descending = settings_.DescOrder;
    std::string row;
    for (const auto* list : {&run.Listing.FolderList, &run.Listing.FileList}) {
      for (size_t i = 0; i < list->size(); ++i) {
        const FileInfoX& entry = (*list)[descending ? list->size() - 1 - i : i];
        row.clear();
        append(run, entry, row);
        if (depth > 0 && tree_.IndentRow != nullptr) tree_.IndentRow(row, depth);
        const auto child =
            list == &run.Listing.FolderList ? node.Children.find(entry.Find.cFileName) : node.Children.end();
        if (child == node.Children.end()) {
          if (!Emit(row)) return false;
          continue;
        }
        FolderNode& sub = *child->second;
        Await(sub);
        if (sub.Run == nullptr) {
          if (tree_.FailFolder != nullptr) tree_.FailFolder(row, sub.Failure);
          if (!Emit(row)) return false;
        } else {
          if (tree_.OpenFolder != nullptr) tree_.OpenFolder(row, depth);
          if (!Emit(row) || !WriteFolder(sub, depth + 1)) return false;
          if (tree_.CloseFolder != nullptr && !Emit(tree_.CloseFolder(depth))) return false;
        }
        // Its rows are written: its listing may go, though the helpers'
        // stack may still hold the folder.
        sub.Run.reset();
        sub.Children.clear();
      }
    }
    outcome_.Totals.FolderCount += run.Totals.FolderCount;
    outcome_.Totals.FileCount += run.Totals.FileCount;
    outcome_.Totals.TotalBytes += run.Totals.TotalBytes;
    std::lock_guard<std::mutex> lock(mutex_);
    ++outcome_.Counts.Listed;
    outcome_.Counts.Entries += run.Totals.FolderCount + run.Totals.FileCount;
    progress_(outcome_.Counts);
    return true;
  }

  const CommonStruct& settings_;
  const OutputForm& form_;
  const TreeDocumentForm& tree_;
  const TreeOptions& options_;
  FolderSource& source_;
  const TreeReport& report_;
  const TreeProgress& progress_;
  const TreeRules rules_;
  const std::string output_folder_;  // the document's folder, where its file is left out
  bool null_ends_ = false;
  bool has_helpers_ = false;
  ByteSink* out_ = nullptr;
  LineEndWriter* platform_ends_ = nullptr;  // where the form's line ends are the platform's

  std::mutex mutex_;  // over what follows
  std::condition_variable wake_;
  std::vector<std::shared_ptr<FolderNode>> waiting_;
  size_t ahead_ = 0;  // composed by a helper and not yet taken by the writer
  size_t most_ahead_ = 0;
  bool finished_ = false;
  TreeDocumentOutcome outcome_;
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

TreeDocumentOutcome WriteTreeDocument(const CommonStruct& settings, const OutputForm& form,
                                      const TreeOptions& options, FolderSource& source, ByteSink& sink,
                                      bool null_ends, const TreeReport& report,
                                      const TreeProgress& progress) {
  return DocumentTreeWalk(settings, form, options, source, report, progress).Run(sink, null_ends);
}
