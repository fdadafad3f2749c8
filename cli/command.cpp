#include "cli/command.h"

#include "CLI.hpp"

CLI::Option* AddPort(CLI::App& command, std::string& port) {
#ifdef _WIN32
    const char* help = "the COM port, e.g. COM3 or 3";
#else
    const char* help = "the serial device, e.g. /dev/ttyUSB0";
#endif
    return command.add_option("-p,--port", port, help)->type_name("PORT")->envname("KPL_PORT");
}
