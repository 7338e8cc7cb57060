// The time now, in UTC, as the command-line tool writes it.
#pragma once

#include <string>

namespace ortiva::cli {

// "14:03:07.250": the frame log's time of day.
std::string UtcTimeOfDay();
// "2026-12-09T23:40:00Z": a profile's saved_at.
std::string UtcSeconds();
// "2026-12-09T23:40:00.250Z": a sample's time stamp.
std::string UtcMilliseconds();

}  // namespace ortiva::cli
