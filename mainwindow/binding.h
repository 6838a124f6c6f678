// Copying between the controls and the settings record, and the folder
// checks that collecting runs.
#pragma once

#include <string>

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

// SetPathFields of the program's settings record with the source folder and
// the output file edit's text.
void SetPathFieldsFromOutputEdit(const std::string& sourceFolder);

// True when the path names a folder that the process can make its current
// folder. The current folder is the same afterwards.
bool FolderExists(const std::string& path);

// Makes the settings that the controls show now the unchanged state, so that
// only later edits count as changes.
void TakeSettingsBaseline();
