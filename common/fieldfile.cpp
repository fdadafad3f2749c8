#include "common/fieldfile.h"

#include "platform/files.h"

namespace {

constexpr char kEndOfData = 26; // Ctrl-Z
// Far beyond any settings or list file; keeps a wrong pick from eating memory.
constexpr std::size_t kLargestFieldFile = 16 * 1024 * 1024;

bool AtEnd(const FieldReader& reader) {
    return reader.position >= reader.data.size();
}

char Peek(const FieldReader& reader) {
    return reader.data[reader.position];
}

void SkipBlanks(FieldReader& reader) {
    while (!AtEnd(reader) && Peek(reader) == ' ')
        ++reader.position;
}

// After a field: the blanks, TABs and LFs before the delimiter go with it;
// the delimiter is a comma or a CR with the LF that follows it.
void ConsumeDelimiter(FieldReader& reader) {
    while (!AtEnd(reader) && (Peek(reader) == ' ' || Peek(reader) == '\t' || Peek(reader) == '\n'))
        ++reader.position;
    if (AtEnd(reader))
        return;
    if (Peek(reader) == ',') {
        ++reader.position;
    } else if (Peek(reader) == '\r') {
        ++reader.position;
        if (!AtEnd(reader) && Peek(reader) == '\n')
            ++reader.position;
    }
}

} // namespace

FieldReader FieldReaderOver(std::string bytes) {
    FieldReader reader;
    reader.data = std::move(bytes);
    std::size_t end = reader.data.find(kEndOfData);
    if (end != std::string::npos)
        reader.data.resize(end);
    return reader;
}

FieldReader OpenFieldFile(const std::string& path) {
    std::string bytes;
    std::uint64_t length = 0;
    if (!ReadFileBytes(path, kLargestFieldFile, bytes, length))
        bytes.clear();
    return FieldReaderOver(std::move(bytes));
}

std::string ReadTextField(FieldReader& reader) {
    SkipBlanks(reader);
    std::string value;
    if (AtEnd(reader))
        return value;

    if (Peek(reader) == '"') {
        std::size_t closing = reader.data.find('"', reader.position + 1);
        if (closing == std::string::npos)
            closing = reader.data.size();
        value = reader.data.substr(reader.position + 1, closing - reader.position - 1);
        reader.position = closing < reader.data.size() ? closing + 1 : closing;
        // Anything between the closing quote and the delimiter is not part of the value.
        while (!AtEnd(reader) && Peek(reader) != ',' && Peek(reader) != '\r' &&
               Peek(reader) != '\n')
            ++reader.position;
    } else {
        while (!AtEnd(reader) && Peek(reader) != ',' && Peek(reader) != '\r') {
            char c = Peek(reader);
            if (c != '\t' && c != '\n')
                value += c;
            ++reader.position;
        }
        // Blanks at the end of an unquoted field are padding, not part of it.
        while (!value.empty() && value.back() == ' ')
            value.pop_back();
    }
    ConsumeDelimiter(reader);
    return value;
}

std::string ReadNumberField(FieldReader& reader) {
    SkipBlanks(reader);
    std::string value;
    while (!AtEnd(reader) && Peek(reader) != ',' && Peek(reader) != ' ' && Peek(reader) != '\r' &&
           Peek(reader) != '\n') {
        if (Peek(reader) != '\t')
            value += Peek(reader);
        ++reader.position;
    }
    ConsumeDelimiter(reader);
    return value;
}

std::string QuotedField(const std::string& text) {
    return "\"" + text + "\"";
}

std::string FieldLine(std::initializer_list<std::string> fields) {
    std::string line;
    bool first = true;
    for (const std::string& field : fields) {
        if (!first)
            line += ',';
        line += field;
        first = false;
    }
    return line + "\r\n";
}

bool WriteFieldFile(const std::string& path, const std::string& contents) {
    return ReplaceFileContents(path, contents);
}
