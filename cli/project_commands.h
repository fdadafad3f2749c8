// kpl's page-project commands: new, build, store, text, fonts, and show
// of a project's page. Each returns the exit status.
#pragma once

#include "cli/command.h"
#include "pages/placeholders.h"

#include <string>
#include <vector>

// Registers new, build, store, text and fonts.
std::vector<Command> AddProjectCommands(CLI::App& app);

// Whether `kpl show` was given a project (a .toml file) rather than a picture.
bool IsProjectPath(const std::string& path);

// One page of a project in the terminal; page < 0 takes the first page.
// set: the --set values.
int ShowProjectCommand(const std::string& project, long long page, bool ascii,
                       const std::vector<std::string>& set);

// --set NAME=VALUE, any number of times: a value for the placeholder {NAME}.
CLI::Option* AddSetValues(CLI::App& command, std::vector<std::string>& given);

// The values --set gave; false after telling why.
bool SetValues(const std::vector<std::string>& given, PlaceholderValues& values);
