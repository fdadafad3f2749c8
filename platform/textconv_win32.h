// ANSI code page <-> UTF-16, for every text handed to or taken from Win32.
#pragma once

#include <string>

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// The system's message for an error code, without its closing full stop
// and line end ("Access is denied"); "system error N" when it has none.
std::string SystemErrorText(unsigned long code);

// A path for the Win32 file calls. Empty, which names no file, when the
// path holds a NUL byte: the calls would stop there and take the part
// before it for the name of another file.
std::wstring WidePath(const std::string& path);
