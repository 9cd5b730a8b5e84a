#pragma once
// The program's one log: syslog(3) plus a copy on stderr. Not real-time safe.

#include <string_view>

namespace tamborel::platform {

// Writes one line to the system log and to stderr.
void logLine(std::string_view line);

} // namespace tamborel::platform
