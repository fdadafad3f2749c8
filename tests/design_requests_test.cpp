// The heads and chunked bodies the designer reads before httplib does: what
// waits for more, what is refused and with which status, and every body
// held to its limit however its bytes arrive.
#include "design/requesthead.h"

#include <gtest/gtest.h>

namespace {

struct HeadCase {
    const char* what;
    std::string received;
    int refusal;   // 0: none
    bool complete; // when not refused
    BodyFraming framing;
    std::uint64_t length;
};

TEST(RequestHead, WaitsTakesOrRefuses) {
    const std::string big(kMaxHeadBytes, 'a');
    const HeadCase cases[] = {
        {"a head still coming", "GET /t/ HTTP/1.1\r\nHost: h\r\n", 0, false, BodyFraming::None, 0},
        {"a whole head", "GET /t/ HTTP/1.1\r\nHost: h\r\n\r\n", 0, true, BodyFraming::None, 0},
        {"empty lines before it", "\r\n\r\nGET / HTTP/1.0\r\n\r\n", 0, true, BodyFraming::None, 0},
        {"a length", "POST / HTTP/1.1\r\ncontent-length: 12\r\n\r\n", 0, true, BodyFraming::Length,
         12},
        {"a length beyond counting",
         "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", 0, true,
         BodyFraming::Length, UINT64_MAX},
        {"chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: Chunked\r\n\r\n", 0, true,
         BodyFraming::Chunked, 0},
        {"no content coding", "POST / HTTP/1.1\r\nContent-Encoding: identity\r\n\r\n", 0, true,
         BodyFraming::None, 0},
        {"binary, before its first line ends", "\x16\x03\x01\x02", 400, false, BodyFraming::None,
         0},
        {"HTTP/2, once its first line is in", "PRI * HTTP/2.0\r\n", 400, false, BodyFraming::None,
         0},
        {"a line too long, before it ends", "GET /" + big, 431, false, BodyFraming::None, 0},
        {"a head too long", "GET / HTTP/1.1\r\nX: " + big + "\r\n\r\n", 431, false,
         BodyFraming::None, 0},
        {"no colon", "GET / HTTP/1.1\r\nHost h\r\n\r\n", 400, false, BodyFraming::None, 0},
        {"a folded line", "GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n", 400, false, BodyFraming::None, 0},
        {"a negative length", "POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", 400, false,
         BodyFraming::None, 0},
        {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", 400,
         false, BodyFraming::None, 0},
        {"chunked and a length",
         "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n", 400, false,
         BodyFraming::None, 0},
        {"another transfer coding", "POST / HTTP/1.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n",
         501, false, BodyFraming::None, 0},
        {"a content coding", "POST / HTTP/1.1\r\nContent-Encoding: gzip\r\n\r\n", 415, false,
         BodyFraming::None, 0},
    };
    for (const HeadCase& c : cases) {
        RequestHead head = ReadRequestHead(c.received);
        EXPECT_EQ(head.refusal, c.refusal) << c.what;
        EXPECT_EQ(head.complete, c.complete) << c.what;
        EXPECT_EQ(head.complete ? head.size : 0, c.complete ? c.received.size() : 0) << c.what;
        EXPECT_EQ(head.framing, c.framing) << c.what;
        EXPECT_EQ(head.length, c.length) << c.what;
    }
}

TEST(RequestHead, HttplibReadsItWithoutTheTransferCoding) {
    std::string received =
        "POST /t/api/picture?page=0 HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n0";
    RequestHead head = ReadRequestHead(received);
    EXPECT_EQ(head.target, "/t/api/picture?page=0");
    EXPECT_EQ(head.size, received.size() - 1);
    EXPECT_EQ(head.forwarded, "POST /t/api/picture?page=0 HTTP/1.1\r\nHost: h\r\n\r\n");
}

struct ChunkCase {
    const char* what;
    std::string coded;
    ChunkStep step;
    std::string body;
    std::size_t used; // of the whole text fed at once
};

TEST(ChunkedBody, DecodedAndHeldToItsLimit) {
    const ChunkCase cases[] = {
        {"two chunks", "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n", ChunkStep::Done, "abcde", 20},
        {"extensions and trailer fields dropped", "3;x=\"y\"\r\nabc\r\n0\r\nT: 1\r\n\r\n",
         ChunkStep::Done, "abc", 25},
        {"what follows the end is left", "0\r\n\r\nGET", ChunkStep::Done, "", 5},
        {"up to the limit", "A\r\n0123456789\r\n0\r\n\r\n", ChunkStep::Done, "0123456789", 20},
        {"one byte past it, at the size line", "5\r\n01234\r\n6\r\nabcdef", ChunkStep::TooLarge,
         "01234", 11},
        {"a size of 17 digits", "00000000000000000\r\n", ChunkStep::TooLarge, "", 17},
        {"no size", "\r\n", ChunkStep::Malformed, "", 1},
        {"a chunk longer than its size", "3\r\nabcd", ChunkStep::Malformed, "abc", 7},
        {"a bare line feed", "3\nabc", ChunkStep::Malformed, "", 2},
        {"still coming", "3\r\nab", ChunkStep::More, "ab", 5},
    };
    for (const ChunkCase& c : cases) {
        ChunkedBody body;
        body.limit = 10;
        std::string out;
        std::size_t used = 0;
        EXPECT_EQ(DecodeChunks(body, c.coded.data(), c.coded.size(), used, out), c.step) << c.what;
        EXPECT_EQ(out, c.body) << c.what;
        EXPECT_EQ(used, c.used) << c.what;
        // A byte at a time: the same body and the same end.
        ChunkedBody slow;
        slow.limit = 10;
        std::string slowOut;
        ChunkStep step = ChunkStep::More;
        for (std::size_t i = 0; i < c.coded.size() && step == ChunkStep::More; ++i)
            step = DecodeChunks(slow, c.coded.data() + i, 1, used, slowOut);
        EXPECT_EQ(step, c.step) << c.what;
        EXPECT_EQ(slowOut, c.body) << c.what;
    }
}

} // namespace
