#include "live_values.h"

#include "utc_time.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>

#include "choice_lists.h"
#include "modbus_reply.h"
#include "modbus_test.h"
#include "module_io.h"
#include "profile.h"

namespace ortiva::cli {

namespace {

constexpr std::array<const char*, kPublishedQuantities> kFormatKeys = {
    "current_format", "variable1_format", "variable2_format", "variable3_format", "variable4_format"};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// A quantity by its name, with or without the blank: "current", "variable 1", "variable1".
int QuantityOf(std::string name)
{
    name = Lower(name);
    std::erase(name, ' ');
    for (int q = 0; q < kPublishedQuantities; ++q) {
        std::string known(QuantityName(q));
        std::erase(known, ' ');
        if (name == known) return q;
    }
    return -1;
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
}  // namespace

std::optional<FormatOverride> ParseFormatOverride(const std::string& text)
{
    FormatOverride o;
    std::string formatText = text;
    if (const size_t eq = text.find('='); eq != std::string::npos) {
        o.quantity = QuantityOf(text.substr(0, eq));
        if (o.quantity < 0) return std::nullopt;
        formatText = text.substr(eq + 1);
    }
    const auto format = ParseFormatName(formatText);
    if (!format) return std::nullopt;
    o.format = *format;
    return o;
}

LiveSetup ReadLiveSetup(Link& link, const std::vector<int>& devices, std::optional<int> slave,
                        const std::vector<FormatOverride>& overrides)
{
    LiveSetup setup;
    setup.devices = devices;
    std::array<std::optional<RegisterFormat>, kPublishedQuantities> given;
    for (const FormatOverride& o : overrides)
        for (int q = 0; q < kPublishedQuantities; ++q)
            if (o.quantity < 0 || o.quantity == q) given[static_cast<size_t>(q)] = o.format;
    const bool allGiven = std::all_of(given.begin(), given.end(), [](const auto& f) { return f.has_value(); });

    ReadSet what{.header = false, .system = !slave, .coefficients = false, .devices = {}, .slotNumbers = {}};
    if (!allGiven) what.devices = devices;
    Profile module;
    if (what.system || !what.devices.empty()) module = ReadModule(link, what);
    if (slave)
        setup.slave = static_cast<uint8_t>(*slave);
    else if (!link.Options().dryRun)
        setup.slave = static_cast<uint8_t>(std::stoi(module.values.at("system.modbus_slave_address")));

    for (int d : devices) {
        DeviceFormats& formats = setup.formats[d];
        for (int q = 0; q < kPublishedQuantities; ++q) {
            const size_t i = static_cast<size_t>(q);
            if (given[i]) {
                formats[i] = *given[i];
                continue;
            }
            if (link.Options().dryRun) continue;
            const std::string key = "devices[" + std::to_string(d) + "]." + kFormatKeys[i];
            const auto format = FormatOfCode(ItemIndex(kOutputFormatItems, module.values.at(key)));
            if (!format)
                throw Failure(kExitNoReply, "device " + std::to_string(d) + ": " + kFormatKeys[i] + " '" +
                                                module.values.at(key) + "' is not a format the tool knows");
            formats[i] = *format;
        }
    }
    return setup;
}

std::array<PublishedValue, kPublishedQuantities> ReadDevice(Link& link, const LiveSetup& setup, int device)
{
    const auto start = static_cast<uint16_t>(FirstAddressOf(device));
    constexpr auto count = static_cast<uint16_t>(kRegistersPerDevice);
    const auto frame = ReadRegistersRequest(setup.slave, start, count);
    Command request;
    request.bytes.assign(frame.begin(), frame.end());
    request.echo = Echo::Hex;
    request.pendingCode = kPendingModbusTest;
    const std::string what = "the register read of device " + std::to_string(device);
    const std::vector<uint8_t> reply = link.Exchange(request, what);
    std::vector<uint16_t> registers(count, 0);
    if (!link.Options().dryRun) {
        const ModbusReply r = ParseModbusReply(reply, setup.slave, count);
        if (!r.fault.empty())
            throw Failure(kExitNoReply,
                          "device " + std::to_string(device) + ": " +
                              (r.exception ? "the module answered with " : "the reply to the register read: ") +
                              r.fault);
        registers = r.registers;
    }
    return DecodeDevice(device, registers, setup.formats.at(device));
}

Sample ReadSample(Link& link, const LiveSetup& setup)
{
    Sample s;
    s.time = UtcMilliseconds();
    for (int d : setup.devices) s.devices.push_back(ReadDevice(link, setup, d));
    return s;
}

std::vector<std::string> ColumnNames(const LiveSetup& setup)
{
    std::vector<std::string> names;
    for (int d : setup.devices)
        for (int q = 0; q < kPublishedQuantities; ++q)
            names.push_back(CsvColumnName(d, q, setup.formats.at(d)[static_cast<size_t>(q)]));
    return names;
}

std::string CsvHeader(const LiveSetup& setup)
{
    std::string h = "time";
    for (const std::string& n : ColumnNames(setup)) h += "," + CsvField(n);
    return h;
}

std::string CsvRow(const Sample& sample)
{
    std::string row = sample.time;
    for (const auto& device : sample.devices)
        for (const PublishedValue& v : device) row += "," + CsvField(v.Text());
    return row;
}

}  // namespace ortiva::cli
