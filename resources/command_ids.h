// Command identifiers of the keyboard accelerators, shared by the resource
// script and the window program.
#pragma once

#define IDC_OPEN_SETTINGS 9002
#define IDC_SAVE_SETTINGS 9003
#define IDC_GENERATE 9004
#define IDC_SAVE_SETTINGS_AS 9015
#define IDC_WEB_SITE 9016
#define IDC_SELECT_SOURCE_FOLDER 9017
#define IDC_SELECT_OUTPUT_FILE 9018
