// The main window, its page tree and every control on its pages. All of them
// are built once at start and live for the whole run.
#pragma once

#include "toolkit/toolkit.h"

extern iControl MainWindow;
extern iControl PageTree;

// Always visible: the output format and the command buttons.
extern iControl FormatGroup, TxtRadio, HtmlRadio;
extern iControl OpenButton, SaveButton, SaveAsButton, GenerateButton, WebSiteButton, ExitButton;

// Main page.
extern iControl SourceFolderLabel, SourceFolderEdit, SourceFolderButton;
extern iControl OutputFileLabel, OutputFileEdit, OutputFileButton;
extern iControl ColumnsGroup, SizeCheck, TypeCheck, LastWriteCheck, LastReadCheck, CreationTimeCheck,
    ShowSecondsCheck, AttributesCheck;
extern iControl SortGroup, SortByNameRadio, SortBySizeRadio, SortByTypeRadio, SortByLastWriteRadio,
    SortByLastReadRadio, SortByCreationRadio, SortByAttributesRadio, DescOrderCheck, IgnoreCaseCheck;

// HTML page.
extern iControl HtmlGroup, TitleLabel, TitleEdit, BaseLabel, BaseCombo, TableBorderCheck, DivideTableCheck,
    CellSpacingLabel, CellSpacingEdit, CellPaddingLabel, CellPaddingEdit, TableWidthLabel, TableWidthEdit,
    FullNamesCheck, CreateLinksCheck, IncludeParentCheck, ShowSummaryCheck, ShowMasksCheck, SizeInLabel,
    SizeInCombo, DirMaskLabel, DirMaskEdit, FileMaskLabel, FileMaskEdit;

// Background page.
extern iControl BackgroundGroup;
extern iControl CapColorLabel, CapColorCombo, KeyCapColorLabel, KeyCapColorCombo, KeyColColorLabel,
    KeyColColorCombo, TableColorLabel, TableColorCombo, DocColorLabel, DocColorCombo;

// Columns captions page.
extern iControl CaptionsGroup;
extern iControl NameCaptionLabel, NameCaptionEdit, SizeCaptionLabel, SizeCaptionEdit, TypeCaptionLabel,
    TypeCaptionEdit, LastWriteCaptionLabel, LastWriteCaptionEdit, LastReadCaptionLabel, LastReadCaptionEdit,
    CreationCaptionLabel, CreationCaptionEdit, AttributesCaptionLabel, AttributesCaptionEdit;

// Words page.
extern iControl WordsGroup;
extern iControl TotalSizeWordLabel, TotalSizeWordEdit, FileWordLabel, FileWordEdit, FolderWordLabel,
    FolderWordEdit, BytesWordLabel, BytesWordCombo, UserWord1Label, UserWord1Edit, UserWord2Label,
    UserWord2Edit, UserWord3Label, UserWord3Edit, ContentOfWordLabel, ContentOfWordEdit, FilesWordLabel,
    FilesWordEdit, FoldersWordLabel, FoldersWordEdit;

// Custom HTML pages.
extern iControl HeadCustomLabel, HeadCustomMemo, BeforLabel, BeforMemo, AfterLabel, AfterMemo, CustTableLabel,
    CustTableMemo;

// Style pages.
extern iControl MaskStyleLabel, MaskStyleMemo, TableStyleLabel, TableStyleMemo, NameStyleLabel, NameStyleMemo,
    CaptionStyleLabel, CaptionStyleMemo, TitleStyleLabel, TitleStyleMemo, SummaryStyleLabel, SummaryStyleMemo;

// Info page.
extern iControl InfoMemo;

extern const char kProgramTitle[];
extern const char kWebSiteAddress[];

// Creates the main window with every control at its place and with its
// initial value, in the keyboard's order, selects the Main page's tree item,
// shows the Main page and shows the window.
void BuildMainWindow(WNDPROC windowProcedure);

// Makes the checked radio of each radio group the group's tab stop (the
// first one when none is checked), however the check changed.
void PutRadioTabStopsOnChecked();

// Shows the controls of the page selected in the tree and hides the others.
void ShowPage();

// Enables the options that only HTML output uses while "HTML" is chosen.
void UpdateEnabledStates();
