// The main window, its page tree and every control on its pages. All of them
// are built once at start from the layout and live for the whole run.
#pragma once

#include "mainwindow/layout.h"
#include "toolkit/toolkit.h"

// Every control of the main window, the window itself included.
extern iControl Controls[kControlCount];
// Controls[kMainWindow], the owner of every message and dialog.
extern iControl& MainWindow;

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
