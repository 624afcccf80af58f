// The UI probe: runs Pellvane's real start-up (the application object's
// InitInstance, main window included) on the calling thread and drives the
// main window from a second thread like a user would: wait until it shows,
// click "Update", wait until the list has painted its new rows, close it.
// It watches the window from outside the program, by subclassing the main
// window and its list, and reports what it saw. Sessions run one at a time.
#pragma once

#include <string>
#include <vector>

// One row as the list hands it out (its texts come on demand from the window).
struct ProbeRow {
    std::string ip, mac, status;
    bool operator==(const ProbeRow&) const = default;
};

// What the list and the adapter table held at one moment, read on the
// window's own thread while it was idle.
struct ProbeSnapshot {
    std::vector<ProbeRow> rows;   // the list, row by row
    std::vector<ProbeRow> table;  // the adapter table, entry by entry (empty texts: no record)
    bool listVisible = false;
    int trackedRow = -1;  // the window's tracked row (m_nSelectedRow)
};

struct ProbeUpdate {
    double clickToListedMs = 0;   // "Update" clicked -> the list has painted its new rows
    double exchangeMs = 0;        // list emptied -> first message of the rebuild
    double rebuildMs = 0;         // first message of the rebuild -> new rows painted
    double cpuMs = 0;             // this process's CPU time from click to painted rows
    bool repainted = false;       // the list painted after the update
    int textRequestsInPaint = 0;  // texts the list asked for in that paint
    ProbeSnapshot after;
};

struct ProbeReport {
    double startToShownMs = 0;  // process created -> window shown and its list painted
    ProbeSnapshot atStart;
    std::vector<ProbeUpdate> updates;
};

struct ProbeOptions {
    int updates = 1;
    int selectRow = -1;  // >= 0: select this row, as a click would, before each "Update"
    // False: no snapshots are taken, so that the process's memory is the
    // program's own (a snapshot of a large list weighs tens of MiB).
    bool snapshots = true;
};

// Runs the program's start-up on this thread, clicks "Update" as often as
// `options` say, then closes the window and lets the start-up sequence
// finish. The process must hold exactly one application object of the
// program's class. False, with `error`, when the window did not show or
// stopped answering.
bool RunProbedSession(const ProbeOptions& options, ProbeReport& report, std::string& error);
