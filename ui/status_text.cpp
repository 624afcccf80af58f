#include "ui/status_text.h"

#include "net/network_check.h"

namespace {

// "A", "A and B", "A, B and C".
CString JoinCards(const std::vector<InterfaceAddress>& cards) {
    CString text;
    const size_t count = cards.size();
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            text += i + 1 == count ? " and " : ", ";
        text += FormatCard(cards[i]);
    }
    return text;
}

CString Counted(int count, LPCSTR one, LPCSTR many) {
    CString text;
    text.Format("%d %s", count, count == 1 ? one : many);
    return text;
}

}  // namespace

CString ComposeStatusText(const StatusSummary& summary) {
    switch (summary.state) {
        case StatusSummary::State::kSearching:
            return "Searching for adapters...";
        case StatusSummary::State::kNoUsableCard: {
            CString text =
                "No network card with an IPv4 address can be used: Pellvane cannot search.";
            // The reason as a sentence of its own.
            if (!summary.reason.IsEmpty()) {
                CString reason = summary.reason;
                char* first = reason.GetBuffer(reason.GetLength());
                if (first[0] >= 'a' && first[0] <= 'z')
                    first[0] = static_cast<char>(first[0] - 'a' + 'A');
                reason.ReleaseBuffer(reason.GetLength());
                text += " " + reason + ".";
            }
            return text;
        }
        case StatusSummary::State::kSearched:
            break;
    }
    CString through = summary.cards.empty() ? CString() : " through " + JoinCards(summary.cards);
    if (summary.listed == 0) {
        // What to check first, short enough for the bar; the user guide's
        // troubleshooting has the rest.
        LPCSTR where = summary.cards.empty()      ? "this computer"
                       : summary.cards.size() > 1 ? "one of them"
                                                  : "it";
        return "No adapter answered" + through + ". Are adapters on and cabled to " + where +
               "? See Troubleshooting.";
    }
    CString text = Counted(summary.listed, "adapter listed", "adapters listed");
    if (summary.answeredNow >= 0 && summary.answeredNow < summary.listed) {
        CString now;
        now.Format(" (%d answered now)", summary.answeredNow);
        text += now;
    }
    if (summary.withFindings > 0)
        text += ", " + Counted(summary.withFindings, "with a problem", "with problems");
    CString when;
    when.Format(" at %02d:%02d:%02d.", summary.hour, summary.minute, summary.second);
    text += ". Searched" + through + when;
    return text;
}

CString ComposeRowStatusText(const CString& ip, const CString& findings) {
    return ip + ": " + findings;
}
