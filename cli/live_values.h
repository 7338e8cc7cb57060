// What the control system reads from a module: the published registers of
// its devices, read over the line as a MODBUS master and decoded by each
// device's configured formats (or the user's), once or sample by sample.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link.h"
#include "published_registers.h"

namespace ortiva::cli {

using DeviceFormats = std::array<RegisterFormat, kPublishedQuantities>;

// A user's format for one quantity, or for all five (quantity -1).
struct FormatOverride {
    int quantity = -1;
    RegisterFormat format;
};
// "float CDAB" (all quantities), "current=uint32 ABCD", "variable 1=..."
// or "variable1=..."; nullopt when the text is none of these.
std::optional<FormatOverride> ParseFormatOverride(const std::string& text);

// What polling needs: the slave address and each device's formats.
struct LiveSetup {
    uint8_t slave = 1;
    std::vector<int> devices;
    std::map<int, DeviceFormats> formats;
};

// Reads what is not given: the device records of the devices whose formats
// are not all overridden, and the system group for the slave address unless
// `slave` is given. A kExitNoReply failure when a record names a format code the
// list does not have.
LiveSetup ReadLiveSetup(Link& link, const std::vector<int>& devices, std::optional<int> slave,
                        const std::vector<FormatOverride>& overrides);

// One device's published values: function 3 from 10*d, ten registers.
// kExitNoReply failures when the module is silent or, naming the device,
// for an exception reply, a bad CRC or no frame of the slave in the reply.
std::array<PublishedValue, kPublishedQuantities> ReadDevice(Link& link, const LiveSetup& setup, int device);

// A sample: every device's values at one time.
struct Sample {
    std::string time;  // ISO 8601 UTC, to the millisecond: "2026-12-10T16:20:00.123Z"
    std::vector<std::array<PublishedValue, kPublishedQuantities>> devices;  // in setup.devices' order
};
Sample ReadSample(Link& link, const LiveSetup& setup);

// "device 0 current (40001, float ABCD)", one per quantity, devices in order.
std::vector<std::string> ColumnNames(const LiveSetup& setup);

// The CSV forms: a header "time,..." and a row "2026-...Z,4,1.5,...".
std::string CsvHeader(const LiveSetup& setup);
std::string CsvRow(const Sample& sample);

}  // namespace ortiva::cli
