// The few path questions kpl asks. On Windows slash and backslash separate
// folders; elsewhere only slash does, but a list entry's backslashes are
// taken for slashes (lists are written on Windows).
#pragma once

#include <string>

// A list entry's path as kpl opens it: relative ones are taken from the
// list file's folder.
std::string EntryPath(const std::string& listPath, std::string entry);
