// Files written whole or not at all: the profile, and any other file the
// tools write for the operator.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "failure.h"

namespace ortiva {

// Writes `bytes` to a new file beside `path`, checking every write and the
// close, flushes it to the disk, renames it over `path` and flushes the
// folder. On any failure before the rename the new file is removed, whatever
// was at `path` stays byte for byte as it was, and a kExitUsage Failure is thrown
// ("<path>: <the system's reason>").
// A file that replaces an existing one keeps that one's permissions.
void WriteFileWhole(const std::string& path, std::string_view bytes);

}  // namespace ortiva
