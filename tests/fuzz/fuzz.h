// What the harnesses share: the input as text, a folder of this run for
// readers that take a path, and a check whose failure is a finding.
#pragma once

#include "tests/testutil.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string InputText(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Ends in a backslash, like ProgramFolder; scripts/fuzz points TMPDIR at
// memory and removes it after the run.
inline const std::string& FuzzFolder() {
    static const std::string folder = ScratchFolder();
    return folder;
}

inline void Require(bool holds, const char* what) {
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}
