// ANSI code page <-> UTF-16, for every text handed to or taken from Win32.
#pragma once

#include <string>

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
