// Plain-text tables for people and CSV for programs.
#pragma once

#include <string>
#include <vector>

using TextRow = std::vector<std::string>;

// Columns left-aligned and padded to their widest cell, two spaces apart;
// the header row first, then a line of dashes under it.
std::string FormatTextTable(const TextRow& header, const std::vector<TextRow>& rows);

// RFC 4180: fields that hold a comma, a quote or a line break are quoted, and
// quotes doubled; lines end in CRLF.
std::string FormatCsv(const TextRow& header, const std::vector<TextRow>& rows);
