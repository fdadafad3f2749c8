// The few path questions kpl asks. Both slash and backslash separate (a
// list written on Windows may name its pictures with either).
#pragma once

#include <string>

// The file name without folder and extension: the hex text's comment line
// and the C array's name.
std::string PictureBaseName(const std::string& path);

// A list entry's path as kpl opens it: relative ones are taken from the
// list file's folder.
std::string EntryPath(const std::string& listPath, const std::string& entry);

// Why a file that could not be opened for reading could not be.
std::string ReadProblem(const std::string& path);
