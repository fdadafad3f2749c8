#include "cli/station.h"

#include "cli/report.h"
#include "cli/unitlog.h"
#include "display/lineproblem.h"
#include "display/portname.h"
#include "display/transaction.h"
#include "platform/interrupt.h"
#include "platform/pause.h"
#include "platform/portlist.h"
#include "platform/userfiles.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <list>
#include <mutex>
#include <set>
#include <thread>

namespace {

// How often the station looks for Ctrl-C while units are in flight.
constexpr std::chrono::milliseconds kTick(100);

// One display stored, or being stored, by a thread of its own.
struct Unit {
    PortName port;
    SerialPortEntry adapter; // what the system knows of the port
    std::string started;     // the time, as the log writes it
    bool numbered = false;
    std::uint64_t serial = 0;
    PlaceholderValues values;
    std::vector<RenderedPage> pages;
    // Its thread's, read once `done`:
    std::vector<int> stored;
    std::size_t bytes = 0;
    std::string why; // empty when it was stored
    bool done = false;
    std::thread thread;
};

struct Station {
    std::mutex lock; // the output, and the units' `done`
    std::condition_variable changed;
    std::list<Unit> units; // in flight; a list, so that each stays where its thread sees it
    int stored = 0;
    int failed = 0;
    std::string failures; // "; PORT: why" each
};

std::string TwoDigits(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

void Say(Station& station, const std::string& line) {
    std::lock_guard<std::mutex> hold(station.lock);
    PrintText(line + "\n");
}

// A unit's thread: the pages over its held line as a single store sends
// them, each followed by the pause in which the display stores it.
void StoreUnit(Station& station, Unit& unit) {
    DisplayLine line;
    LineOutcome outcome = OpenDisplayLine(unit.port.device, line);
    const int count = int(unit.pages.size()); // 17 at most
    const int width = count < 10 ? 1 : 2;
    for (int i = 0; i < count && outcome.result == LineResult::Sent; ++i) {
        const RenderedPage& page = unit.pages[std::size_t(i)];
        outcome = SendOnDisplayLine(line, DownloadSteps(page.image, page.number, false));
        unit.bytes += outcome.bytesSent;
        const bool sent = outcome.result == LineResult::Sent;
        char counter[32];
        std::snprintf(counter, sizeof counter, "[%*d/%d]", width, i + 1, count);
        Say(station, Printable(unit.port.label) + ": " + counter + " page " +
                         TwoDigits(page.number) + "  " + Printable(page.name) + "  " +
                         (sent ? "sent" : "not sent"));
        if (!sent)
            break;
        unit.stored.push_back(page.number);
        Pause(kBatchPauseMs);
    }
    CloseDisplayLine(line);
    std::string why = LineProblemText(outcome);
    std::lock_guard<std::mutex> hold(station.lock);
    unit.why = why;
    unit.done = true;
    station.changed.notify_all();
}

// The unit's line of the log.
UnitRecord RecordOf(const Unit& unit) {
    UnitRecord record;
    record.time = unit.started;
    record.port = unit.port.label;
    record.adapterSerial = unit.adapter.usbSerial;
    record.adapter = unit.adapter.description;
    record.serial = unit.numbered ? std::to_string(unit.serial) : "";
    for (const auto& value : unit.values)
        if (!(unit.numbered && value.first == "serial"))
            record.values += (record.values.empty() ? "" : "; ") + value.first + "=" + value.second;
    for (int page : unit.stored)
        record.pages += (record.pages.empty() ? "" : " ") + TwoDigits(page);
    record.bytes = unit.bytes;
    record.stored = unit.why.empty();
    record.reason = unit.why;
    return record;
}

// Says how a unit ended and counts it; its thread has ended.
void Finish(Station& station, Unit& unit) {
    if (unit.thread.joinable())
        unit.thread.join();
    const std::string serial = unit.numbered ? " (serial " + std::to_string(unit.serial) + ")" : "";
    std::lock_guard<std::mutex> hold(station.lock);
    PrintText(Printable(unit.port.label) + (unit.why.empty() ? ": stored" : ": not stored") +
              serial + "\n");
    if (unit.why.empty()) {
        ++station.stored;
        return;
    }
    Complain(unit.port.label, unit.why);
    ++station.failed;
    station.failures += "; " + Printable(unit.port.label) + ": " + Printable(unit.why);
}

} // namespace

bool IsStation(const StationOptions& options) {
    return options.ports.size() > 1 || options.serialGiven || !options.log.empty();
    return options.ports.size() > 1 || options.serialGiven;
}

std::string Today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

int RunStation(const StationOptions& options, const PlaceholderValues& values,
               const std::string& project, const UnitPages& pages) {
    std::vector<PortName> ports;
    for (const std::string& text : options.ports) {
        PortName port;
        std::string why;
        if (!ResolvePort(text, port, why)) {
            Complain(text, why);
            return kExitUsage;
        }
        for (const PortName& earlier : ports)
            if (earlier.device == port.device) {
                Complain(text, "is given twice as --port");
                return kExitUsage;
            }
        ports.push_back(port);
    }
    if (ports.empty()) {
        Complain("--port", "no port given: give --port PORT or set KPL_PORT");
        return kExitUsage;
    }
    // Every number is used once, also by a unit that failed, and across
    // runs when the log holds those it used.
    std::set<std::uint64_t> used;
    if (!options.log.empty() && !OpenUnitLog(options.log, used))
        return kExitUnreadable;
    std::uint64_t next = options.serial;
    while (used.count(next))
        ++next;
    if (options.serialGiven && next != options.serial)
        Complain(options.log, "holds serial " + std::to_string(options.serial) +
                                  " and those up to " + std::to_string(next - 1) +
                                  ": numbering from " + std::to_string(next));
    auto valuesOf = [&](Unit& unit) {
        unit.values = values;
        if (options.serialGiven) {
            unit.numbered = true;
            unit.serial = next;
            unit.values["serial"] = std::to_string(next);
        }
        if (!values.count("date"))
            unit.values["date"] = Today();
    };
    // Takes the number valuesOf gave.
    auto useNumber = [&] {
        if (!options.serialGiven)
            return;
        used.insert(next);
        while (used.count(next))
            ++next;
    };
    // The first unit's pages are drawn before any port is opened: a project
    // that cannot be drawn stores nothing.
    {
        Unit first;
        valuesOf(first);
        std::string why;
        if (!pages(first.values, first.pages, why))
            return kExitUnreadable;
    }
    NoteInterruptions();
    Station station;
    bool logged = true;
    for (const PortName& port : ports) {
        Unit& unit = station.units.emplace_back();
        unit.port = port;
        unit.adapter = DescribeSerialPort(port.device);
        unit.started = LogTime();
        valuesOf(unit);
        useNumber();
        if (!pages(unit.values, unit.pages, unit.why)) {
            unit.done = true;
            continue;
        }
        unit.thread = std::thread(StoreUnit, std::ref(station), std::ref(unit));
    }
    while (!station.units.empty()) {
        {
            std::unique_lock<std::mutex> hold(station.lock);
            station.changed.wait_for(hold, kTick);
        }
        for (auto unit = station.units.begin(); unit != station.units.end();) {
            bool done;
            {
                std::lock_guard<std::mutex> hold(station.lock);
                done = unit->done;
            }
            if (!done) {
                ++unit;
                continue;
            }
            Finish(station, *unit);
            if (!options.log.empty())
                logged = LogUnit(options.log, RecordOf(*unit)) && logged;
            unit = station.units.erase(unit);
        }
    }
    const int total = station.stored + station.failed;
    PrintText(std::to_string(station.stored) + " of " + std::to_string(total) +
              (total == 1 ? " display stored" : " displays stored") + station.failures + "\n");
    if (Interrupted()) {
        Complain(project, "interrupted; the units in flight were stored to their end");
        return kExitInterrupted;
    }
    return station.failed > 0 ? kExitWrite : logged ? kExitDone : kExitUnreadable;
}
