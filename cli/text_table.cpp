#include "cli/text_table.h"

#include <algorithm>

namespace {

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvLine(const TextRow& row) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
        if (i)
            line += ',';
        line += CsvField(row[i]);
    }
    return line + "\r\n";
}

}  // namespace

std::string FormatTextTable(const TextRow& header, const std::vector<TextRow>& rows) {
    std::vector<size_t> widths(header.size());
    for (size_t c = 0; c < header.size(); ++c) {
        widths[c] = header[c].size();
        for (const TextRow& row : rows)
            widths[c] = std::max(widths[c], c < row.size() ? row[c].size() : 0);
    }
    auto line = [&](const TextRow& row) {
        std::string text;
        for (size_t c = 0; c < widths.size(); ++c) {
            const std::string& cell = c < row.size() ? row[c] : std::string();
            text += cell;
            if (c + 1 < widths.size())
                text += std::string(widths[c] - cell.size() + 2, ' ');
        }
        // The last column is not padded; a trailing empty cell leaves no blanks.
        text.erase(text.find_last_not_of(' ') + 1);
        return text + '\n';
    };
    TextRow rule;
    for (size_t width : widths)
        rule.push_back(std::string(width, '-'));
    std::string text = line(header) + line(rule);
    for (const TextRow& row : rows)
        text += line(row);
    return text;
}

std::string FormatCsv(const TextRow& header, const std::vector<TextRow>& rows) {
    std::string text = CsvLine(header);
    for (const TextRow& row : rows)
        text += CsvLine(row);
    return text;
}
