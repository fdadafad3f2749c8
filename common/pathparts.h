// Parts of a Windows path. Backslash and colon separate; a forward slash
// is an ordinary character.
#pragma once

#include <string>

// The part after the last backslash or colon (the whole path without either).
std::string FileNameOf(const std::string& path);

// The file name without its extension, which runs from its last full stop.
std::string BaseNameOf(const std::string& path);

// Everything up to and including the last backslash or colon ("" without).
std::string FolderOf(const std::string& path);
