// What went wrong in a line transaction, in the words kpl and the designer
// show after the port's name: "in use by another program (Device or
// resource busy)".
#pragma once

#include "display/transaction.h"

#include <string>

// Empty when everything was sent.
std::string LineProblemText(const LineOutcome& outcome);
