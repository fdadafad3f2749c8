// Files seam. Paths are 8-bit text in the system's ANSI code page; the
// Win32 side converts them to UTF-16. The POSIX side, over which the native
// unit tests and fuzzing harnesses run the dialog programs' code, reads a
// backslash as a folder separator.
// A path holding a NUL byte (a hand-written list can) names no file: it is
// not opened, not written and not a regular file, whatever the part before
// the NUL names.
#pragma once

#include <cstdint>
#include <string>

// Opens an existing file for reading only, without sharing, and reads at
// most maxBytes of it into contents; length receives the file's full
// length. False, with contents empty, when the file cannot be opened
// (missing, a folder, held by another program). Never creates a file.
bool ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& contents,
                   std::uint64_t& length);

// Replaces the file whole through kpl's safe output write (userfiles.h):
// a failed write leaves the old file whole. False on any failure,
// also for a read-only file.
bool ReplaceFileContents(const std::string& path, const std::string& contents);

// True when path names an existing regular file (not a folder).
bool IsRegularFile(const std::string& path);
