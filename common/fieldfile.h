// The one text format of every settings and list file: fields separated by
// commas, text in double quotes (nothing escaped), lines ended by CR LF.
#pragma once

#include <string>

// Reading position in a file's data. The data ends at the first Ctrl-Z.
struct FieldReader {
    std::string data;
    std::size_t position = 0;
};

// A reader over the whole file; a file that cannot be opened reads as empty.
FieldReader OpenFieldFile(const std::string& path);
FieldReader FieldReaderOver(std::string bytes);

// A text field: quoted (to the next quote, commas included) or unquoted (to
// the next comma or CR, TAB and LF dropped). Empty once the data has ended.
std::string ReadTextField(FieldReader& reader);

// A number field, which ends at a comma, blank or CR; its text is returned.
std::string ReadNumberField(FieldReader& reader);

// Writing: one line of fields at a time.
std::string QuotedField(const std::string& text);
std::string FieldLine(std::initializer_list<std::string> fields);

// Replaces the file through a temporary file; false when it could not be written.
bool WriteFieldFile(const std::string& path, const std::string& contents);
