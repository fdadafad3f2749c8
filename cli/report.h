// kpl's exit statuses and its one-line messages.
#pragma once

#include "display/transaction.h"

#include <string>

enum ExitStatus {
    kExitDone = 0,
    kExitUsage = 1,
    kExitUnreadable = 2, // a picture or list that cannot be read, an output that cannot be written
    kExitPort = 3,       // a port that cannot be opened or set up
    kExitWrite = 4,      // a write that failed or fell short
    kExitInterrupted = 130, // Ctrl-C or SIGTERM, as shells report SIGINT
};

// "kpl: <what>: <why>" on standard error, in Printable form.
void Complain(const std::string& what, const std::string& why);

// The text with control characters as \xHH, so that a name read from a
// binary file cannot garble the terminal or split a line.
std::string Printable(const std::string& text);

// What became of a transaction: kExitDone when everything was sent, else
// the status, with the reason in `why`.
ExitStatus JudgeLineOutcome(const LineOutcome& outcome, std::string& why);
