// The main window, its page tree and every control on its pages. All of them
// are built once at start from the layout and live for the whole run.
#pragma once

#include <vector>

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

// How a control takes part in the keyboard's way through the window.
enum class Stop {
  Own,         // a tab stop of its own
  FirstRadio,  // starts a radio group: one tab stop, at its checked radio
  NextRadio,   // reached from the other radios of its group with the arrow keys
  Holder,      // a group box: the controls inside it follow it
};

struct TabEntry {
  ControlId control;
  Stop stop;
};

// Every control but the labels, in the order that Tab and Shift+Tab follow:
// the reading order of the layout, page by page as the tree names them, then
// the controls that every page shows.
const std::vector<TabEntry>& KeyboardOrder();

// Makes the checked radio of each radio group the group's tab stop (the
// first one when none is checked), however the check changed.
void PutRadioTabStopsOnChecked();

// Shows the controls of the page selected in the tree and hides the others.
void ShowPage();

// Enables the options that only HTML output uses while "HTML" is chosen.
void UpdateEnabledStates();
