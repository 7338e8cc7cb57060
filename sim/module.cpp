#include "module.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace ortiva::sim {
namespace {

constexpr std::string_view kSet = "QQS#";
constexpr std::string_view kQuery = "QQQ#";
constexpr std::string_view kProduction = "KAVORN#";

// Filler that pushes later sections of a long reply out of a reader's reach.
constexpr char kFiller = '-';
constexpr size_t kLateSectionStart = 256;

int Digit(std::string_view text, size_t pos, int lo, int hi)
{
    const int v = DigitsValue(text, pos, 1);
    return (v >= lo && v <= hi) ? v : -1;
}

int Number(std::string_view text, size_t pos, size_t count, int lo, int hi)
{
    const int v = DigitsValue(text, pos, count);
    return (v >= lo && v <= hi) ? v : -1;
}

bool Is(std::string_view text, size_t pos, char c) { return pos < text.size() && text[pos] == c; }

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool Printable(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

char DigitChar(int v) { return static_cast<char>('0' + v); }

// "f<nn," followed by exactly nn raw bytes (at most 14): the payload of a
// custom read command and of a monitoring slot.
bool ParseByteList(std::string_view payload, bool& open, Bytes& bytes)
{
    const int flag = Digit(payload, 0, 0, 1);
    const int n = Number(payload, 2, 2, 0, kMaxCommandBytes);
    if (flag < 0 || n < 0 || !Is(payload, 1, '<') || !Is(payload, 4, ',') ||
        payload.size() != 5 + static_cast<size_t>(n))
        return false;
    open = flag == 1;
    bytes = ToBytes(payload.substr(5));
    return true;
}

std::string ByteListText(bool open, const Bytes& bytes, bool badCount)
{
    std::string count = Fixed(static_cast<int>(bytes.size()), 2);
    if (badCount) count[0] = 'x';
    return std::string(1, open ? '1' : '0') + "<" + count + "," + SpacedHex(bytes);
}

std::string Five(const std::string& text)
{
    std::string t = text.substr(0, 5);
    t.resize(5, ' ');
    return t;
}

std::array<float, 5> DefaultReadings(int d, const HartInstrument& hart)
{
    if (d == 0)
        return {hart.loopCurrent, hart.variables[0].value, hart.variables[1].value, hart.variables[2].value,
                hart.variables[3].value};
    std::array<float, 5> r{};
    r[0] = 4.0f + 4.0f * static_cast<float>(d);
    for (int k = 1; k <= 4; ++k) r[k] = 10.0f * static_cast<float>(d) + static_cast<float>(k) + 0.5f;
    return r;
}

Bytes Text(const std::string& text) { return ToBytes(text); }

}  // namespace

Module::Module()
{
    RestoreDefaults();
    for (int d = 0; d < kDevices; ++d) devices[d].readings = DefaultReadings(d, hart);
}

void Module::RestoreDefaults()
{
    system = SystemSettings{};
    coefficients = Coefficients{};
    for (auto& dev : devices) {
        const auto readings = dev.readings;
        dev = DeviceRecord{};
        dev.readings = readings;
    }
    devices[0].enabled = 1;
    monitorSlots = {};
}

uint16_t Module::HoldingRegister(int index) const
{
    if (index < 0 || index >= kRegisters) return 0;
    const int d = index / kRegistersPerDevice;
    const int within = index % kRegistersPerDevice;
    const int q = within / 2;
    const int format = devices[d].formats[q];
    const double value = Published(d, q);
    uint32_t bits = 0;
    if (format <= 1) {
        bits = std::bit_cast<uint32_t>(static_cast<float>(value));
    } else {
        const double v = std::round(format == 4 ? std::fabs(value) : value);
        bits = std::isnan(v) || v <= 0 ? 0 : v >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
    }
    const auto high = static_cast<uint16_t>(bits >> 16);
    const auto low = static_cast<uint16_t>(bits & 0xFFFF);
    const bool swapped = format == 1 || format == 3 || format == 4;  // FF2 FF1 first
    const bool first = within % 2 == 0;
    return first != swapped ? high : low;
}

double Module::Published(int d, int q) const
{
    double v = devices[d].readings[q];
    if (options.moving) {
        // A slow sine per device and quantity: 10 % of the reading (at least
        // 0.5), periods of 40 to 80 s, phases apart, so a trend shows each one.
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        const double period = 40.0 + 10.0 * d;
        const double amplitude = std::max(std::fabs(v) * 0.1, 0.5);
        v += amplitude * std::sin(2 * std::numbers::pi * t / period + 1.3 * q);
    }
    if (q == 1) {
        const double coefficient = std::strtod(coefficients.variable1.c_str(), nullptr);
        switch (coefficients.mode) {
        case 1: v *= 3600.0; break;
        case 2: v *= coefficient; break;
        case 3: v = std::round(v * coefficient * 100.0); break;
        default: break;
        }
    }
    return v;
}

Bytes Module::Handle(std::span<const uint8_t> request)
{
    if (request.empty()) return {};
    const std::string_view text(reinterpret_cast<const char*>(request.data()), request.size());
    if (text.starts_with(kSet)) return HandleSet(text.substr(kSet.size()));
    if (text.starts_with(kQuery)) return HandleQuery(text.substr(kQuery.size()));
    if (text.starts_with(kProduction)) return HandleProduction(text.substr(kProduction.size()));
    if (request[0] == 0xFF)  // HART passes through only in transparent mode
        return system.mode == 0 ? HartAnswer(hart, request, options.hart) : Bytes{};
    return HandleModbus(request);
}

Bytes Module::HandleSet(std::string_view body)
{
    const size_t colon = body.find(':');
    const size_t hash = body.find('#');
    const bool hasPayload = colon != std::string_view::npos && colon < hash;
    const std::string_view key = body.substr(0, hasPayload ? colon : hash);
    std::string_view payload;
    bool framed = false;
    if (hasPayload) {
        payload = body.substr(colon + 1);
        // Byte-list commands end with their last raw byte; all others with "#".
        if (key.starts_with("CAMD") || key.starts_with("WCAD")) {
            framed = true;
        } else if (body.back() == '#') {
            payload.remove_suffix(1);
            framed = true;
        }
    } else {
        framed = hash != std::string_view::npos && hash + 1 == body.size();
    }
    const bool nameable = !key.empty() && key.size() <= 8 && Printable(key);
    if (!nameable) return Text("QQS#ERR#");
    const bool ok = framed && ApplySet(key, payload, hasPayload);
    return Text("QQS#" + std::string(key) + (ok ? ":OK#" : ":ERR#"));
}

bool Module::ApplySet(std::string_view key, std::string_view p, bool hasPayload)
{
    if (!hasPayload) {
        if (key == "RESET") {
            RestoreDefaults();
            return true;
        }
        return false;
    }
    if (key == "BA1" || key == "BA2") {
        const int baud = Digit(p, 0, 0, 7);
        const int parity = Digit(p, 1, 0, 2);
        if (p.size() != 2 || baud < 0 || parity < 0) return false;
        (key == "BA1" ? system.baudA : system.baudB) = baud;
        (key == "BA1" ? system.parityA : system.parityB) = parity;
        return true;
    }
    auto single = [&](int lo, int hi, int& target) {
        const int v = Digit(p, 0, lo, hi);
        if (p.size() != 1 || v < 0) return false;
        target = v;
        return true;
    };
    auto number = [&](size_t width, int hi, int& target) {
        const int v = Number(p, 0, width, 0, hi);
        if (p.size() != width || v < 0) return false;
        target = v;
        return true;
    };
    if (key == "MD") return single(0, 4, system.mode);
    if (key == "XY1") return single(0, 5, system.returnTimeA);
    if (key == "XY2") return single(0, 5, system.returnTimeB);
    if (key == "YB") return single(1, 2, system.yb);
    if (key == "ADR") return number(3, 247, system.slaveAddress);
    if (key == "JTM") return number(3, 999, system.pollInterval);
    if (key == "AADR") return number(5, 99999, system.baseA);
    if (key == "BADR") return number(5, 99999, system.baseB);
    if (key == "FMW") {
        const int mode = Digit(p, 0, 0, 3);
        if (p.size() != 7 || mode < 0 || !Is(p, 1, ',')) return false;
        coefficients.mode = mode;
        coefficients.variable1 = std::string(p.substr(2, 5));
        return true;
    }
    if (key == "FMU") {
        if (p.size() != 17 || !Is(p, 5, ',') || !Is(p, 11, ',')) return false;
        for (size_t i = 0; i < 3; ++i) coefficients.others[i] = std::string(p.substr(6 * i, 5));
        return true;
    }

    // Per-device keys: the device digit right after the key's name.
    if (key.size() < 5) return false;
    const int d = Digit(key, 4, 0, kDevices - 1);
    const std::string_view name = key.substr(0, 4);
    if (name == "WCAD") {
        const int s = Digit(key, 5, 1, kSlots);
        MonitorSlot slot;
        if (key.size() != 6 || key[4] != '0' || s < 0 || !ParseByteList(p, slot.on, slot.bytes)) return false;
        monitorSlots[s - 1] = slot;
        return true;
    }
    if (d < 0) return false;
    DeviceRecord& dev = devices[d];
    if (name == "CAMD") {
        const int k = Digit(key, 5, 1, 2);
        CustomCommand cmd;
        if (key.size() != 6 || k < 0 || !ParseByteList(p, cmd.open, cmd.bytes)) return false;
        dev.commands[k - 1] = cmd;
        return true;
    }
    if (key.size() != 5) return false;
    if (name == "HART") {
        const int enabled = Digit(p, 0, 0, 1);
        const int mode = Digit(p, 2, 0, 1);
        const int type = Number(p, 4, 2, 0, 19);
        const int preambles = Digit(p, 7, 4, 9);
        const int clear = Number(p, 9, 3, 0, 999);
        if (p.size() != 12 || !Is(p, 1, ',') || !Is(p, 3, ',') || !Is(p, 6, ',') || !Is(p, 8, ',') || enabled < 0 ||
            mode < 0 || type < 0 || preambles < 0 || clear < 0)
            return false;
        dev.enabled = enabled;
        dev.deviceMode = mode;
        dev.meterType = type;
        dev.preambles = preambles;
        dev.clearTime = clear;
        return true;
    }
    if (name == "DFOT") {
        static constexpr std::array<int, 5> kHighest{1, 3, 4, 4, 4};
        std::array<int, 5> formats{};
        if (p.size() != 5) return false;
        for (size_t i = 0; i < 5; ++i)
            if ((formats[i] = Digit(p, i, 0, kHighest[i])) < 0) return false;
        dev.formats = formats;
        return true;
    }
    if (name == "MDBS") {
        const int bits = Digit(p, 0, 3, 9);
        if (p.size() != 21 || bits < 0 || !Is(p, 1, ',')) return false;
        std::array<ParseRule, 4> rules;
        for (size_t v = 0; v < 4; ++v) {
            const size_t at = 2 + 5 * v;
            rules[v].command = Digit(p, at, 0, 2);
            rules[v].start = Number(p, at + 1, 2, 0, 99);
            rules[v].length = Digit(p, at + 3, 0, 1);
            if (rules[v].command < 0 || rules[v].start < 0 || rules[v].length < 0 || (v < 3 && !Is(p, at + 4, ',')))
                return false;
        }
        dev.addressBits = bits;
        dev.rules = rules;
        return true;
    }
    return false;
}

Bytes Module::HandleQuery(std::string_view body)
{
    if (!body.ends_with('#')) return Text("QQQ#ERR#");
    const std::string_view key = body.substr(0, body.size() - 1);
    if (key == "QV") return Text(VersionReply());
    if (key == "QX") return Text(SystemReply());
    if (key.size() == 3 && key.starts_with("QQ")) {
        const int d = Digit(key, 2, 0, kDevices - 1);
        if (d >= 0) return Text(DeviceReply(d));
    }
    if (key.size() == 6 && key.starts_with("RCAD0")) {
        const int s = Digit(key, 5, 1, kSlots);
        if (s > 0) return Text(SlotReply(s));
    }
    return Text("QQQ#ERR#");
}

Bytes Module::HandleProduction(std::string_view body)
{
    constexpr std::string_view kKey = "PCBSN:";
    if (!body.starts_with(kKey) || !body.ends_with('#')) return Text("KAVORN#ERR#");
    const std::string_view p = body.substr(kKey.size(), body.size() - kKey.size() - 1);
    const size_t comma = p.find(',');
    if (comma == std::string_view::npos) return Text("KAVORN#PCBSN:ERR#");
    const std::string_view serial = p.substr(0, comma);
    const std::string_view inspector = p.substr(comma + 1);
    if (!AllDigits(serial) || !AllDigits(inspector) || serial.size() < 8 || serial.size() > 10 ||
        inspector.size() < 3 || inspector.size() > 10)
        return Text("KAVORN#PCBSN:ERR#");
    production.serial = std::string(serial);
    production.inspector = std::string(inspector);
    return Text("KAVORN#PCBSN:OK#");
}

Bytes Module::HandleModbus(std::span<const uint8_t> request)
{
    if (request.size() < 4 || !ModbusCrcOk(request)) return {};
    const uint8_t address = request[0];
    if (address == 0 || address != system.slaveAddress) return {};  // broadcast or another slave: silence
    const uint8_t function = request[1];
    auto exception = [&](uint8_t code) {
        Bytes reply{address, static_cast<uint8_t>(function | 0x80), code};
        AppendModbusCrc(reply);
        return reply;
    };
    if (function != 3) return exception(1);  // illegal function
    if (request.size() != 8) return {};
    const int start = request[2] << 8 | request[3];
    const int count = request[4] << 8 | request[5];
    if (count < 1 || count > 125) return exception(3);    // illegal data value
    if (start + count > kRegisters) return exception(2);  // illegal data address
    if (options.modbusException > 0) return exception(static_cast<uint8_t>(options.modbusException));
    Bytes reply{address, function, static_cast<uint8_t>(2 * count)};
    for (int i = start; i < start + count; ++i) {
        const uint16_t r = HoldingRegister(i);
        reply.push_back(static_cast<uint8_t>(r >> 8));
        reply.push_back(static_cast<uint8_t>(r & 0xFF));
    }
    AppendModbusCrc(reply);
    if (options.modbusBadCrc) reply.back() ^= 0xFF;
    return reply;
}

std::string Module::VersionReply() const
{
    return "QV:" + firmware + ",SN:" + production.serial + "," + production.inspector + "#";
}

std::string Module::SystemReply() const
{
    const SystemSettings& s = system;
    std::string xy1(1, DigitChar(s.returnTimeA));
    if (options.badDigit) xy1 = "x";
    // "ADR:" before "AADR:", which also contains "ADR:".
    return "QX#BA1:" + std::string{DigitChar(s.baudA), DigitChar(s.parityA)} +
           "#BA2:" + std::string{DigitChar(s.baudB), DigitChar(s.parityB)} + "#MD:" + DigitChar(s.mode) +
           "#ADR:" + Fixed(s.slaveAddress, 3) + "#XY1:" + xy1 + "#XY2:" + DigitChar(s.returnTimeB) +
           "#JTM:" + Fixed(s.pollInterval, 3) + "#AADR:" + Fixed(s.baseA, 5) + "," + Fixed(s.baseB, 5) + "#";
}

std::string Module::DeviceReply(int d) const
{
    const DeviceRecord& dev = devices[d];
    const char dc = DigitChar(d);
    const int type = options.meterType >= 0 ? std::min(options.meterType, 99) : dev.meterType;

    std::string formats;
    for (int f : dev.formats) formats += DigitChar(f);
    if (options.badDigit) formats[0] = 'x';
    std::string rules;
    for (const ParseRule& r : dev.rules)
        rules += std::string(",") + DigitChar(r.command) + Fixed(r.start, 2) + DigitChar(r.length);

    std::vector<std::string> sections{
        "FMW:" + std::string(1, DigitChar(coefficients.mode)) + "," + Five(coefficients.variable1),
        "FMU:" + Five(coefficients.others[0]) + "," + Five(coefficients.others[1]) + "," + Five(coefficients.others[2]),
        std::string("HART") + dc + ":" + DigitChar(dev.enabled) + "," + DigitChar(dev.deviceMode) + "," +
            Fixed(type, 2) + "," + DigitChar(dev.preambles) + "," + Fixed(dev.clearTime, 3),
        std::string("DFO") + dc + ":" + formats,
        std::string("ZDY") + dc + ":" + DigitChar(dev.addressBits) + rules,
        std::string("MD:") + DigitChar(system.mode),
        std::string("CAMD") + dc + "1:" + ByteListText(dev.commands[0].open, dev.commands[0].bytes, false),
        std::string("CAMD") + dc + "2:" + ByteListText(dev.commands[1].open, dev.commands[1].bytes, false),
    };
    if (options.reorder) std::reverse(sections.begin(), sections.end());

    std::string reply = std::string("QQ") + dc + "#";
    for (size_t i = 0; i < sections.size(); ++i) {
        if (options.lateSections && i == 4 && reply.size() < kLateSectionStart)
            reply.append(kLateSectionStart - reply.size(), kFiller);
        reply += sections[i] + "#";
    }
    return reply;
}

std::string Module::SlotReply(int s) const
{
    const MonitorSlot& slot = monitorSlots[s - 1];
    return "RCAD" + std::string(1, DigitChar(s)) + ":" + ByteListText(slot.on, slot.bytes, options.badDigit) + "#";
}

void MoveAwayFromDefaults(Module& m)
{
    m.system = {4, 1, 6, 2, 2, 17, 1, 5, 250, 40001, 12345, 0};
    m.coefficients.mode = 2;
    m.coefficients.variable1 = "2.500";
    m.coefficients.others = {"0.010", "3.000", "-1.50"};
    for (int d = 0; d < kDevices; ++d) {
        auto& dev = m.devices[d];
        dev.enabled = d % 2;
        dev.deviceMode = 0;
        dev.meterType = d == 3 ? 7 : 0;
        dev.preambles = 4 + d;
        dev.clearTime = 100 + d;
        dev.formats = {1, 3, 4, 2, d % 5};
        dev.addressBits = 3 + d;
        dev.commands[0] = {true, {0x01, 0x03, static_cast<uint8_t>(d)}};
        dev.commands[1] = {false, {0xFD, 0xAD}};
        for (int r = 0; r < 4; ++r) dev.rules[r] = {(r + d) % 3, 10 * r + d, r % 2};
    }
    for (int s = 0; s < kSlots; ++s) m.monitorSlots[s] = {s % 2 == 0, {0x10, static_cast<uint8_t>(s), 0xFF}};
}

}  // namespace ortiva::sim
