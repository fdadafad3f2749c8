// Writing JSON for the page: what the designer sends is made here from
// plain values; what the page sends back comes as form fields.
#pragma once

#include <string>
#include <vector>

// The text as a JSON string, quotes included; control characters escaped.
std::string JsonString(const std::string& text);

std::string JsonBool(bool value);

// ["a","b"]
std::string JsonStrings(const std::vector<std::string>& texts);

// Object and array text from members already written: {"a":1,"b":"x"}.
struct JsonObject {
    std::string text = "{";
};
void Add(JsonObject& object, const char* name, const std::string& jsonValue);
void Add(JsonObject& object, const char* name, int value);
std::string Close(JsonObject& object);

std::string JsonArray(const std::vector<std::string>& jsonValues);
