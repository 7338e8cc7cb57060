#include "hart_instrument.h"

#include <algorithm>

namespace ortiva::sim {
namespace {

constexpr uint8_t kMasterShort = 0x02;
constexpr uint8_t kMasterLong = 0x82;
constexpr uint8_t kSlaveShort = 0x06;
constexpr uint8_t kSlaveLong = 0x86;

struct Request {
    bool longFrame = false;
    bool masterBit = false;
    uint8_t command = 0;
    std::span<const uint8_t> data;
};

bool AddressedToMe(const HartInstrument& dev, bool longFrame, std::span<const uint8_t> address)
{
    if (!longFrame) return (address[0] & 0x3F) == dev.pollAddress;
    return (address[0] & 0x3F) == (dev.manufacturerId & 0x3F) && address[1] == dev.deviceType &&
           std::equal(dev.deviceId.begin(), dev.deviceId.end(), address.begin() + 2);
}

// Finds one well-formed frame for this device in `bytes`.
bool ParseRequest(const HartInstrument& dev, std::span<const uint8_t> bytes, Request& out)
{
    size_t i = 0;
    while (i < bytes.size() && bytes[i] == 0xFF) ++i;
    if (i == 0 || i >= bytes.size()) return false;
    const size_t start = i;
    const uint8_t delimiter = bytes[start];
    if (delimiter != kMasterShort && delimiter != kMasterLong) return false;
    const bool longFrame = delimiter == kMasterLong;
    const size_t addressSize = longFrame ? 5 : 1;
    const size_t countAt = start + 1 + addressSize + 1;
    if (countAt >= bytes.size()) return false;
    const size_t dataAt = countAt + 1;
    const size_t checksumAt = dataAt + bytes[countAt];
    if (checksumAt >= bytes.size()) return false;
    if (XorOf(bytes.subspan(start, checksumAt - start)) != bytes[checksumAt]) return false;
    const auto address = bytes.subspan(start + 1, addressSize);
    if (!AddressedToMe(dev, longFrame, address)) return false;
    out.longFrame = longFrame;
    out.masterBit = (address[0] & 0x80) != 0;
    out.command = bytes[start + 1 + addressSize];
    out.data = bytes.subspan(dataAt, bytes[countAt]);
    return true;
}

Bytes Frame(const HartInstrument& dev, const Request& req, uint8_t response, std::span<const uint8_t> data,
            const HartReplyOptions& options)
{
    Bytes out;
    if (options.garbage) out.insert(out.end(), kHartNoise.begin(), kHartNoise.end());
    out.insert(out.end(), static_cast<size_t>(std::clamp(options.preambles, 2, 20)), 0xFF);
    const size_t start = out.size();
    const uint8_t master = req.masterBit ? 0x80 : 0x00;
    if (req.longFrame) {
        out.push_back(kSlaveLong);
        out.push_back(static_cast<uint8_t>(master | (dev.manufacturerId & 0x3F)));
        out.push_back(dev.deviceType);
        out.insert(out.end(), dev.deviceId.begin(), dev.deviceId.end());
    } else {
        out.push_back(kSlaveShort);
        out.push_back(static_cast<uint8_t>(master | dev.pollAddress));
    }
    out.push_back(req.command);
    out.push_back(static_cast<uint8_t>(2 + data.size()));
    out.push_back(response);
    out.push_back(dev.deviceStatus);
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(XorOf(std::span(out).subspan(start)));
    return out;
}

void PutFloat(Bytes& data, float value)
{
    const auto b = FloatBytes(value);
    data.insert(data.end(), b.begin(), b.end());
}

}  // namespace

Bytes HartAnswer(HartInstrument& dev, std::span<const uint8_t> request, const HartReplyOptions& options)
{
    Request req;
    if (!ParseRequest(dev, request, req)) return {};
    // HART 5: a short address reaches the device with command 0 only.
    if (!req.longFrame && req.command != 0) return {};
    if (options.error) return Frame(dev, req, kHartBusy, {}, options);

    Bytes data;
    switch (req.command) {
    case 0:
        data = {254,
                dev.manufacturerId,
                dev.deviceType,
                dev.requiredPreambles,
                dev.universalRevision,
                dev.deviceRevision,
                dev.softwareRevision,
                dev.hardwareSignalling,
                dev.flags,
                dev.deviceId[0],
                dev.deviceId[1],
                dev.deviceId[2]};
        return Frame(dev, req, kHartOk, data, options);
    case 3: {
        PutFloat(data, dev.loopCurrent);
        const int count = std::clamp(options.variables, 1, 4);
        for (int v = 0; v < count; ++v) {
            data.push_back(dev.variables[v].unit);
            PutFloat(data, dev.variables[v].value);
        }
        return Frame(dev, req, kHartOk, data, options);
    }
    case 6: {
        if (req.data.empty()) return Frame(dev, req, kHartTooFewDataBytes, {}, options);
        const uint8_t address = req.data[0];
        if (address > 15) return Frame(dev, req, kHartInvalidSelection, {}, options);
        dev.pollAddress = address;
        data = {address};
        return Frame(dev, req, kHartOk, data, options);
    }
    default: return Frame(dev, req, kHartNotImplemented, {}, options);
    }
}

}  // namespace ortiva::sim
