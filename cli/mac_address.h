// Hardware addresses as a user types them: six pairs of hexadecimal digits in
// any case, separated by ':' or '-'.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "net/adapter_record.h"

using MacAddress = std::array<BYTE, 6>;

std::optional<MacAddress> ParseMacAddress(const std::string& text);

// True when `record` carries exactly this MAC (all six octets).
bool HasMacAddress(const AdapterRecord& record, const MacAddress& mac);
