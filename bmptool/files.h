// The bitmap tool's settings file "kplbmptool.dat" (the COM port) and its
// screen-list files, all in the field text format.
#pragma once

#include <string>

// The saved port text, or "1" when there is none. Not validated.
std::string ReadSavedPort();

// Rewrites "kplbmptool.dat" with the port text as one quoted field.
void SaveSettings(const std::string& portText);

// Slots 0..16 of ScreenList from the file's first 17 lines, by position
// (the number written in each line is not used); missing lines are empty.
void LoadListFile(const std::string& path);

// Puts the path into the slot of the page and rewrites "kplscreens.lst".
// A page outside 0..16 has no slot in the file and changes nothing.
void RecordScreen(const std::string& pageText, const std::string& bitmapPath);

// The 17 lines of a list file as the tool writes them.
std::string ScreenListFileText();
