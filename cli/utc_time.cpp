#include "utc_time.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace ortiva::cli {

namespace {

// The time now through strftime's `format`, then ".mmm" and `tail` when
// `milliseconds`.
std::string Format(const char* format, bool milliseconds, const char* tail)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[48];
    // The format is one of this file's own literals, passed in by the callers below.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    size_t n = std::strftime(text, sizeof text, format, &utc);
#pragma GCC diagnostic pop
    if (milliseconds) n += static_cast<size_t>(std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms)));
    std::snprintf(text + n, sizeof text - n, "%s", tail);
    return text;
}

}  // namespace

std::string UtcTimeOfDay() { return Format("%H:%M:%S", true, ""); }
std::string UtcSeconds() { return Format("%Y-%m-%dT%H:%M:%S", false, "Z"); }
std::string UtcMilliseconds() { return Format("%Y-%m-%dT%H:%M:%S", true, "Z"); }

}  // namespace ortiva::cli
