// kpl's commands, one function each; each returns the exit status and has
// written its results to standard output and its failures to standard error.
#pragma once

#include "picture/picture.h"
#include "display/options.h"

#include <cstdint>
#include <string>

// formatName: "" to go by the extension of `out`.
// "-" as a picture, list or input is standard input, as an output
// standard output. force: a read-only output is replaced.
int ConvertCommand(const std::string& picture, const ConversionOptions& options,
                   const std::string& out, const std::string& formatName, bool force);

int ShowCommand(const std::string& picture, const ConversionOptions& options, bool ascii);

// page < 0: shown only, not stored.
int SendCommand(const std::string& picture, const ConversionOptions& options,
                const std::string& port, std::int64_t page, bool confirm);

int BatchCommand(const std::string& list, const ConversionOptions& options,
                 const std::string& port);

int ConfigCommand(const std::string& port, const DisplayOptions& options, bool confirm);

int DecodeCommand(const std::string& input, const std::string& out, const std::string& formatName,
                  bool force);

int PortsCommand();
