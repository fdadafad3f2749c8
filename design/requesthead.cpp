#include "design/requesthead.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsTokenCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Trimmed(const std::string& text) {
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return "";
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

RequestHead Refused(int status, const std::string& why) {
    RequestHead head;
    head.refusal = status;
    head.why = why;
    return head;
}

// "GET /x HTTP/1.1": a method, a target of visible characters, a version.
bool IsRequestLine(const std::string& line, std::string& target) {
    std::size_t method = 0;
    while (method < line.size() && IsTokenCharacter(line[method]))
        ++method;
    std::size_t space = line.find(' ', method);
    if (method == 0 || space != method || line.size() < method + 11)
        return false;
    std::size_t version = line.size() - 9;
    if (line[version] != ' ' || (line.compare(version + 1, 8, "HTTP/1.1") != 0 &&
                                 line.compare(version + 1, 8, "HTTP/1.0") != 0))
        return false;
    target = line.substr(method + 1, version - method - 1);
    return std::all_of(target.begin(), target.end(), [](char c) { return c > ' ' && c < 127; });
}

// Reads one field into the head; false with the refusal set.
bool TakeField(const std::string& line, RequestHead& head, bool& chunked, bool& sized) {
    std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos ||
        !std::all_of(line.begin(), line.begin() + long(colon), IsTokenCharacter)) {
        head = Refused(400, "refused: a header line is not a name, a colon and a value");
        return false;
    }
    std::string name = Lowered(line.substr(0, colon));
    std::string value = Trimmed(line.substr(colon + 1));
    if (name == "content-length") {
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
            head = Refused(400, "refused: the Content-Length is not a number");
            return false;
        }
        std::uint64_t length = 0;
        for (char digit : value)
            length = length > (UINT64_MAX - 9) / 10 ? UINT64_MAX : length * 10 + (digit - '0');
        if (sized && length != head.length) {
            head = Refused(400, "refused: two Content-Lengths that differ");
            return false;
        }
        sized = true;
        head.length = length;
    } else if (name == "transfer-encoding") {
        if (Lowered(value) != "chunked" || chunked) {
            head = Refused(501, "refused: the designer takes a body as it is or chunked");
            return false;
        }
        chunked = true;
    } else if (name == "content-encoding" && Lowered(value) != "identity") {
        head = Refused(415, "refused: the designer takes a body as it is, not compressed");
        return false;
    } else if (line.find_first_of("\r\n") != std::string::npos) {
        head = Refused(400, "refused: a line ends in a bare CR or LF");
        return false;
    }
    return true;
}

} // namespace

RequestHead ReadRequestHead(const std::string& received) {
    // An empty line or two before a request may be left over from the last one.
    std::size_t start = 0;
    while (received.compare(start, 2, "\r\n") == 0)
        start += 2;
    std::size_t lineEnd = received.find("\r\n", start);
    std::size_t seen = lineEnd == std::string::npos ? received.size() : lineEnd;
    for (std::size_t i = start; i < seen; ++i)
        if (received[i] < ' ' || received[i] > '~')
            return Refused(400, "refused: this is not an HTTP/1.1 request");
    RequestHead head;
    if (lineEnd != std::string::npos &&
        !IsRequestLine(received.substr(start, lineEnd - start), head.target))
        return Refused(400, "refused: this is not an HTTP/1.1 request");
    std::size_t end = received.find("\r\n\r\n", start);
    if ((end == std::string::npos ? received.size() : end + 4) - start > kMaxHeadBytes)
        return Refused(431, "refused: the request's head is larger than the designer takes");
    if (end == std::string::npos)
        return RequestHead{};
    head.size = end + 4;
    head.forwarded = received.substr(start, lineEnd + 2 - start);
    bool chunked = false;
    bool sized = false;
    for (std::size_t line = lineEnd + 2; line < end + 2;) {
        std::size_t next = received.find("\r\n", line);
        std::string field = received.substr(line, next - line);
        if (field[0] == ' ' || field[0] == '\t')
            return Refused(400, "refused: a header line is folded");
        if (!TakeField(field, head, chunked, sized))
            return head;
        if (Lowered(field.substr(0, field.find(':'))) != "transfer-encoding")
            head.forwarded += field + "\r\n";
        line = next + 2;
    }
    if (chunked && sized)
        return Refused(400, "refused: a body both chunked and of a Content-Length");
    head.forwarded += "\r\n";
    head.framing = chunked ? BodyFraming::Chunked : sized ? BodyFraming::Length : BodyFraming::None;
    head.complete = true;
    return head;
}

namespace {

enum Stage {
    kSize,
    kExtension,
    kSizeEnd,
    kData,
    kDataEnd,
    kDataEndLf,
    kTrailer,
    kField,
    kFieldEnd,
    kEnd
};

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

ChunkStep DecodeChunks(ChunkedBody& body, const char* bytes, std::size_t size, std::size_t& used,
                       std::string& out) {
    used = 0;
    while (used < size) {
        char c = bytes[used];
        if (body.stage == kData) {
            std::size_t take = static_cast<std::size_t>(
                std::min<std::uint64_t>(body.left, std::uint64_t(size - used)));
            out.append(bytes + used, take);
            used += take;
            body.left -= take;
            body.decoded += take;
            if (body.left == 0)
                body.stage = kDataEnd;
            continue;
        }
        ++used;
        switch (body.stage) {
        case kSize:
            if (HexValue(c) >= 0) {
                if (++body.digits > 16)
                    return ChunkStep::TooLarge;
                body.left = body.left * 16 + std::uint64_t(HexValue(c));
                if (body.left > body.limit - body.decoded)
                    return ChunkStep::TooLarge;
                break;
            }
            if (body.digits == 0)
                return ChunkStep::Malformed;
            if (c == '\r')
                body.stage = kSizeEnd;
            else if (c == ';' || c == ' ' || c == '\t')
                body.stage = kExtension;
            else
                return ChunkStep::Malformed;
            break;
        case kExtension:
            if (c == '\r')
                body.stage = kSizeEnd;
            else if (c == '\n' || ++body.skipped > kMaxChunkExtrasBytes)
                return ChunkStep::Malformed;
            break;
        case kSizeEnd:
            if (c != '\n')
                return ChunkStep::Malformed;
            body.digits = 0;
            body.stage = body.left == 0 ? kTrailer : kData;
            break;
        case kDataEnd:
            if (c != '\r')
                return ChunkStep::Malformed;
            body.stage = kDataEndLf;
            break;
        case kDataEndLf:
            if (c != '\n')
                return ChunkStep::Malformed;
            body.stage = kSize;
            break;
        case kTrailer: // at the start of a trailer line, or of the empty one
            if (c == '\r') {
                body.stage = kEnd;
                break;
            }
            body.stage = kField;
            [[fallthrough]];
        case kField:
            if (c == '\n' || ++body.skipped > kMaxChunkExtrasBytes)
                return ChunkStep::Malformed;
            if (c == '\r')
                body.stage = kFieldEnd;
            break;
        case kFieldEnd:
            if (c != '\n')
                return ChunkStep::Malformed;
            body.stage = kTrailer;
            break;
        case kEnd:
            if (c != '\n')
                return ChunkStep::Malformed;
            return ChunkStep::Done;
        }
    }
    return ChunkStep::More;
}
