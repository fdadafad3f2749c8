// kpl's one shape of command. Each command group registers its subcommands
// and their options on the parser, keeps what they were given, and hands
// back what runs each; main runs the one that was given.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
class Option;
} // namespace CLI

// A subcommand registered on the parser and what runs it when it was given;
// run returns the exit status.
struct Command {
    CLI::App* parser;
    std::function<int()> run;
};

// -p,--port (or KPL_PORT): every command that talks to the display takes
// its port this way.
CLI::Option* AddPort(CLI::App& command, std::string& port);
