// What the designer reads of a request before httplib does: the head, whole
// and of a bounded size, and how its body is framed, so that a connection
// costs no thread until its head is in and every body is held to its
// route's limit, whatever its transfer coding (HTTP/1.1 as RFC 9112 frames
// it).
#pragma once

#include "design/limits.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum class BodyFraming { None, Length, Chunked };

struct RequestHead {
    bool complete = false; // the head's empty line has come
    int refusal = 0;       // not 0: the status the request is refused with
    std::string why;       // the refusal's words
    std::size_t size = 0;  // bytes of the head, its empty line included
    std::string target;    // "/TOKEN/api/picture?page=0&name=a.png"
    BodyFraming framing = BodyFraming::None;
    std::uint64_t length = 0; // Content-Length (UINT64_MAX when beyond counting)
    std::string forwarded;    // the head as httplib reads it: no Transfer-Encoding
};

// The bytes received so far on a connection: a head still coming (neither
// complete nor refused), a whole one, or a refused one: 400 for what is
// not an HTTP/1.x request (told as soon as its first line shows it), 431
// for a head beyond kMaxHeadBytes, 501 for a transfer coding other than
// chunked, 415 for a body in a content coding.
RequestHead ReadRequestHead(const std::string& received);

// The chunked transfer coding, decoded as its bytes come, the body held to
// a limit: a chunk that would pass it is refused at its size line, before
// its bytes. Chunk extensions and trailer fields are read and dropped.
struct ChunkedBody {
    std::uint64_t limit = 0;
    std::uint64_t decoded = 0; // the body's bytes so far
    int stage = 0;             // where in the coding the next byte falls
    std::uint64_t left = 0;    // the chunk's size, then its bytes still to come
    std::size_t digits = 0;    // of the size line in hand
    std::size_t skipped = 0;   // bytes of extensions and trailer fields so far
};

enum class ChunkStep { More, Done, Malformed, TooLarge };

// Decodes the bytes given, appending the body's to `out`; `used` tells how
// many were taken: all of them unless the body ended or was refused.
ChunkStep DecodeChunks(ChunkedBody& body, const char* bytes, std::size_t size, std::size_t& used,
                       std::string& out);
