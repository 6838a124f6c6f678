// Generation on a worker thread, so that the window keeps painting and
// answering while a large folder is read and written. The worker runs the
// engine on its own copy of the settings; it touches no window except to
// post kGenerationEndedMessage when it is done. One generation at a time.
#pragma once

#include "platform/win32port.h"

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "settings/common_struct.h"

// Posted to the window given to StartGeneration when the worker has ended.
constexpr UINT kGenerationEndedMessage = WM_APP + 1;

enum class GenerationOutcome {
  kWritten,
  kCannotReadFolder,
  kTextTooLong,
  kCannotWrite,
  kOutOfMemory,
  kCancelled
};

struct GenerationResult {
  GenerationOutcome Outcome = GenerationOutcome::kCancelled;
  // The paths of the generated record, for the messages about it.
  std::string SourceFolder;
  std::string OutputFile;
  std::string OutputName;
  // The engine's reason of a failure: the system's words for the folder's
  // reading or the file's writing, the key of the text for kTextTooLong.
  std::string Reason;
  // The listed names that the system gave with "?" for characters outside
  // the code page.
  size_t ReplacedNames = 0;
};

// Starts generating a copy of the record from the source on a worker thread.
// False when a generation is running already, or when the copy or the thread
// cannot be made (nothing runs then).
bool StartGeneration(const CommonStruct& record, FolderSource& source, HWND window);

// True from StartGeneration until FinishGeneration.
bool GenerationRunning();

enum class GenerationStep {
  kReading,           // the folder's entries
  kSorting,           // the entries of a pass over the folder just read
  kWriting,           // the document into the new file
  kWaitingToReplace,  // written whole, held before it replaces the old file
};

struct GenerationProgress {
  GenerationStep Step = GenerationStep::kReading;
  uint32_t EntriesRead = 0;     // over every pass so far
  uint32_t PercentWritten = 0;  // of the document, 0 to 100
};

// Where the running generation is; all zero without one.
GenerationProgress CurrentGenerationProgress();

// Asks the worker to stop at the next entry it reads, type it looks up or
// piece of the document it writes, or where it is held. A stopped
// generation leaves the output file as it was.
void CancelGeneration();
bool GenerationCancelRequested();

// While held, the running generation goes on reading and writing its new
// file but does not put it in the old one's place: it waits for
// ReleaseGenerationCommit, which lets it finish, or for CancelGeneration,
// which discards the new file. A generation that has already replaced the
// old file is not held.
void HoldGenerationCommit();
void ReleaseGenerationCommit();

// Waits for the worker to end and gives what it did; the next generation may
// start afterwards. Without a running generation the outcome is kCancelled.
GenerationResult FinishGeneration();
