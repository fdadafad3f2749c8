#include "tests/uidriver/simoutput.h"

#include "tests/testutil.h"
#include "tests/uidriver/uidriver.h"

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace {

std::string SimFile(const std::string& name) {
    const char* folder = std::getenv("KPL_SIM_OUT");
    return std::string(folder ? folder : ".") + "\\" + name;
}

void Wait() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace

std::string SimReceived() {
    std::string bytes = FileContents(SimFile("received.bin"));
    return bytes == "<missing>" ? std::string() : bytes;
}

std::string WaitForSimBytes(std::size_t count, int timeoutMs) {
    double until = NowMs() + timeoutMs;
    std::string bytes = SimReceived();
    while (bytes.size() < count && NowMs() < until) {
        Wait();
        bytes = SimReceived();
    }
    return bytes;
}

std::vector<SimCommand> SimLog() {
    std::vector<SimCommand> commands;
    std::istringstream in(FileContents(SimFile("log.txt")));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        SimCommand command;
        if (!(fields >> command.firstMs >> command.lastMs >> command.name))
            continue;
        std::getline(fields, command.details);
        if (!command.details.empty() && command.details[0] == ' ')
            command.details.erase(0, 1);
        commands.push_back(command);
    }
    return commands;
}

std::vector<SimCommand> WaitForSimLog(std::size_t count, int timeoutMs) {
    double until = NowMs() + timeoutMs;
    std::vector<SimCommand> commands = SimLog();
    while (commands.size() < count && NowMs() < until) {
        Wait();
        commands = SimLog();
    }
    return commands;
}
