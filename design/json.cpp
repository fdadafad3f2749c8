#include "design/json.h"

#include <cstdio>

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string JsonBool(bool value) {
    return value ? "true" : "false";
}

std::string JsonStrings(const std::vector<std::string>& texts) {
    std::vector<std::string> values;
    for (const std::string& text : texts)
        values.push_back(JsonString(text));
    return JsonArray(values);
}

void Add(JsonObject& object, const char* name, const std::string& jsonValue) {
    if (object.text.size() > 1)
        object.text += ',';
    object.text += JsonString(name) + ":" + jsonValue;
}

void Add(JsonObject& object, const char* name, int value) {
    Add(object, name, std::to_string(value));
}

std::string Close(JsonObject& object) {
    return object.text + "}";
}

std::string JsonArray(const std::vector<std::string>& jsonValues) {
    std::string json = "[";
    for (const std::string& value : jsonValues)
        json += (json.size() > 1 ? "," : "") + value;
    return json + "]";
}
