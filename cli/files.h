// kpl's inputs and outputs as the user names them ("-" for the standard
// streams), with kpl's messages when they fail. Every command reads and
// writes through these.
#pragma once

#include "display/formats.h"

#include <cstddef>
#include <string>

constexpr char kStandardStream[] = "-";

// A file's bytes, or standard input's for "-"; false with why (the system's
// reason, "is empty", "is larger than N MB") when they cannot be had.
bool ReadInput(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& why);

// How messages name what the user gave: "standard input" for "-".
std::string Named(const std::string& path);

// Writes an output, "-" being standard output; kExitDone or, after telling
// why, kExitUnreadable. force: a read-only file is replaced.
int WriteOutput(const std::string& out, const std::string& bytes, bool force);

// The format asked for (--format), or the one of the output's extension;
// false after telling why.
bool ChooseFormat(const std::string& out, const std::string& formatName, OutputFormat& format);
