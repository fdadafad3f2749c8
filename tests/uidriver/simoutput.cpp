#include "tests/uidriver/simoutput.h"

#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string SimFile(const std::string& name) {
    return Environment("KPL_SIM_OUT") + "\\" + name;
}

// Polls until done() or the time-out; true when done.
template <typename Done> bool PollUntil(int timeoutMs, Done done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::size_t CommandBytes(const SimCommand& command) {
    if (command.name == "IMAGE")
        return 483;
    if (command.name == "SAVE" || command.name == "CONFIG")
        return 3;
    if (command.name == "CONFIRM")
        return 1;
    std::size_t at = command.details.find("bytes=");
    return at == std::string::npos ? 0 : (command.details.size() - at - 6 + 1) / 3;
}

// ESC "M": no command of the display's, so it stands out in the stream.
const char kMarker[] = "\x1bM";

bool SendMarker() {
    std::string port = "\\\\.\\COM" + ComPort();
    HANDLE line = CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (line == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool sent = WriteFile(line, kMarker, 2, &written, nullptr) && written == 2;
    CloseHandle(line);
    return sent;
}

} // namespace

std::string ComPort() {
    return Environment("KPL_COM_PORT");
}

std::string SimReceived() {
    std::string bytes = FileContents(SimFile("received.bin"));
    return bytes == "<missing>" ? std::string() : bytes;
}

std::string WaitForSimBytes(std::size_t count, int timeoutMs) {
    std::string bytes;
    PollUntil(timeoutMs, [&] { return (bytes = SimReceived()).size() >= count; });
    return bytes;
}

std::vector<SimCommand> SimLog() {
    std::vector<SimCommand> commands;
    std::string text = FileContents(SimFile("log.txt"));
    // A line still being written has no line end yet.
    text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        SimCommand command;
        if (!(fields >> command.firstMs >> command.lastMs >> command.name))
            continue;
        std::getline(fields, command.details);
        if (!command.details.empty() && command.details[0] == ' ')
            command.details.erase(0, 1);
        command.bytes = CommandBytes(command);
        commands.push_back(command);
    }
    return commands;
}

std::vector<SimCommand> WaitForSimLog(std::size_t count, int timeoutMs) {
    std::vector<SimCommand> commands;
    PollUntil(timeoutMs, [&] { return (commands = SimLog()).size() >= count; });
    return commands;
}

SimRecord SimSettle(int timeoutMs) {
    SimRecord record;
    // Counted first: an earlier marker may still end the stream.
    std::size_t before = SimReceived().size();
    if (!SendMarker())
        return record;
    std::string received;
    std::vector<SimCommand> log;
    // The emulator writes the bytes before their log line: once the log
    // stands for every byte read just before it, nothing is left half-decoded.
    record.settled = PollUntil(timeoutMs, [&] {
        received = SimReceived();
        log = SimLog();
        std::size_t logged = 0;
        for (const SimCommand& command : log)
            logged += command.bytes;
        return received.size() >= before + 2 &&
               received.compare(received.size() - 2, 2, kMarker) == 0 && logged >= received.size();
    });
    record.afterMarker = received.size();
    record.received = received.substr(0, received.size() < 2 ? 0 : received.size() - 2);
    record.commands = log.size();
    return record;
}

std::string SimWatch::TakeStock() {
    SimRecord record = SimSettle();
    EXPECT_TRUE(record.settled) << "the emulator did not log the marker";
    receivedBefore = record.afterMarker;
    logBefore = record.commands;
    return record.received;
}

std::string SimWatch::Received(std::size_t count) {
    return WaitForSimBytes(receivedBefore + count).substr(receivedBefore);
}

std::vector<SimCommand> SimWatch::Commands(std::size_t count) {
    std::vector<SimCommand> all = WaitForSimLog(logBefore + count);
    return std::vector<SimCommand>(all.begin() + static_cast<long>(logBefore), all.end());
}

std::string SimWatch::ReceivedSettled() {
    std::size_t from = receivedBefore;
    std::string received = TakeStock();
    return received.size() < from ? "<not settled>" : received.substr(from);
}

PortHolder::PortHolder(const std::string& device) {
    held = CreateEventA(nullptr, TRUE, FALSE, "kpl120.test.held");
    release = CreateEventA(nullptr, TRUE, FALSE, "kpl120.test.release");
    ResetEvent(held);
    ResetEvent(release);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program = self;
    program = program.substr(0, program.rfind('\\') + 1) + "port_holder.exe";
    std::string command = "port_holder.exe " + device + " kpl120.test.held kpl120.test.release";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &started)) {
        process = started.hProcess;
        CloseHandle(started.hThread);
        WaitForSingleObject(held, 20000);
    }
}

bool PortHolder::Holding() const {
    return WaitForSingleObject(held, 0) == WAIT_OBJECT_0;
}

PortHolder::~PortHolder() {
    SetEvent(release);
    if (process) {
        WaitForSingleObject(process, 20000);
        CloseHandle(process);
    }
    CloseHandle(held);
    CloseHandle(release);
}
