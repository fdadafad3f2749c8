// User configuration seam: where a program keeps what it remembers for the
// user between runs (never beside the user's own files), and a file's path
// as the same name for every run whatever the folder it was named from.
#pragma once

#include <string>

// The folder `name` (parts parted by '/') in the user's configuration
// folder, made with the folders above it when missing (the user's alone on
// Linux and macOS): $XDG_CONFIG_HOME, else ~/.config, on Linux and macOS;
// %APPDATA% on Windows. "" with the system's reason when there is none or
// it cannot be made.
std::string UserConfigFolder(const std::string& name, std::string& why);

// The path from the root: the folder's own (links followed) and the name;
// the path as given when its folder cannot be found.
std::string AbsolutePath(const std::string& path);
