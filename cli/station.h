// Storing a project into many displays at once: a station. Each display is
// a unit, stored over a line held by a thread of its own with the bytes and
// pauses of a single `kpl store`; each unit's values (its serial number, the
// day) fill the project's placeholders.
#pragma once

#include "pages/placeholders.h"
#include "pages/project.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct StationOptions {
    std::vector<std::string> ports; // --port: a display on each, all at once
    bool serialGiven = false;
    std::uint64_t serial = 0; // --serial: the first unit's number
    std::string log;          // --log FILE: a line per unit
    std::string watch;        // --watch PATTERN: the ports as they come and go
    bool eachEnter = false;   // --each-enter: the ports again after each Enter
};

// Whether the options ask for a station rather than one display's store.
bool IsStation(const StationOptions& options);

// A unit's pages drawn with its values; false after telling why not, the
// first problem in `why`.
using UnitPages = std::function<bool(const PlaceholderValues& values,
                                     std::vector<RenderedPage>& pages, std::string& why)>;

// Stores the pages into every display the options name, `values` (--set)
// filling the placeholders beside each unit's own; `project` names the
// project in messages. The exit status: 0 when every unit was stored, 4
// when one was not, 130 after Ctrl-C (the units in flight are finished).
int RunStation(const StationOptions& options, const PlaceholderValues& values,
               const std::string& project, const UnitPages& pages);

// The day as {date} takes it, YYYY-MM-DD in local time.
std::string Today();
