// What test programs need to start another program on either platform: the
// process id for unique file names, paths in the form each side uses (the
// build names Unix paths; under Wine the Unix root is drive Z:), and a
// Windows command line that the C runtime splits back into the same words.
#pragma once

#include <string>

unsigned long CurrentProcessId();
std::string PlatformPath(std::string path);
// What a Unix program started from here calls the same file.
std::string UnixPath(std::string path);
#ifdef _WIN32
std::string QuoteArgument(const std::string& arg);
#endif
