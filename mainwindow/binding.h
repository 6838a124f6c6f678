// Copying between the controls and the settings record, the folder checks,
// and the Generate command.
#pragma once

#include <string>

#include "mainwindow/generation.h"
#include "settings/common_struct.h"

// Copies every control into the program's settings record. With report set,
// a missing source or output folder is shown in one message first and the
// result is false; the record is collected either way.
bool CollectSettings(bool report);

// Shows the program's settings record in the controls, then updates the
// enabled states. "Include parent" keeps its state.
void PushSettingsToControls();

// Sets DirStr, OutputFolder, OutputName and OutputFile (the folder, a
// backslash unless the folder ends in one, and the name).
void SetPathFields(CommonStruct& record, const std::string& sourceFolder, const std::string& outputFolder,
                   const std::string& outputName);

// True when the path names a folder that the process can make its current
// folder. The current folder is the same afterwards.
bool FolderExists(const std::string& path);

// The Generate command: collects and checks the settings, then starts the
// generation on the worker thread. Does nothing while one runs.
void OnGenerate();

// Reports an ended generation: the offer to show the file, or what failed.
// A cancelled generation is not reported.
void ReportGeneration(const GenerationResult& result);

// Makes the settings that the controls show now the unchanged state, so that
// only later edits count as changes.
void TakeSettingsBaseline();

// Shows an error over the main window with the program's caption.
void ShowError(const std::string& text);

// "Cannot write to: " when a file of that path exists, else "Cannot create: ".
void ReportWriteFailure(const std::string& path);
