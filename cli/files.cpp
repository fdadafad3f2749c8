#include "cli/files.h"

#include "cli/report.h"
#include "platform/userfiles.h"

bool ReadInput(const std::string& path, std::size_t maxBytes, std::string& bytes,
               std::string& why) {
    why.clear();
    std::uint64_t length = 0;
    FileOutcome outcome = path == kStandardStream ? ReadStandardInput(maxBytes, bytes, length)
                                                  : ReadUserFile(path, maxBytes, bytes, length);
    if (!outcome.ok)
        why = outcome.why;
    else if (length > maxBytes)
        why = "is larger than " + std::to_string(maxBytes >> 20) + " MB";
    else if (length == 0)
        why = "is empty";
    return outcome.ok && why.empty();
}

std::string Named(const std::string& path) {
    return path == kStandardStream ? "standard input" : path;
}

int WriteOutput(const std::string& out, const std::string& bytes, bool force) {
    FileOutcome outcome =
        out == kStandardStream ? WriteStandardOutput(bytes) : WriteUserFile(out, bytes, force);
    if (outcome.ok)
        return kExitDone;
    if (out == kStandardStream)
        return kExitUnreadable; // said once, with every other failed print, at the end
    Complain(out, outcome.why +
                      (outcome.readOnly ? " (the file is read-only; --force replaces it)" : ""));
    return kExitUnreadable;
}

// The format asked for, or the one of the output's extension.
bool ChooseFormat(const std::string& out, const std::string& formatName, OutputFormat& format) {
    if (!formatName.empty()) {
        if (FormatNamed(formatName, format))
            return true;
        Complain(formatName, "no such format: bmp, png, raw, hex or c");
        return false;
    }
    if (out == kStandardStream) {
        Complain("-o -", "standard output has no extension: give --format bmp|png|raw|hex|c");
        return false;
    }
    if (FormatOfPath(out, format))
        return true;
    Complain(out, "the extension names no format: give --format bmp|png|raw|hex|c");
    return false;
}
