// Both HART reply decoders on a chunk that follows an earlier, longer one:
// decoding the chunk as the parse tick does (from the exchange state, whose
// receive bytes past the new chunk still hold the earlier chunk's) must give
// exactly what decoding the chunk's own bytes alone gives, so stale bytes
// never show. The lone copy is a heap block of the chunk's exact size: a read
// past its end is caught by the address checker. Also FindHartReply against a
// plain scan, value texts within 9 characters, the identity changed only by a
// found, complete reply.
// Input: one byte for the split and the separator, then the earlier chunk and
// the new one.
#include "hart_decoders.h"
#include "exchange_rules.h"
#include "fuzz_check.h"
#include "recording_sink.h"

#include <cstring>
#include <memory>
#include <vector>

using namespace ortiva;

namespace {

std::optional<size_t> ReferenceFind(std::span<const uint8_t> chunk, uint8_t delimiter)
{
    for (size_t k = 0; k + 5 <= chunk.size(); ++k) {
        if (chunk[k] == 0xFF && chunk[k + 1] == delimiter) {
            return k;
        }
    }
    return std::nullopt;
}

bool SameIdentity(const HartIdentity& a, const HartIdentity& b)
{
    return a.PollAddress == b.PollAddress && a.ManufacturerId == b.ManufacturerId && a.DeviceType == b.DeviceType &&
           a.RequiredPreambles == b.RequiredPreambles && a.DeviceId == b.DeviceId;
}

void CheckValueTexts(const RecordingSink& sink)
{
    for (const std::string& write : sink.writes) {
        if (write.rfind("SetText ", 0) == 0) {
            const size_t blank = write.find(' ', 8);
            FUZZ_CHECK(blank != std::string::npos && write.size() - blank - 1 <= 9);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    const std::string sep = data[0] & 0x80 ? "," : ".";
    const std::span<const uint8_t> input(data + 1, size - 1);
    const size_t split = input.empty() ? 0 : (data[0] & 0x7F) * input.size() / 128;
    const std::span<const uint8_t> earlier = input.first(split);
    const std::span<const uint8_t> chunk = input.subspan(split);

    ExchangeState s;
    StoreChunk(s, earlier);
    StoreChunk(s, chunk);
    const size_t held = std::min(chunk.size(), kRxTextMax);
    const std::unique_ptr<uint8_t[]> alone(new uint8_t[held]);
    if (held > 0) {
        std::memcpy(alone.get(), chunk.data(), held);
    }
    const std::span<const uint8_t> own(alone.get(), held);

    for (uint8_t delimiter : {kHartIdentityReplyDelimiter, kHartVariablesReplyDelimiter}) {
        FUZZ_CHECK(FindHartReply(own, delimiter) == ReferenceFind(own, delimiter));
    }

    HartIdentity start;
    start.PollAddress = 3;
    start.ManufacturerId = 0x11;
    start.DeviceId = {1, 2, 3};
    HartIdentity fromState = start;
    HartIdentity fromOwn = start;
    RecordingSink stateSink;
    RecordingSink ownSink;
    DecodeHartIdentityReply(s, fromState, stateSink);
    FUZZ_CHECK(s.RxLength == static_cast<int32_t>(held));
    DecodeHartIdentityReply(own, fromOwn, ownSink);
    FUZZ_CHECK(stateSink.writes == ownSink.writes);
    FUZZ_CHECK(SameIdentity(fromState, fromOwn));
    const auto k = ReferenceFind(own, kHartIdentityReplyDelimiter);
    if (!k || *k + 18 >= held) {
        FUZZ_CHECK(SameIdentity(fromOwn, start));
    }

    RecordingSink varState;
    RecordingSink varOwn;
    const int slotsState = DecodeHartVariablesReply(s, varState, sep);
    const int slotsOwn = DecodeHartVariablesReply(own, varOwn, sep);
    FUZZ_CHECK(slotsState == slotsOwn && slotsOwn >= 0 && slotsOwn <= 4);
    FUZZ_CHECK(varState.writes == varOwn.writes);
    FUZZ_CHECK(varOwn.writes.size() == 3 * static_cast<size_t>(slotsOwn));
    CheckValueTexts(varOwn);
    return 0;
}
