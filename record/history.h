// The record of changes read back: each line of the record file as the record
// it holds or, when it holds none (cut short, damaged, edited by hand), as the
// line itself, so that nothing on record is ever hidden. Filters, and the
// cells and JSON the output formats show.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct HistoryEntry {
    int line = 0;                   // its line number in the file, from 1
    std::string text;               // the line as stored, without its line end
    nlohmann::ordered_json record;  // the object the line holds; discarded when none

    bool IsRecord() const { return record.is_object(); }
};

// The entries of the record file's text, in file order (oldest first). Every
// line ending in LF is an entry, an empty one too, and so is a last line
// without an LF (a record being appended, or cut short). A CR before the LF
// and a byte-order mark before a line are not part of it.
std::vector<HistoryEntry> ReadHistory(const std::string& text);

struct HistoryFilter {
    std::optional<std::string> since;  // a time in the stored form (ParseHistorySince)
    std::optional<std::string> mac;    // lower case, colons
    std::optional<int> system;         // 1 or 2
};

// "2026-12-09" (that day's start, UTC) or a time as stored
// ("2026-12-09T14:02:11.123Z"), as the stored form; nothing for other text.
std::optional<std::string> ParseHistorySince(const std::string& text);

// Keeps the records that every filter given matches, and every line that
// holds no record. `since` also keeps a record whose time is not in the
// stored form: when it was made cannot be told, and it must not vanish.
void FilterHistory(std::vector<HistoryEntry>& entries, const HistoryFilter& filter);

// The table (for people) and CSV (for programs) show the same rows in their
// own columns. Cells are UTF-8, invalid bytes replaced; a table's cells hold
// no control characters, and an unparsable line's text is shortened there.
enum class HistoryStyle { kTable, kCsv };
std::vector<std::string> HistoryHeader(HistoryStyle style);
std::vector<std::vector<std::string>> HistoryRows(const std::vector<HistoryEntry>& entries,
                                                  HistoryStyle style);

// A JSON array, one element a line: each record exactly as stored, each
// unparsable line as {"unparsable": true, "line": N, "text": "..."}.
std::string FormatHistoryJson(const std::vector<HistoryEntry>& entries);
