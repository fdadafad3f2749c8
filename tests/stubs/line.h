// Stand-ins for the serial seams (serialport.h, commport.h, pause.h): every
// port opens and takes every setting, pauses take no time, and the bytes
// written are kept. Library kpl_stub_line.
#pragma once

#include <cstddef>
#include <string>

struct StubLine {
    std::string written;            // every byte the port took, in order
    const void* lastFrom = nullptr; // where the latest write took its bytes from
    int shortWriteIn = 0;           // counts writes down; the one reaching 0 takes one byte less
};
extern StubLine TheStubLine;
