// Interruption seam: a long run (a batch) ends at a point of its choosing
// when the user asks it to stop, instead of in the middle of a write.
#pragma once

// From now on Ctrl-C, SIGTERM and SIGHUP (on Windows Ctrl-C, Ctrl-Break and the
// console closing) only set the flag Interrupted() reads.
void NoteInterruptions();

// Whether the user has asked to stop since NoteInterruptions().
bool Interrupted();

// On Windows a closing console waits for this (a few seconds at most)
// before the system ends the program, so that what the program keeps on
// its way out is written; elsewhere it does nothing.
void FinishInterruption();
