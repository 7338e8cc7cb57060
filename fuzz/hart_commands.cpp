// The HART request builders from operator text: N+1 preambles from Edit9 and
// the frame after them fit TxFrame, the checksum is the XOR of the body, the
// address comes from the list as its header says, the manual frame carries
// the typed bytes (its hex text judged before Edit9), and only EConvertError
// and EInputError leave.
// Input: one byte choosing the builder, mode and list index bytes, an identity
// of six bytes, then texts (Edit9, list text or Edit10) separated by 0x00.
#include "builders.h"
#include "hart_frames.h"
#include "hex_text.h"

using namespace ortiva;
using namespace ortiva::fuzz;

namespace {

// Counts the preambles and checks the checksum after them; gives the body
// (delimiter through the last data byte).
std::span<const uint8_t> CheckFrame(const Command& c, int preambles, bool exactPreambles)
{
    CheckFits(c);
    FUZZ_CHECK(c.echo == Echo::Hex);
    const size_t lead = static_cast<size_t>(preambles + 1);
    FUZZ_CHECK(c.bytes.size() > lead + 1);
    for (size_t i = 0; i < lead; ++i) {
        FUZZ_CHECK(c.bytes[i] == 0xFF);
    }
    if (exactPreambles) {
        FUZZ_CHECK(c.bytes[lead] != 0xFF);
    }
    const std::span<const uint8_t> body(c.bytes.data() + lead, c.bytes.size() - lead - 1);
    FUZZ_CHECK(HartChecksum(body) == c.bytes.back());
    return body;
}

std::optional<int> Address(const HartAddressChoice& choice, int max)
{
    const bool blank = choice.text.find_first_not_of(" \t") == std::string::npos;
    if (blank) {
        return choice.index >= 0 && choice.index <= max ? std::optional<int>(choice.index) : std::nullopt;
    }
    const std::optional<int32_t> typed = IntegerOf(choice.text);
    return typed && *typed >= 0 && *typed <= max ? std::optional<int>(*typed) : std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 10) {
        return 0;
    }
    const int mode = ListIndex(data[1]);
    HartAddressChoice choice{static_cast<int>(data[2] % 18) - 1, ""};
    HartIdentity identity;
    identity.PollAddress = data[3] % 16;
    identity.ManufacturerId = data[4];
    identity.DeviceType = data[5];
    identity.DeviceId = {data[6], data[7], data[8]};
    std::string_view texts[2];
    SplitFields(AsText(data + 9, size - 9), texts);
    const std::string_view edit9 = texts[0];
    choice.text = std::string(texts[1]);
    const std::optional<int32_t> n = IntegerOf(edit9);

    switch (data[0] % 4) {
    case 0: {
        const std::optional<int> address = Address(choice, kHartPollAddressMax);
        HartIdentity changed = identity;
        try {
            const Command c = HartDeviceQueryCommand(changed, edit9, mode, choice);
            FUZZ_CHECK(n && address && *n >= -1);
            const auto body = CheckFrame(c, *n, true);
            FUZZ_CHECK(body.size() == 4 && body[0] == kHartShortDelimiter);
            FUZZ_CHECK(body[1] == (HartMasterBit(mode) | *address) && body[2] == kHartCommandIdentity);
            FUZZ_CHECK(changed.PollAddress == *address);
        } catch (const EConvertError&) {
            FUZZ_CHECK(!n);
            FUZZ_CHECK(changed.PollAddress == identity.PollAddress);
        } catch (const EInputError&) {
            FUZZ_CHECK(!address || (n && (*n < -1 || *n + 1 + 5 > static_cast<int>(kTxFrameSize))));
            FUZZ_CHECK(changed.PollAddress == identity.PollAddress);
        }
        break;
    }
    case 1:
    case 2: {
        const bool set = data[0] % 4 == 2;
        const std::optional<int> address = Address(choice, kHartNewAddressMax);
        try {
            const Command c = set ? HartAddressSetCommand(identity, edit9, mode, choice)
                                  : HartVariablesQueryCommand(identity, edit9, mode);
            FUZZ_CHECK(n && *n >= -1 && (!set || address));
            const auto body = CheckFrame(c, *n, true);
            FUZZ_CHECK(body[0] == kHartLongDelimiter);
            FUZZ_CHECK(body[6] == (set ? kHartCommandAddress : kHartCommandVariables));
            FUZZ_CHECK(body.size() == 8u + (set ? 1u : 0u));
            if (set) {
                FUZZ_CHECK(body[8] == *address);
            }
        } catch (const EConvertError&) {
            FUZZ_CHECK(!n);
        } catch (const EInputError&) {
            FUZZ_CHECK((set && !address) ||
                       (n && (*n < -1 || *n + 1 + (set ? 10 : 9) > static_cast<int>(kTxFrameSize))));
        }
        break;
    }
    default: {
        const std::string_view edit10 = texts[1];
        const HexBytesResult typed = ParseHexBytes(edit10, kHartManualByteLimit);
        try {
            const HartManualResult r = HartManualCommand(edit10, edit9);
            FUZZ_CHECK(r.message == typed.error);
            if (r.ok()) {
                FUZZ_CHECK(n && *n >= -1);
                const auto body = CheckFrame(r.command, *n, false);
                FUZZ_CHECK(std::equal(body.begin(), body.end(), typed.bytes.begin(), typed.bytes.end()));
            }
        } catch (const EConvertError&) {
            FUZZ_CHECK(typed.ok() && !n);
        } catch (const EInputError&) {
            FUZZ_CHECK(typed.ok() && n &&
                       (*n < -1 || static_cast<size_t>(*n + 1) + typed.bytes.size() + 1 > kTxFrameSize));
        }
        break;
    }
    }
    return 0;
}
