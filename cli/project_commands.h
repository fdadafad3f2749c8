// kpl's page-project commands: new, build, store, text, fonts, and show
// of a project's page. Each returns the exit status.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// A command registered on the parser and what runs it when it was given.
struct ProjectCommand {
    CLI::App* parser;
    std::function<int()> run;
};

// Registers new, build, store, text and fonts.
std::vector<ProjectCommand> AddProjectCommands(CLI::App& app);

// Whether `kpl show` was given a project (a .toml file) rather than a picture.
bool IsProjectPath(const std::string& path);

// One page of a project in the terminal; page < 0 takes the first page.
int ShowProjectCommand(const std::string& project, long long page, bool ascii);
