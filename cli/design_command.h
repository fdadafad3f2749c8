// kpl design: the page designer in the browser.
#pragma once

#include "cli/command.h"

#include <string>
#include <vector>

// Registers design.
std::vector<Command> AddDesignCommands(CLI::App& app);

// Serves the designer for the project until the process is ended (Ctrl-C).
// listen: "ADDR:PORT" or "" for a free port on 127.0.0.1.
int DesignCommand(const std::string& project, bool openBrowser, const std::string& listen);
