// The serial line, read on a thread of its own: the time of every read is
// taken as the bytes arrive, not when the main loop has finished writing
// the files of the command before (the log's times are what the pause
// checks of the end-to-end tests measure).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Milliseconds of CLOCK_MONOTONIC.
std::int64_t MonotonicMs();

struct Chunk {
    std::vector<std::uint8_t> bytes;
    std::int64_t ms = 0; // since startMs
};

struct LineReader {
    std::string device;
    std::int64_t startMs = 0;
    int fd = -1;
    int wakePipe[2] = {-1, -1}; // readable while chunks are waiting
    int stopPipe[2] = {-1, -1};
    std::mutex mutex;
    std::vector<Chunk> chunks; // under mutex
    std::thread thread;
};

// Opens the device, sets it to raw at 9600 baud and starts reading. False,
// with errno telling why, when the device cannot be opened. A device that
// goes away later (its pty's owner exits) is opened again when it returns.
bool StartLineReader(LineReader& reader, const std::string& device, std::int64_t startMs);

// Becomes readable when chunks are waiting; drained by TakeChunks.
int LineReaderWakeFd(const LineReader& reader);

// The chunks read so far, and in asOfMs the time they are complete to: no
// chunk read at or before asOfMs is left behind.
std::vector<Chunk> TakeChunks(LineReader& reader, std::int64_t& asOfMs);

// Ends the thread and closes the device; what was read stays to be taken.
void StopLineReader(LineReader& reader);
