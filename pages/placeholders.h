// Placeholders in a text layer's text, filled in when a page is drawn:
// `{name}` takes the value of that name, `{name:06}` a number padded with
// zeros to six digits, `{{` and `}}` write a brace. kpl store fills
// `{serial}` and `{date}` per unit, `--set name=value` any name, and the
// designer a layer's sample values.
#pragma once

#include <map>
#include <string>

using PlaceholderValues = std::map<std::string, std::string>;

// What a page's placeholders are filled with.
struct Placeholders {
    PlaceholderValues values;
    // The designer's view: a layer's sample values fill what `values`
    // lacks, and a placeholder of neither is drawn as written. Otherwise a
    // placeholder without a value is a problem.
    bool samples = false;
};

// What RenderPage and RenderProject fill in unless told otherwise.
inline const Placeholders kSampleView{{}, true};

// Letters, digits and _, not starting with a digit (ASCII).
bool IsPlaceholderName(const std::string& name);

// The text with its placeholders filled; false with the first problem in
// `why` ("no value for {serial}", "a "{" without its "}" ..."). With
// keepMissing a placeholder without a value stays as written.
bool FillPlaceholders(const std::string& text, const PlaceholderValues& values, bool keepMissing,
                      std::string& filled, std::string& why);

// A layer's sample values, "serial=1042; date=2024-05-01": false with why
// when they are not so written.
bool ParseSampleValues(const std::string& text, PlaceholderValues& values, std::string& why);

// What is wrong with such a text; "" when nothing (the layer table's check).
std::string SampleValuesProblem(const std::string& text);
