// What the display emulator at the far end of the test line recorded:
// KPL_SIM_OUT names its folder (as the test program sees it), KPL_COM_PORT
// the line's COM port.
#pragma once

#include <string>
#include <vector>

// The number of the test line's COM port ("" when not set).
std::string ComPort();

// Every byte received so far ("" before the first).
std::string SimReceived();

// Waits until at least count bytes have arrived in all (or a timeout) and
// returns them.
std::string WaitForSimBytes(std::size_t count, int timeoutMs = 120000);

// One line of the emulator's command log; it writes a line once the
// command's last byte has arrived, so only whole lines are read.
struct SimCommand {
    long long firstMs = 0;
    long long lastMs = 0;
    std::string name;      // IMAGE, SAVE, CONFIRM, ...
    std::string details;   // "page=05"
    std::size_t bytes = 0; // the received bytes it stands for
};
std::vector<SimCommand> SimLog();

// Waits until the log holds at least count commands.
std::vector<SimCommand> WaitForSimLog(std::size_t count, int timeoutMs = 120000);

// Puts a marker (ESC "M") on the line and waits until
// the emulator has logged a command for every byte it received, the marker
// included: all that was sent before has then arrived and been decoded.
// Only while no program holds the port.
struct SimRecord {
    bool settled = false;
    std::string received;        // the bytes before the marker
    std::size_t afterMarker = 0; // bytes in all, marker included
    std::size_t commands = 0;    // log lines, the marker's included
};
SimRecord SimSettle(int timeoutMs = 120000);

// What arrived since a point in a test; a fixture takes stock in SetUp.
struct SimWatch {
    // Settles the line (SimSettle) and starts counting from there; returns
    // the bytes received before the marker.
    std::string TakeStock();
    // Waits for count bytes or commands since, and returns all there are.
    std::string Received(std::size_t count);
    std::vector<SimCommand> Commands(std::size_t count);
    // All that arrived since, known to be all once the line is settled
    // (only while no program holds the port); then counts from there.
    std::string ReceivedSettled();

    std::size_t receivedBefore = 0;
    std::size_t logBefore = 0;
};

// Another program holding a COM port while this object lives:
// port_holder.exe, beside this program, opens it through the tools' own
// serial layer.
struct PortHolder {
    explicit PortHolder(const std::string& device);
    ~PortHolder();
    bool Holding() const;
    void* process = nullptr;
    void* held = nullptr;
    void* release = nullptr;
};
