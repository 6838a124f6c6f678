// The few console facts the command line needs beyond the engine's seam.
#pragma once

// Makes standard output carry bytes unchanged: the documents arrive with
// their line ends already as CR LF, which a text-mode stream would double.
void UseBinaryStandardOutput();

// True when standard error is a terminal, where a progress line is welcome.
bool StandardErrorIsTerminal();
