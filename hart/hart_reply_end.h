// Where a HART reply from the instrument ends, as the module passes it on.
#pragma once

#include <cstdint>
#include <span>

#include "reply_end.h"

namespace ortiva {

// A reply framed by `delimiter` (0x06 short, 0x86 long) after a preamble
// byte 0xFF, searched from every byte (noise may come first): Complete when
// a frame's byte count of data and its checksum are there and the checksum
// (XOR from the delimiter) holds; Unjudged when the length is reached but the
// checksum is wrong; Incomplete otherwise.
ReplyEnd JudgeHartReply(std::span<const uint8_t> reply, uint8_t delimiter);

}  // namespace ortiva
