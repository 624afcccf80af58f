#include "record/history.h"

#include <algorithm>
#include <chrono>
#include <string_view>

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kDateForm = "dddd-dd-dd";
constexpr std::string_view kTimeForm = "dddd-dd-ddTdd:dd:dd.dddZ";
// An unparsable line in a table: enough to recognise it, the rest is in CSV and JSON.
constexpr size_t kShownLineChars = 60;

// ---- times

// `form`'s 'd' stands for a decimal digit, every other character for itself.
bool FitsForm(const std::string& text, std::string_view form) {
    if (text.size() != form.size())
        return false;
    for (size_t i = 0; i < form.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (form[i] == 'd' ? !digit : text[i] != form[i])
            return false;
    }
    return true;
}

int Number(const std::string& text, size_t at, size_t digits) {
    int value = 0;
    for (size_t i = at; i < at + digits; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

bool IsValidDate(const std::string& text) {
    using namespace std::chrono;
    return year_month_day(year(Number(text, 0, 4)),
                          month(static_cast<unsigned>(Number(text, 5, 2))),
                          day(static_cast<unsigned>(Number(text, 8, 2))))
        .ok();
}

bool IsStoredTime(const std::string& text) {
    return FitsForm(text, kTimeForm) && IsValidDate(text) && Number(text, 11, 2) < 24 &&
           Number(text, 14, 2) < 60 && Number(text, 17, 2) < 60;
}

// ---- texts

// The length of the well-formed UTF-8 sequence at `at`, 0 when there is none.
size_t SequenceLength(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;    // no overlong forms
        high = lead == 0xED ? 0x9F : high;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned c = byte(at + i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

// Every byte that is not part of a well-formed sequence becomes U+FFFD; in a
// table every control character becomes a blank, so that a row stays a line.
std::string CleanText(const std::string& text, HistoryStyle style) {
    std::string clean;
    clean.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = SequenceLength(text, at);
        if (length == 0) {
            clean += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        const char c = text[at];
        const bool control = length == 1 && (static_cast<unsigned char>(c) < 0x20 || c == 0x7F);
        if (control && style == HistoryStyle::kTable)
            clean += ' ';
        else
            clean.append(text, at, length);
        at += length;
    }
    return clean;
}

// At most `chars` characters of well-formed UTF-8, "..." ending a shortened text.
std::string Shortened(const std::string& text, size_t chars) {
    size_t at = 0, count = 0;
    for (; at < text.size() && count + 3 < chars; ++count)
        at += std::max<size_t>(1, SequenceLength(text, at));
    size_t end = at;
    for (; end < text.size() && count < chars; ++count)
        end += std::max<size_t>(1, SequenceLength(text, end));
    return end >= text.size() ? text : text.substr(0, at) + "...";
}

// ---- records

// A string as it is, a number or true/false as written, an array or object
// only as such; nothing for null.
std::string ValueText(const Json& value) {
    if (value.is_string())
        return value.get_ref<const std::string&>();
    if (value.is_array())
        return "[...]";
    if (value.is_object())
        return "{...}";
    return value.is_null() ? std::string() : value.dump();
}

std::string Text(const Json& record, const char* key) {
    const auto it = record.find(key);
    return it == record.end() ? std::string() : ValueText(*it);
}

bool IsTrue(const Json& record, const char* key) {
    const auto it = record.find(key);
    return it != record.end() && it->is_boolean() && it->get<bool>();
}

std::string JoinedTexts(const Json& record, const char* key) {
    const auto it = record.find(key);
    if (it == record.end())
        return std::string();
    if (!it->is_array())
        return ValueText(*it);
    std::string joined;
    for (const Json& value : *it) {
        if (!joined.empty())
            joined += "; ";
        joined += ValueText(value);
    }
    return joined;
}

std::string Host(const std::string& host) {
    return host.empty() ? "\"\"" : host;
}

std::string NormalisedMac(std::string mac) {
    for (char& c : mac) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == '-')
            c = ':';
    }
    return mac;
}

bool IsAssignOf(const Json& record, int system) {
    const auto it = record.find("system");
    return Text(record, "action") == "assign" && it != record.end() && it->is_number_integer() &&
           it->get<std::int64_t>() == system;
}

// "system 1: NONE "" -> TessikBox 10.231.0.40"
std::string AssignSummary(const Json& record) {
    std::string text = "system ";
    text += Text(record, "system");
    text += ": ";
    text += Text(record, "oldType");
    text += ' ';
    text += Host(Text(record, "oldHost"));
    text += " -> ";
    text += Text(record, "newType");
    text += ' ';
    text += Host(Text(record, "newHost"));
    return text;
}

// "00:1a:2b:3c:4d:5e 10.231.0.30 -> 10.231.0.40 via 10.231.0.1, confirmed,
// forced, findings: a; b"
std::string AddressSummary(const Json& record) {
    std::string text = Text(record, "mac");
    text += ' ';
    text += Text(record, "oldAddress");
    text += " -> ";
    text += Text(record, "newAddress");
    const std::string via = Text(record, "via");
    if (!via.empty())
        text += " via " + via;
    const std::string outcome = Text(record, "outcome");
    if (!outcome.empty())
        text += ", " + outcome;
    if (IsTrue(record, "forced"))
        text += ", forced";
    const std::string findings = JoinedTexts(record, "findings");
    if (!findings.empty())
        text += ", findings: " + findings;
    return text;
}

bool IsCommonKey(const std::string& key) {
    for (const char* common :
         {"time", "user", "workstation", "program", "version", "action", "reason"}) {
        if (key == common)
            return true;
    }
    return false;
}

// An action of another program or a later version: what the record holds.
std::string OtherSummary(const Json& record) {
    std::string text = Text(record, "action");
    for (auto it = record.begin(); it != record.end(); ++it) {
        if (IsCommonKey(it.key()))
            continue;
        if (!text.empty())
            text += ' ';
        text += it.key() + '=' + ValueText(it.value());
    }
    return text;
}

std::string ChangeSummary(const Json& record) {
    const std::string action = Text(record, "action");
    if (action == "assign")
        return AssignSummary(record);
    if (action == "change-address")
        return AddressSummary(record);
    return OtherSummary(record);
}

std::string UnparsableSummary(const HistoryEntry& entry, HistoryStyle style) {
    std::string text = "unparsable line ";
    text += std::to_string(entry.line);
    text += ": ";
    const std::string line = CleanText(entry.text, style);
    text += style == HistoryStyle::kTable ? Shortened(line, kShownLineChars) : line;
    return text;
}

std::vector<std::string> Row(const HistoryEntry& entry, HistoryStyle style) {
    std::vector<std::string> row;
    if (!entry.IsRecord()) {
        // Only the change column, the second to last, says anything.
        row.resize(HistoryHeader(style).size());
        row[row.size() - 2] = UnparsableSummary(entry, style);
        return row;
    }
    const Json& r = entry.record;
    std::string program = Text(r, "program");
    if (style == HistoryStyle::kTable) {
        const std::string version = Text(r, "version");
        program += program.empty() || version.empty() ? "" : " ";
        program += version;
        row = {Text(r, "time"), Text(r, "user"), Text(r, "workstation"), program};
    } else {
        row = {Text(r, "time"), Text(r, "user"),    Text(r, "workstation"),
               program,         Text(r, "version"), Text(r, "action")};
    }
    row.push_back(ChangeSummary(r));
    row.push_back(Text(r, "reason"));
    for (std::string& cell : row)
        cell = CleanText(cell, style);
    return row;
}

}  // namespace

std::vector<HistoryEntry> ReadHistory(const std::string& text) {
    std::vector<HistoryEntry> entries;
    int number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        HistoryEntry entry;
        entry.line = ++number;
        entry.text = text.substr(start, end - start);
        start = end + 1;
        if (entry.text.ends_with('\r'))
            entry.text.pop_back();
        if (entry.text.starts_with(kByteOrderMark))
            entry.text.erase(0, kByteOrderMark.size());
        // Invalid UTF-8, a cut-off object and trailing text all fail the parse.
        entry.record = Json::parse(entry.text, nullptr, false);
        if (!entry.record.is_object())
            entry.record = Json(Json::value_t::discarded);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::string> ParseHistorySince(const std::string& text) {
    if (FitsForm(text, kDateForm) && IsValidDate(text))
        return text + "T00:00:00.000Z";
    if (IsStoredTime(text))
        return text;
    return std::nullopt;
}

void FilterHistory(std::vector<HistoryEntry>& entries, const HistoryFilter& filter) {
    std::erase_if(entries, [&](const HistoryEntry& entry) {
        if (!entry.IsRecord())
            return false;
        const Json& r = entry.record;
        // The stored form orders as the times do.
        const std::string time = Text(r, "time");
        if (filter.since && IsStoredTime(time) && time < *filter.since)
            return true;
        if (filter.mac && (Text(r, "action") != "change-address" ||
                           NormalisedMac(Text(r, "mac")) != NormalisedMac(*filter.mac)))
            return true;
        return filter.system && !IsAssignOf(r, *filter.system);
    });
}

std::vector<std::string> HistoryHeader(HistoryStyle style) {
    if (style == HistoryStyle::kTable)
        return {"Time", "User", "Workstation", "Program", "Change", "Reason"};
    return {"time", "user", "workstation", "program", "version", "action", "change", "reason"};
}

std::vector<std::vector<std::string>> HistoryRows(const std::vector<HistoryEntry>& entries,
                                                  HistoryStyle style) {
    std::vector<std::vector<std::string>> rows;
    rows.reserve(entries.size());
    for (const HistoryEntry& entry : entries)
        rows.push_back(Row(entry, style));
    return rows;
}

std::string FormatHistoryJson(const std::vector<HistoryEntry>& entries) {
    if (entries.empty())
        return "[]\n";
    std::string json = "[\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const HistoryEntry& entry = entries[i];
        if (i)
            json += ",\n";
        if (entry.IsRecord()) {
            json += entry.text;  // it parsed: valid JSON, and exactly what is stored
            continue;
        }
        const Json unparsable = {{"unparsable", true}, {"line", entry.line}, {"text", entry.text}};
        json += unparsable.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    return json + "\n]\n";
}
