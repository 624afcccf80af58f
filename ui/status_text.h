// The main window's status text: what the latest discovery found, or why it
// could not search, or the findings of the selected row. Composed from plain
// values, without windows, so that every wording is checked as text.
#pragma once

#include <vector>

#include "framework/cstring.h"
#include "net/socket_api.h"

struct StatusSummary {
    enum class State {
        kSearching,     // a discovery runs
        kNoUsableCard,  // nothing to search through
        kSearched,      // a discovery ended
    };
    State state = State::kSearching;
    // The cards the discovery went through (address and netmask).
    std::vector<InterfaceAddress> cards;
    // Why no card can be used, as a phrase; empty when not known.
    CString reason;
    int listed = 0;        // rows in the list
    int answeredNow = -1;  // adapters that answered this discovery; -1 when not known
    int withFindings = 0;  // rows with a network finding
    // When the discovery ended, local time.
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The text for the summary.
CString ComposeStatusText(const StatusSummary& summary);
// "172.16.0.5: <findings>": a selected row's findings, joined by "; ".
CString ComposeRowStatusText(const CString& ip, const CString& findings);
