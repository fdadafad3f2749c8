// Parts of a path. The dialog programs take the paths Windows' file dialogs
// give them: a backslash or a colon separates, a forward slash is an
// ordinary character. kpl takes the paths of the system it runs on.
#pragma once

#include <string>

constexpr char kDialogPathSeparators[] = "\\:";
#ifdef _WIN32
constexpr char kLocalPathSeparators[] = "/\\:";
#else
constexpr char kLocalPathSeparators[] = "/"; // a backslash is part of a name here
#endif

// The part after the last separator (the whole path without one).
std::string FileNameOf(const std::string& path, const char* separators = kDialogPathSeparators);

// The file name without its extension, which runs from its last full stop
// (".bmp" has the empty base name).
std::string BaseNameOf(const std::string& path, const char* separators = kDialogPathSeparators);

// Everything up to and including the last separator ("" without one).
std::string FolderOf(const std::string& path, const char* separators = kDialogPathSeparators);
