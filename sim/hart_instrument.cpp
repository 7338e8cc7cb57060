#include "hart_instrument.h"

#include <algorithm>

namespace ortiva::sim {
namespace {

constexpr uint8_t kMasterShort = 0x02;
constexpr uint8_t kMasterLong = 0x82;
constexpr uint8_t kSlaveShort = 0x06;
constexpr uint8_t kSlaveLong = 0x86;

struct Request {
    bool long_frame = false;
    bool master_bit = false;
    uint8_t command = 0;
    std::span<const uint8_t> data;
};

bool AddressedToMe(const HartInstrument& dev, bool long_frame, std::span<const uint8_t> address)
{
    if (!long_frame)
        return (address[0] & 0x3F) == dev.poll_address;
    return (address[0] & 0x3F) == (dev.manufacturer_id & 0x3F) && address[1] == dev.device_type &&
           std::equal(dev.device_id.begin(), dev.device_id.end(), address.begin() + 2);
}

// Finds one well-formed frame for this device in `bytes`.
bool ParseRequest(const HartInstrument& dev, std::span<const uint8_t> bytes, Request& out)
{
    size_t i = 0;
    while (i < bytes.size() && bytes[i] == 0xFF)
        ++i;
    if (i == 0 || i >= bytes.size())
        return false;
    const size_t start = i;
    const uint8_t delimiter = bytes[start];
    if (delimiter != kMasterShort && delimiter != kMasterLong)
        return false;
    const bool long_frame = delimiter == kMasterLong;
    const size_t address_size = long_frame ? 5 : 1;
    const size_t count_at = start + 1 + address_size + 1;
    if (count_at >= bytes.size())
        return false;
    const size_t data_at = count_at + 1;
    const size_t checksum_at = data_at + bytes[count_at];
    if (checksum_at >= bytes.size())
        return false;
    if (XorOf(bytes.subspan(start, checksum_at - start)) != bytes[checksum_at])
        return false;
    const auto address = bytes.subspan(start + 1, address_size);
    if (!AddressedToMe(dev, long_frame, address))
        return false;
    out.long_frame = long_frame;
    out.master_bit = (address[0] & 0x80) != 0;
    out.command = bytes[start + 1 + address_size];
    out.data = bytes.subspan(data_at, bytes[count_at]);
    return true;
}

Bytes Frame(const HartInstrument& dev, const Request& req, uint8_t response,
            std::span<const uint8_t> data, const HartReplyOptions& options)
{
    Bytes out;
    if (options.garbage)
        out.insert(out.end(), kHartNoise.begin(), kHartNoise.end());
    out.insert(out.end(), static_cast<size_t>(std::clamp(options.preambles, 2, 20)), 0xFF);
    const size_t start = out.size();
    const uint8_t master = req.master_bit ? 0x80 : 0x00;
    if (req.long_frame) {
        out.push_back(kSlaveLong);
        out.push_back(static_cast<uint8_t>(master | (dev.manufacturer_id & 0x3F)));
        out.push_back(dev.device_type);
        out.insert(out.end(), dev.device_id.begin(), dev.device_id.end());
    } else {
        out.push_back(kSlaveShort);
        out.push_back(static_cast<uint8_t>(master | dev.poll_address));
    }
    out.push_back(req.command);
    out.push_back(static_cast<uint8_t>(2 + data.size()));
    out.push_back(response);
    out.push_back(dev.device_status);
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
    if (!ParseRequest(dev, request, req))
        return {};
    // HART 5: a short address reaches the device with command 0 only.
    if (!req.long_frame && req.command != 0)
        return {};
    if (options.error)
        return Frame(dev, req, kHartBusy, {}, options);

    Bytes data;
    switch (req.command) {
    case 0:
        data = {254,
                dev.manufacturer_id,
                dev.device_type,
                dev.required_preambles,
                dev.universal_revision,
                dev.device_revision,
                dev.software_revision,
                dev.hardware_signalling,
                dev.flags,
                dev.device_id[0],
                dev.device_id[1],
                dev.device_id[2]};
        return Frame(dev, req, kHartOk, data, options);
    case 3: {
        PutFloat(data, dev.loop_current);
        const int count = std::clamp(options.variables, 1, 4);
        for (int v = 0; v < count; ++v) {
            data.push_back(dev.variables[v].unit);
            PutFloat(data, dev.variables[v].value);
        }
        return Frame(dev, req, kHartOk, data, options);
    }
    case 6: {
        if (req.data.empty())
            return Frame(dev, req, kHartTooFewDataBytes, {}, options);
        const uint8_t address = req.data[0];
        if (address > 15)
            return Frame(dev, req, kHartInvalidSelection, {}, options);
        dev.poll_address = address;
        data = {address};
        return Frame(dev, req, kHartOk, data, options);
    }
    default:
        return Frame(dev, req, kHartNotImplemented, {}, options);
    }
}

}  // namespace ortiva::sim
