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

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <map>
#include <memory>
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
    return options.ports.size() > 1 || options.serialGiven || !options.log.empty() ||
           !options.watch.empty() || options.eachEnter;
}

std::string Today() {
    return TimeText("%Y-%m-%d", false);
}

namespace {

bool ResolvePorts(const std::vector<std::string>& texts, std::vector<PortName>& ports) {
    for (const std::string& text : texts) {
        PortName port;
        std::string why;
        if (!ResolvePort(text, port, why)) {
            Complain(text, why);
            return false;
        }
        for (const PortName& earlier : ports)
            if (earlier.device == port.device) {
                Complain(text, "is given twice as --port");
                return false;
            }
        ports.push_back(port);
    }
    return true;
}

// The Enter key (--each-enter), read by a thread of its own so that Ctrl-C
// is seen while it waits. Shared with that thread, which may outlive the
// station, blocked in its read.
struct EnterKeys {
    std::mutex lock;
    int pressed = 0;
    bool ended = false; // end of input
};

std::shared_ptr<EnterKeys> ReadEnterKeys() {
    auto keys = std::make_shared<EnterKeys>();
    std::thread([keys] {
        int c;
        while ((c = std::getchar()) != EOF)
            if (c == '\n') {
                std::lock_guard<std::mutex> hold(keys->lock);
                ++keys->pressed;
            }
        std::lock_guard<std::mutex> hold(keys->lock);
        keys->ended = true;
    }).detach();
    return keys;
}

// Every number is used once, also by a unit that failed, and across runs
// when the log holds those it used.
struct Numbering {
    bool on = false;
    std::uint64_t next = 0;
    std::set<std::uint64_t> used;
};

std::uint64_t TakeNumber(Numbering& numbers) {
    while (numbers.used.count(numbers.next))
        ++numbers.next;
    numbers.used.insert(numbers.next);
    return numbers.next;
}

// What a station run is given, and keeps between its units.
struct Run {
    const StationOptions& options;
    const PlaceholderValues& values;
    const UnitPages& pages;
    Numbering numbers;
    Station station;
    bool logged = true; // every unit's line went into the log
};

PlaceholderValues UnitValues(const Run& run, std::uint64_t serial) {
    PlaceholderValues values = run.values;
    if (run.numbers.on)
        values["serial"] = std::to_string(serial);
    if (!values.count("date"))
        values["date"] = Today();
    return values;
}

void StartUnit(Run& run, const PortName& port) {
    Unit& unit = run.station.units.emplace_back();
    unit.port = port;
    unit.adapter = DescribeSerialPort(port.device);
    unit.started = LogTime();
    unit.numbered = run.numbers.on;
    if (unit.numbered)
        unit.serial = TakeNumber(run.numbers);
    unit.values = UnitValues(run, unit.serial);
    if (!run.pages(unit.values, unit.pages, unit.why)) {
        unit.done = true;
        return;
    }
    unit.thread = std::thread(StoreUnit, std::ref(run.station), std::ref(unit));
}

// Waits a tick for units to end, then says and logs those that did; the
// ports (as labelled) of those ended.
std::vector<std::string> EndUnits(Run& run) {
    {
        std::unique_lock<std::mutex> hold(run.station.lock);
        run.station.changed.wait_for(hold, kTick);
    }
    std::vector<std::string> ended;
    for (auto unit = run.station.units.begin(); unit != run.station.units.end();) {
        bool done;
        {
            std::lock_guard<std::mutex> hold(run.station.lock);
            done = unit->done;
        }
        if (!done) {
            ++unit;
            continue;
        }
        Finish(run.station, *unit);
        if (!run.options.log.empty())
            run.logged = LogUnit(run.options.log, RecordOf(*unit)) && run.logged;
        ended.push_back(unit->port.label);
        unit = run.station.units.erase(unit);
    }
    return ended;
}

// No unit is started after Ctrl-C or a line the log did not take.
bool Stopping(const Run& run) {
    return Interrupted() || !run.logged;
}

// --watch: every port the pattern matches is served once, those there at
// the start too, and again only after it has gone and come back.
void Watch(Run& run) {
    // The ports served or in flight, by label: whether in flight.
    std::map<std::string, bool> known;
    while (!Stopping(run) || !run.station.units.empty()) {
        for (const std::string& label : EndUnits(run))
            known[label] = false;
        if (Stopping(run))
            continue;
        std::vector<std::string> present = MatchingPorts(run.options.watch);
        for (auto port = known.begin(); port != known.end();) {
            if (port->second ||
                std::find(present.begin(), present.end(), port->first) != present.end()) {
                ++port;
                continue;
            }
            Say(run.station, Printable(port->first) + ": gone");
            port = known.erase(port);
        }
        for (const std::string& text : present) {
            PortName port;
            std::string why;
            if (!ResolvePort(text, port, why) || known.count(port.label))
                continue;
            known[port.label] = true;
            StartUnit(run, port);
        }
    }
}

// The ports given, all at once; with --each-enter again after each Enter.
void StoreRounds(Run& run, const std::vector<PortName>& ports) {
    std::shared_ptr<EnterKeys> keys = run.options.eachEnter ? ReadEnterKeys() : nullptr;
    for (;;) {
        for (const PortName& port : ports)
            StartUnit(run, port);
        while (!run.station.units.empty())
            EndUnits(run);
        if (!keys || Stopping(run))
            return;
        int seen;
        {
            std::lock_guard<std::mutex> hold(keys->lock);
            seen = keys->pressed; // Enter pressed while storing counts for nothing
        }
        PrintText(std::string("Enter stores the next ") +
                  (ports.size() == 1 ? "display" : "displays") +
                  " (Ctrl-C or the end of input ends)\n");
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(keys->lock);
                if (keys->pressed > seen)
                    break;
                if (keys->ended)
                    return;
            }
            if (Interrupted())
                return;
            Pause(unsigned(kTick.count()));
        }
    }
}

} // namespace

int RunStation(const StationOptions& options, const PlaceholderValues& values,
               const std::string& project, const UnitPages& pages) {
    std::vector<PortName> ports;
    if (!ResolvePorts(options.ports, ports))
        return kExitUsage;
    if (ports.empty() == options.watch.empty()) {
        Complain("--port", options.watch.empty()
                               ? "no port given: give --port PORT, set KPL_PORT or give --watch"
                               : "--watch serves the ports it finds: give no --port with it");
        return kExitUsage;
    }
    if (options.eachEnter && ports.empty()) {
        Complain("--each-enter", "stores into the ports given: give --port PORT");
        return kExitUsage;
    }
    Run run{options, values, pages, {}, {}, true};
    run.numbers.on = options.serialGiven;
    run.numbers.next = options.serial;
    if (!options.log.empty() && !OpenUnitLog(options.log, run.numbers.used))
        return kExitUnreadable;
    // The first unit's pages are drawn before any port is opened: a project
    // that cannot be drawn stores nothing.
    std::uint64_t serial = options.serial;
    while (run.numbers.used.count(serial))
        ++serial;
    if (run.numbers.on && serial != options.serial)
        Complain(options.log, "holds serial " + std::to_string(options.serial) +
                                  " and those up to " + std::to_string(serial - 1) +
                                  ": numbering from " + std::to_string(serial));
    std::vector<RenderedPage> drawn;
    std::string why;
    if (!pages(UnitValues(run, serial), drawn, why))
        return kExitUnreadable;
    NoteInterruptions();
    if (options.watch.empty())
        StoreRounds(run, ports);
    else
        Watch(run);
    Station& station = run.station;
    const int total = station.stored + station.failed;
    PrintText(std::to_string(station.stored) + " of " + std::to_string(total) +
              (total == 1 ? " display stored" : " displays stored") + station.failures + "\n");
    if (Interrupted()) {
        Complain(project, "interrupted; the units in flight were stored to their end");
        return kExitInterrupted;
    }
    return station.failed > 0 ? kExitWrite : run.logged ? kExitDone : kExitUnreadable;
}
