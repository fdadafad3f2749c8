// Console seam: text kpl writes to standard output in UTF-8 (the terminal
// picture's half blocks) shows as such.
#pragma once

// On Windows the console takes code page 65001 until the program ends; on
// Linux and macOS terminals are UTF-8 already and nothing is done.
void UseUtf8Output();

#include <string>

// A command-line argument as UTF-8 text (`kpl text`): Windows hands the
// arguments over in the ANSI code page, which is converted; elsewhere they
// are UTF-8 already and come back unchanged.
std::string ArgumentText(const std::string& argument);
