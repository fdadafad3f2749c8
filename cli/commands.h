// kpl's picture and display commands, one function each; each returns the
// exit status and has written its results to standard output and its
// failures to standard error.
#pragma once

#include "cli/command.h"
#include "picture/picture.h"
#include "display/options.h"

#include <cstdint>
#include <functional>
#include <vector>
#include <string>

// Registers convert, show, send, batch, config, decode and ports.
std::vector<Command> AddPictureCommands(CLI::App& app);

// formatName: "" to go by the extension of `out`.
// "-" as a picture, list or input is standard input, as an output
// standard output. force: a read-only output is replaced.
int ConvertCommand(const std::string& picture, const ConversionOptions& options,
                   const std::string& out, const std::string& formatName, bool force);

int ShowCommand(const std::string& picture, const ConversionOptions& options, bool ascii);

// page < 0: shown only, not stored.
int SendCommand(const std::string& picture, const ConversionOptions& options,
                const std::string& port, std::int64_t page, bool confirm);

// One screen for a flash page: how the progress line names it, and how its
// image is had (false: skipped, having said why).
struct PageEntry {
    int page = 0;
    std::string label;
    std::function<bool(DisplayImageBytes&)> image;
};

// Every entry into its flash page over one held port, half a second apart,
// a progress line each; Ctrl-C stops after the entry in flight (exit 130).
// `what` names the list or project in messages.
int StorePages(const std::string& port, const std::vector<PageEntry>& entries,
               const std::string& what);

int BatchCommand(const std::string& list, const ConversionOptions& options,
                 const std::string& port);

int ConfigCommand(const std::string& port, const DisplayOptions& options, bool confirm);

int DecodeCommand(const std::string& input, const std::string& out, const std::string& formatName,
                  bool force);

int PortsCommand();
