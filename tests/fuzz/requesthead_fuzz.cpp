// The designer's reading of a request before httplib, on any bytes: a head
// reads the same from its own bytes as from more, and a chunked body
// decodes to the same bytes, never past its limit, however it is split.
#include "design/requesthead.h"
#include "tests/fuzz/fuzz.h"

namespace {

ChunkStep Decoded(const std::string& coded, std::size_t split, std::string& body) {
    ChunkedBody chunks;
    chunks.limit = 1024;
    std::size_t used = 0;
    ChunkStep step = DecodeChunks(chunks, coded.data(), split, used, body);
    if (step == ChunkStep::More)
        step = DecodeChunks(chunks, coded.data() + split, coded.size() - split, used, body);
    Require(body.size() <= chunks.limit && chunks.decoded == body.size(),
            "the body within its limit");
    return step;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input = InputText(data, size);
    RequestHead head = ReadRequestHead(input);
    if (head.complete) {
        Require(head.refusal == 0 && head.size <= input.size(), "a whole head lies in its bytes");
        RequestHead again = ReadRequestHead(input.substr(0, head.size));
        Require(again.complete && again.forwarded == head.forwarded &&
                    again.framing == head.framing,
                "a head reads the same from its own bytes");
        Require(head.forwarded.compare(head.forwarded.size() - 4, 4, "\r\n\r\n") == 0,
                "httplib is given a whole head");
    }
    std::string whole, parts;
    ChunkStep step = Decoded(input, 0, whole);
    Require(Decoded(input, size / 2, parts) == step && parts == whole, "chunks decode alike split");
    return 0;
}
