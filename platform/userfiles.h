// The files a user names to a command line program: pictures and lists to
// read, outputs to write, and the standard streams that "-" stands for.
// Nothing the user did not name is created, replaced or deleted, whatever
// fails. `why` is the system's reason in its own words ("Permission
// denied"), or what the path turned out to be ("is a folder").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct FileOutcome {
    bool ok = false;
    std::string why;
    bool readOnly = false; // refused only because the file is read-only
};

// Reads at most maxBytes of a file, a FIFO or a device; length receives the
// file's full length (for a stream: what was read, maxBytes + 1 when there
// was more). Never creates anything.
FileOutcome ReadUserFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                         std::uint64_t& length);

// Standard input read to its end in binary, the same way.
FileOutcome ReadStandardInput(std::size_t maxBytes, std::string& bytes, std::uint64_t& length);

// Writes bytes to what path names:
// - a regular file, or none yet: through a temporary file of a unique name
//   made exclusively in the same folder (never through a link), moved over
//   it; an existing file's permissions are kept. A failure leaves the old
//   file whole and no temporary file behind.
// - a symbolic link: its target is written so; the link stays.
// - a device, FIFO or socket (/dev/null, /dev/stdout): written in place,
//   as a stream.
// A read-only file is refused unless `force`; a missing folder is named.
FileOutcome WriteUserFile(const std::string& path, const std::string& bytes, bool force);

// Writes bytes to standard output, binary on every system, and flushes.
FileOutcome WriteStandardOutput(const std::string& bytes);

// Text (already in UTF-8 or ASCII) to standard output, at once, so that a
// pipe or file sees each line as it happens. Writing into a pipe whose
// reader has gone fails (Broken pipe) instead of ending the program. False once any write to
// standard output has failed; StandardOutputProblem() then says why.
bool PrintText(const std::string& text);
std::string StandardOutputProblem();
