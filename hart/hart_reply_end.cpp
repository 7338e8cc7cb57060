#include "hart_reply_end.h"

#include "hart_frames.h"

namespace ortiva {

ReplyEnd JudgeHartReply(std::span<const uint8_t> reply, uint8_t delimiter)
{
    // From the delimiter: the address (1 byte short, 5 long), the command,
    // the byte count, the data, the checksum.
    const size_t addressLength = (delimiter & 0x80) != 0 ? 5 : 1;
    const size_t countAt = 1 + addressLength + 1;
    bool wrongChecksum = false;
    for (size_t k = 0; k + 1 < reply.size(); ++k) {
        if (reply[k] != 0xFF || reply[k + 1] != delimiter) continue;
        const size_t frame = k + 1;
        if (frame + countAt >= reply.size()) continue;
        const size_t length = countAt + 1 + reply[frame + countAt];  // delimiter .. last data byte
        if (frame + length >= reply.size()) continue;
        if (HartChecksum(reply.subspan(frame, length)) == reply[frame + length]) return ReplyEnd::Complete;
        wrongChecksum = true;
    }
    return wrongChecksum ? ReplyEnd::Unjudged : ReplyEnd::Incomplete;
}

}  // namespace ortiva
