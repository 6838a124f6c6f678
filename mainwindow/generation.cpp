#include "mainwindow/generation.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>

#include "listing/replaced_names.h"
#include "output/document_text.h"
#include "output/generate.h"

namespace {

// Thrown through the engine from the folder source or the output when the
// user cancels, and caught by the worker alone.
struct GenerationCancelled {};

struct Job {
  std::unique_ptr<CommonStruct> record;
  FolderSource* source = nullptr;
  HWND window = nullptr;
  std::atomic<GenerationStep> step{GenerationStep::kReading};
  std::atomic<uint32_t> entriesRead{0};
  std::atomic<uint32_t> percentWritten{0};
  std::atomic<bool> cancelRequested{false};
  // The gate before the new file replaces the old one; cancelRequested
  // changes under it too, so that a waiting worker sees the change.
  std::mutex gate;
  std::condition_variable gateChanged;
  bool commitHeld = false;
  GenerationResult result;
  std::thread worker;
};

std::unique_ptr<Job> RunningJob;

void StopWhenCancelled(const Job& job) {
  if (job.cancelRequested.load(std::memory_order_relaxed)) throw GenerationCancelled();
}

// Counts the entries that pass and stops the scan on request; the engine
// sees an ordinary folder source.
class CountingFolderSource : public FolderSource {
 public:
  explicit CountingFolderSource(Job& job) : job_(job) {}

  // The entries are ordered once the passes over the folder end.
  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    bool reading = false;
    const bool read = job_.source->Enumerate(
        pattern,
        [this, &visit, &reading](const FolderRecord& record) {
          StopWhenCancelled(job_);
          if (!reading) {
            reading = true;
            job_.step = GenerationStep::kReading;
          }
          job_.entriesRead.fetch_add(1, std::memory_order_relaxed);
          visit(record);
        },
        failure);
    if (read) job_.step = GenerationStep::kSorting;
    return read;
  }

  // The types are asked for the rows once the folder is read and before
  // they are ordered; the title counts that as making the document.
  bool DescribeType(const std::string& extension, std::string& description) override {
    StopWhenCancelled(job_);
    job_.step = GenerationStep::kWriting;
    return job_.source->DescribeType(extension, description);
  }

 private:
  Job& job_;
};

// Passes the document on to the output file until the user cancels, and
// counts how much of it has gone. The file's line ends may be longer than
// the document's, so the count stops at the whole.
class CancellableSink : public ByteSink {
 public:
  CancellableSink(ByteSink& target, Job& job, uint64_t total) : target_(target), job_(job), total_(total) {}

  bool Write(std::string_view bytes) override {
    StopWhenCancelled(job_);
    written_ += bytes.size();
    const uint64_t percent = total_ == 0 ? 100 : written_ * 100 / total_;
    job_.percentWritten.store(static_cast<uint32_t>(std::min<uint64_t>(percent, 100)),
                              std::memory_order_relaxed);
    return target_.Write(bytes);
  }

 private:
  ByteSink& target_;
  Job& job_;
  uint64_t total_;
  uint64_t written_ = 0;
};

// Returns once the new file may replace the old one, or was cancelled.
void WaitWhileCommitHeld(Job& job) {
  std::unique_lock<std::mutex> lock(job.gate);
  if (job.commitHeld) job.step = GenerationStep::kWaitingToReplace;
  job.gateChanged.wait(lock, [&job] { return !job.commitHeld || job.cancelRequested; });
}

GenerationOutcome OutcomeOf(GenerateStatus status) {
  switch (status) {
    case GenerateStatus::kWritten:
      return GenerationOutcome::kWritten;
    case GenerateStatus::kCannotReadFolder:
      return GenerationOutcome::kCannotReadFolder;
    case GenerateStatus::kTextTooLong:
      return GenerationOutcome::kTextTooLong;
    case GenerateStatus::kCannotWrite:
      break;
  }
  return GenerationOutcome::kCannotWrite;
}

// The engine's generation with a way out at every entry read, every type
// looked up and every piece written; a cancelled output file is discarded,
// so the old one stays as it was.
void Generate(Job& job) {
  CountingFolderSource source(job);
  ListingOutput output;
  output.Request = ClassicOutputRequest(*job.record);
  output.Wrap = [&job](ByteSink& file, ListingRun& run, const DocumentWrite& write) {
    job.step = GenerationStep::kWriting;
    CancellableSink sink(file, job, RunLength(run));
    const bool written = write(sink);
    // The engine puts the new file in the old one's place once this returns,
    // so the hold and a stop after the last piece still keep the old file.
    if (written) {
      WaitWhileCommitHeld(job);
      StopWhenCancelled(job);
    }
    return written;
  };
  ListingRun run;
  const GenerateResult generated = GenerateListing(*job.record, source, output, run);
  job.result.Outcome = OutcomeOf(generated.Status);
  job.result.Reason = generated.Reason;
  job.result.ReplacedNames = CountReplacedNames(run.Listing);
}

void RunJob(Job& job) {
  try {
    Generate(job);
  } catch (const GenerationCancelled&) {
    job.result.Outcome = GenerationOutcome::kCancelled;
  } catch (const std::bad_alloc&) {
    job.result.Outcome = GenerationOutcome::kOutOfMemory;
  }
  // The listing of a large folder is let go here rather than on the window's
  // thread, where taking it apart would hold up the window.
  job.record.reset();
  PostMessageA(job.window, kGenerationEndedMessage, 0, 0);
}

}  // namespace

bool StartGeneration(const CommonStruct& record, FolderSource& source, HWND window) {
  if (RunningJob) return false;
  try {
    auto job = std::make_unique<Job>();
    job->record = std::make_unique<CommonStruct>(record);
    job->source = &source;
    job->window = window;
    job->result.SourceFolder = record.DirStr;
    job->result.OutputFile = record.OutputFile;
    job->result.OutputName = record.OutputName;
    Job& started = *job;
    job->worker = std::thread(RunJob, std::ref(started));
    RunningJob = std::move(job);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool GenerationRunning() { return RunningJob != nullptr; }

GenerationProgress CurrentGenerationProgress() {
  GenerationProgress progress;
  if (!RunningJob) return progress;
  progress.Step = RunningJob->step;
  progress.EntriesRead = RunningJob->entriesRead.load(std::memory_order_relaxed);
  progress.PercentWritten = RunningJob->percentWritten.load(std::memory_order_relaxed);
  return progress;
}

void CancelGeneration() {
  if (!RunningJob) return;
  {
    std::lock_guard<std::mutex> lock(RunningJob->gate);
    RunningJob->cancelRequested = true;
  }
  RunningJob->gateChanged.notify_all();
}

void HoldGenerationCommit() {
  if (!RunningJob) return;
  std::lock_guard<std::mutex> lock(RunningJob->gate);
  RunningJob->commitHeld = true;
}

void ReleaseGenerationCommit() {
  if (!RunningJob) return;
  {
    std::lock_guard<std::mutex> lock(RunningJob->gate);
    RunningJob->commitHeld = false;
  }
  RunningJob->gateChanged.notify_all();
}

bool GenerationCancelRequested() { return RunningJob && RunningJob->cancelRequested; }

GenerationResult FinishGeneration() {
  if (!RunningJob) return GenerationResult{};
  RunningJob->worker.join();
  GenerationResult result = std::move(RunningJob->result);
  RunningJob.reset();
  return result;
}
