// Helpers shared by the unit tests: paths to the test data and to a fresh
// scratch folder, written the way the tools write paths (backslashes).
#pragma once

#include <string>

// Path of a file in tests/data.
std::string DataFile(const std::string& name);

// A new empty folder for one test, ending in a backslash like ProgramFolder.
std::string ScratchFolder();

// Whole contents of a file, or "<missing>" when it cannot be read.
std::string FileContents(const std::string& path);

// Writes a file directly, bypassing the code under test.
void WriteTestFile(const std::string& path, const std::string& bytes);

// Creates a folder (and its parents).
void MakeFolder(const std::string& path);

// Takes away every write permission (the read-only attribute on Windows).
void MakeReadOnly(const std::string& path);

// The 480 image bytes of a test picture, read from its hex text (worked
// out from ImageMagick's reading of the picture, not by the code under test).
std::string ImageBytesOf(const std::string& name);
