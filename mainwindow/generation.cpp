#include "mainwindow/generation.h"

#include <atomic>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>

#include "output/generate.h"

namespace {

// Thrown through the engine from the folder source or the output when the
// user cancels, and caught by the worker alone.
struct GenerationCancelled {};

struct Job {
  std::unique_ptr<CommonStruct> record;
  FolderSource* source = nullptr;
  HWND window = nullptr;
  std::atomic<uint32_t> entriesRead{0};
  std::atomic<bool> cancelRequested{false};
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

  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    return job_.source->Enumerate(
        pattern,
        [this, &visit](const FolderRecord& record) {
          StopWhenCancelled(job_);
          job_.entriesRead.fetch_add(1, std::memory_order_relaxed);
          visit(record);
        },
        failure);
  }

  bool DescribeType(const std::string& extension, std::string& description) override {
    StopWhenCancelled(job_);
    return job_.source->DescribeType(extension, description);
  }

 private:
  Job& job_;
};

// Passes the document on to the output file until the user cancels.
class CancellableSink : public ByteSink {
 public:
  CancellableSink(ByteSink& target, const Job& job) : target_(target), job_(job) {}

  bool Write(std::string_view bytes) override {
    StopWhenCancelled(job_);
    return target_.Write(bytes);
  }

 private:
  ByteSink& target_;
  const Job& job_;
};

GenerationOutcome OutcomeOf(GenerateStatus status) {
  switch (status) {
    case GenerateStatus::kWritten:
      return GenerationOutcome::kWritten;
    case GenerateStatus::kCannotReadFolder:
      return GenerationOutcome::kCannotReadFolder;
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
  output.Wrap = [&job](ByteSink& file, const DocumentWrite& write) {
    CancellableSink sink(file, job);
    const bool written = write(sink);
    // A stop after the last piece has gone out still keeps the old file.
    if (written) StopWhenCancelled(job);
    return written;
  };
  const GenerateResult generated = GenerateListing(*job.record, source, output);
  job.result.Outcome = OutcomeOf(generated.Status);
  job.result.Reason = generated.Reason;
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

uint32_t GenerationEntriesRead() {
  return RunningJob ? RunningJob->entriesRead.load(std::memory_order_relaxed) : 0;
}

void CancelGeneration() {
  if (RunningJob) RunningJob->cancelRequested = true;
}

bool GenerationCancelRequested() { return RunningJob && RunningJob->cancelRequested; }

GenerationResult FinishGeneration() {
  if (!RunningJob) return GenerationResult{};
  RunningJob->worker.join();
  GenerationResult result = std::move(RunningJob->result);
  RunningJob.reset();
  return result;
}
