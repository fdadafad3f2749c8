// kpl's page-project commands: new, build, store, text, fonts, and show
// of a project's page. Each returns the exit status.
#pragma once

#include "cli/command.h"

#include <string>
#include <vector>

// Registers new, build, store, text and fonts.
std::vector<Command> AddProjectCommands(CLI::App& app);

// Whether `kpl show` was given a project (a .toml file) rather than a picture.
bool IsProjectPath(const std::string& path);

// One page of a project in the terminal; page < 0 takes the first page.
int ShowProjectCommand(const std::string& project, long long page, bool ascii);
