// Whether the system's high-contrast mode is on. The query goes through a
// replaceable function, so that a test can turn the mode on where the
// platform never reports it (Wine).
#pragma once

#ifdef _WIN32

using HighContrastQuery = bool (*)();

// The platform's answer (SPI_GETHIGHCONTRAST); false when it gives none.
bool SystemHighContrastOn();
// Asks the query in use.
bool IsHighContrastOn();
// Replaces the query; null puts the platform's back.
void SetHighContrastQuery(HighContrastQuery query);

#endif  // _WIN32
