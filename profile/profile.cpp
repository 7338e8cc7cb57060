#include "profile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "choice_lists.h"
#include "convert.h"
#include "device_commands.h"
#include "hex_text.h"
#include "monitoring.h"
#include "system_commands.h"

namespace ortiva::profile {

namespace {

template <size_t N>
std::span<const char* const> All(const std::array<const char*, N>& items)
{
    return items;
}
std::span<const char* const> Formats(size_t slot)
{
    return std::span<const char* const>(kOutputFormatItems).first(static_cast<size_t>(kOutputFormatCounts[slot]));
}

constexpr const char* kCheck = "check";  // a monitoring slot's check box, by slot
constexpr const char* kEdit = "edit";    // a monitoring slot's edit, by slot

const std::vector<KeyDef>& Table()
{
    using G = Group;
    using K = Kind;
    static const std::vector<KeyDef> table = {
        {G::System, "rs232_rs485a_baud", "ComboBox2", K::NumberChoice, All(kModuleBaudItems)},
        {G::System, "rs232_rs485a_parity", "ComboBox4", K::Choice, All(kParityItems)},
        {G::System, "rs485b_baud", "ComboBox8", K::NumberChoice, All(kModuleBaudItems)},
        {G::System, "rs485b_parity", "ComboBox9", K::Choice, All(kParityItems)},
        {G::System, "working_mode", "ComboBox7", K::Choice, All(kWorkingModeItems)},
        {G::System, "modbus_slave_address", "Edit14", K::Integer, {}, 0, 999},
        {G::System, "rs485a_return_time", "RS485ADY", K::Choice, All(kReturnTimeItems)},
        {G::System, "rs485b_return_time", "RS485BDY", K::Choice, All(kReturnTimeItems)},
        {G::System, "meter_polling_interval", "Edit6", K::Integer, {}, 0, 999},
        {G::System, "rs232_rs485a_base_address", "ABadr", K::Integer, {}, 0, 99999},
        {G::System, "rs485b_base_address", "BBadr", K::Integer, {}, 0, 99999},

        {G::Coefficients, "variable1_mode", "ComboBox18", K::Choice, All(kCoefficientModeItems)},
        {G::Coefficients, "variable1_coefficient", "Beilv", K::Text},
        {G::Coefficients, "variable2_coefficient", "xishu2", K::Text},
        {G::Coefficients, "variable3_coefficient", "xishu3", K::Text},
        {G::Coefficients, "variable4_coefficient", "xishu4", K::Text},

        {G::Device, "enabled", "ComboBox6", K::Choice, All(kDeviceEnabledItems)},
        {G::Device, "device_mode", "ComboBox16", K::Choice, All(kDeviceModeItems)},
        {G::Device, "meter_type", "ComboBox17", K::Choice, All(kMeterTypeItems)},
        {G::Device, "preamble_length", "ComboBox34", K::NumberChoice, All(kPreambleLengthItems)},
        {G::Device, "buffer_clear_time", "Edit1", K::Integer, {}, 0, 999},
        {G::Device, "current_format", "FAMOUT1", K::Choice, Formats(0)},
        {G::Device, "variable1_format", "FAMOUT3", K::Choice, Formats(1)},
        {G::Device, "variable2_format", "FAMOUT5", K::Choice, Formats(2)},
        {G::Device, "variable3_format", "FAMOUT7", K::Choice, Formats(3)},
        {G::Device, "variable4_format", "FAMOUT9", K::Choice, Formats(4)},

        {G::Custom, "parsing_address_bits", "ComboBox15", K::NumberChoice, All(kAddressBitsItems)},
        {G::Custom, "parsing_variable1_command", "RADCOM1", K::Choice, All(kParsingCommandItems)},
        {G::Custom, "parsing_variable1_start_address", "READADR1", K::Integer, {}, 0, 99},
        {G::Custom, "parsing_variable1_data_length", "READLG1", K::Choice, All(kDataLengthItems)},
        {G::Custom, "parsing_variable2_command", "RADCOM3", K::Choice, All(kParsingCommandItems)},
        {G::Custom, "parsing_variable2_start_address", "READADR3", K::Integer, {}, 0, 99},
        {G::Custom, "parsing_variable2_data_length", "READLG3", K::Choice, All(kDataLengthItems)},
        {G::Custom, "parsing_variable3_command", "RADCOM5", K::Choice, All(kParsingCommandItems)},
        {G::Custom, "parsing_variable3_start_address", "READADR5", K::Integer, {}, 0, 99},
        {G::Custom, "parsing_variable3_data_length", "READLG5", K::Choice, All(kDataLengthItems)},
        {G::Custom, "parsing_variable4_command", "RADCOM7", K::Choice, All(kParsingCommandItems)},
        {G::Custom, "parsing_variable4_start_address", "READADR7", K::Integer, {}, 0, 99},
        {G::Custom, "parsing_variable4_data_length", "READLG7", K::Choice, All(kDataLengthItems)},
        {G::Custom, "read_command_1_open", "ComboBox28", K::Choice, All(kOpenFlagItems)},
        {G::Custom, "read_command_1", "Edit4", K::HexBytes},
        {G::Custom, "read_command_2_open", "ComboBox29", K::Choice, All(kOpenFlagItems)},
        {G::Custom, "read_command_2", "Edit5", K::HexBytes},

        {G::Monitoring, "enabled", kCheck, K::Flag},
        {G::Monitoring, "command", kEdit, K::HexBytes},
    };
    return table;
}

const char* GroupName(Group g)
{
    switch (g) {
    case Group::System: return "system";
    case Group::Coefficients: return "coefficients";
    case Group::Device:
    case Group::Custom: return "devices";
    case Group::Monitoring: return "monitoring";
    }
    return "";
}

bool Indexed(Group g) { return g == Group::Device || g == Group::Custom || g == Group::Monitoring; }
int GroupCount(Group g) { return g == Group::Monitoring ? kMonitoringSlots : kDeviceCount; }
int FirstIndex(Group g) { return g == Group::Monitoring ? 1 : 0; }

const char* kCustomMeter = kMeterTypeItems[0];

// Canonical decimal of a number text, false when it is none.
bool Decimal(std::string_view text, std::string& out)
{
    int32_t v = 0;
    if (!TryStrToInt(text, v)) return false;
    out = std::to_string(v);
    return true;
}

std::string Get(const Values& v, const std::string& key)
{
    const auto it = v.find(key);
    if (it == v.end()) throw Failure(kExitUsage, key + ": missing");
    return it->second;
}

int Index(const Values& v, const std::string& key, std::span<const char* const> items)
{
    const int i = ItemIndex(items, Get(v, key));
    if (i < 0) throw Failure(kExitUsage, key + ": '" + Get(v, key) + "' is not one of its items");
    return i;
}

const KeyDef& Def(Group g, std::string_view name)
{
    for (const KeyDef& d : Table())
        if (d.group == g && name == d.name) return d;
    throw std::logic_error("no key " + std::string(name));
}

bool IsCustomMeter(const Values& v, int d)
{
    const auto it = v.find("devices[" + std::to_string(d) + "].meter_type");
    return it != v.end() && it->second == kCustomMeter;
}

}  // namespace

std::span<const KeyDef> KeyTable() { return Table(); }

int ItemIndex(std::span<const char* const> items, std::string_view text)
{
    for (size_t i = 0; i < items.size(); ++i)
        if (text == items[i]) return static_cast<int>(i);
    return -1;
}

std::string FlatKey(const KeyDef& def, int index)
{
    std::string key = GroupName(def.group);
    if (Indexed(def.group)) key += "[" + std::to_string(index) + "]";
    return key + "." + def.name;
}

// ---------------------------------------------------------------- sink

ProfileSink::ProfileSink(Group group, int index, Values& out) : group_(group), index_(index), out_(out) {}

const KeyDef* ProfileSink::Find(std::string_view control, int& index) const
{
    index = index_;
    for (const KeyDef& d : Table()) {
        const bool device = group_ == Group::Device && d.group == Group::Custom;
        if (d.group != group_ && !device) continue;
        if (d.group == Group::Monitoring) {
            // The reply names its slot: fields of any slot are taken as such.
            for (int s = 1; s <= kMonitoringSlots; ++s) {
                const MonitoringSlotControls& c = MonitoringSlot(s);
                if (control == (d.control == kCheck ? c.checkBox : c.edit)) {
                    index = s;
                    return &d;
                }
            }
            continue;
        }
        if (control == d.control) return &d;
    }
    return nullptr;
}

void ProfileSink::SetIndex(std::string_view control, int index)
{
    indexes_[std::string(control)] = index;
    int at = 0;
    const KeyDef* d = Find(control, at);
    if (d == nullptr) return;
    const std::string key = FlatKey(*d, at);
    if (index < 0 || static_cast<size_t>(index) >= d->items.size()) {
        errors_.push_back(key + ": the module reported item " + std::to_string(index) +
                          ", which the list does not have");
        return;
    }
    out_[key] = d->items[static_cast<size_t>(index)];
}

void ProfileSink::SetText(std::string_view control, const std::string& text)
{
    int at = 0;
    const KeyDef* d = Find(control, at);
    if (d == nullptr) return;
    const std::string key = FlatKey(*d, at);
    if (d->kind == Kind::Integer) {
        std::string decimal;
        if (!Decimal(text, decimal)) {
            errors_.push_back(key + ": the module reported '" + text + "', which is not a number");
            return;
        }
        out_[key] = decimal;
        return;
    }
    out_[key] = text;
}

void ProfileSink::SetChecked(std::string_view control, bool checked)
{
    int at = 0;
    if (const KeyDef* d = Find(control, at)) out_[FlatKey(*d, at)] = checked ? "true" : "false";
}

int ProfileSink::Index(std::string_view control) const
{
    const auto it = indexes_.find(control);
    return it == indexes_.end() ? -1 : it->second;
}

std::vector<std::string> MissingKeys(const Values& values, Group group, int index)
{
    std::vector<std::string> missing;
    const bool custom = group == Group::Device && IsCustomMeter(values, index);
    for (const KeyDef& d : Table()) {
        if (d.group != group && !(custom && d.group == Group::Custom)) continue;
        const std::string key = FlatKey(d, index);
        if (!values.contains(key)) missing.push_back(key);
    }
    return missing;
}

// ---------------------------------------------------------------- JSON

std::string Shown(std::string_view text, size_t limit)
{
    std::string out;
    size_t shown = 0;
    for (const char c : text) {
        if (shown == limit) {
            out += "...";
            break;
        }
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (u < 0x20 || u == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04X", unsigned{u});
            out += code;
        } else {
            out += c;
        }
        // A character of several UTF-8 bytes counts once.
        if ((u & 0xC0) != 0x80) ++shown;
    }
    return out;
}

std::string HexBytesProblem(std::string_view text)
{
    if (text.empty()) return {};
    // The window's own refusals first, for a text it would refuse too.
    const HexBytesResult lenient = ParseHexBytes(text, kMonitoringMaxBytes);
    if (!lenient.ok()) return lenient.error;
    size_t pairs = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view pair = text.substr(start, end - start);
        if (pair.empty())
            return start == 0           ? "a blank before the first byte"
                   : end == text.size() ? "a blank after the last byte"
                                        : "two blanks in a row; bytes are separated by single blanks";
        for (const char c : pair) {
            if (c >= 'a' && c <= 'f') return "lower-case hex digit '" + std::string(1, c) + "'; upper case is expected";
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
                return "'" + Shown(std::string_view(&c, 1)) + "' is not a hex digit";
        }
        if (pair.size() == 1) return "half a byte ('" + std::string(pair) + "'); a byte is two hex digits";
        if (pair.size() > 2)
            return "'" + Shown(pair, 16) + "' is more than one byte; bytes are separated by single blanks";
        ++pairs;
        start = end + 1;
    }
    if (pairs > static_cast<size_t>(kMonitoringMaxBytes))
        return std::to_string(pairs) + " bytes, at most " + std::to_string(kMonitoringMaxBytes);
    return {};
}

namespace {

Json JsonOf(const KeyDef& d, const std::string& text)
{
    switch (d.kind) {
    case Kind::NumberChoice:
    case Kind::Integer: return std::stoi(text);
    case Kind::Flag: return text == "true";
    default: return text;
    }
}

// A JSON number as a message shows it.
std::string NumberText(const Json& v)
{
    if (v.is_number_float()) {
        const double x = v.get<double>();
        if (x == std::floor(x) && std::fabs(x) < 1e15) return std::to_string(static_cast<long long>(x));
    }
    return v.dump();
}

// The canonical text of a JSON value for key d, or a kExitUsage failure.
std::string TextOf(const KeyDef& d, const std::string& key, const Json& v)
{
    auto integer = [&]() -> int {
        if (!v.is_number()) throw Failure(kExitUsage, key + ": a whole number is expected");
        if (v.is_number_float()) {
            const double x = v.get<double>();
            if (x != std::floor(x) || std::fabs(x) > 1e9)
                throw Failure(kExitUsage, key + ": a whole number is expected");
            return static_cast<int>(x);
        }
        if (v.is_number_unsigned() ? v.get<uint64_t>() > 1000000000u : std::llabs(v.get<int64_t>()) > 1000000000)
            throw Failure(kExitUsage, key + ": a whole number is expected");
        return static_cast<int>(v.get<int64_t>());
    };
    switch (d.kind) {
    case Kind::NumberChoice: {
        std::string t = std::to_string(integer());
        if (ItemIndex(d.items, t) < 0) throw Failure(kExitUsage, key + ": " + t + " is not one of its items");
        return t;
    }
    case Kind::Integer: {
        const int x = integer();
        if (x < d.lo || x > d.hi)
            throw Failure(kExitUsage, key + ": " + std::to_string(x) + " is outside " + std::to_string(d.lo) + " to " +
                                          std::to_string(d.hi));
        return std::to_string(x);
    }
    case Kind::Flag:
        if (!v.is_boolean()) throw Failure(kExitUsage, key + ": true or false is expected");
        return v.get<bool>() ? "true" : "false";
    case Kind::Choice: {
        if (!v.is_string()) throw Failure(kExitUsage, key + ": one of the list's texts is expected");
        const std::string& t = v.get_ref<const std::string&>();
        if (ItemIndex(d.items, t) < 0) throw Failure(kExitUsage, key + ": '" + Shown(t) + "' is not one of its items");
        return t;
    }
    case Kind::Text: {  // the coefficients: kept as the five characters they travel as
        if (!v.is_string()) throw Failure(kExitUsage, key + ": a text is expected");
        const std::string& t = v.get_ref<const std::string&>();
        if (t.size() > 5)
            throw Failure(kExitUsage, key + ": '" + Shown(t) + "' is longer than the five characters it travels as");
        try {
            return CoefficientField(t, key);
        } catch (const std::runtime_error& e) {
            throw Failure(kExitUsage, Shown(e.what(), 200));
        }
    }
    case Kind::HexBytes: {
        if (!v.is_string()) throw Failure(kExitUsage, key + ": hex bytes such as \"76 89 FD AD\" are expected");
        const std::string& t = v.get_ref<const std::string&>();
        const std::string problem = HexBytesProblem(t);
        if (!problem.empty()) throw Failure(kExitUsage, key + ": '" + Shown(t) + "' is refused: " + problem);
        return t;
    }
    }
    return {};
}

Json GroupObject(const Values& values, Group g, int index)
{
    Json o = Json::object();
    const bool custom = g == Group::Device && IsCustomMeter(values, index);
    for (const KeyDef& d : Table()) {
        if (d.group != g && !(custom && d.group == Group::Custom)) continue;
        const std::string key = FlatKey(d, index);
        if (const auto it = values.find(key); it != values.end()) o[d.name] = JsonOf(d, it->second);
    }
    return o;
}

void ReadGroup(const Json& o, Group g, int index, const std::string& where, Values& out)
{
    std::set<std::string, std::less<>> known;
    for (const KeyDef& d : Table()) {
        if (d.group == g || (g == Group::Device && d.group == Group::Custom)) known.insert(d.name);
    }
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!known.contains(it.key())) throw Failure(kExitUsage, where + "." + Shown(it.key()) + ": unknown key");
    }
    for (const KeyDef& d : Table()) {
        if (d.group != g) continue;
        const std::string key = FlatKey(d, index);
        if (!o.contains(d.name)) throw Failure(kExitUsage, key + ": missing");
        out[key] = TextOf(d, key, o.at(d.name));
    }
    if (g != Group::Device) return;
    const bool custom = IsCustomMeter(out, index);
    for (const KeyDef& d : Table()) {
        if (d.group != Group::Custom) continue;
        const std::string key = FlatKey(d, index);
        if (!custom) {
            if (o.contains(d.name))
                throw Failure(kExitUsage,
                              key + ": only a device of meter type \"" + std::string(kCustomMeter) + "\" has it");
            continue;
        }
        if (!o.contains(d.name)) throw Failure(kExitUsage, key + ": missing");
        out[key] = TextOf(d, key, o.at(d.name));
    }
}

// Refuses a key given twice in one object, naming it by its flat key.
class DuplicateKeys {
public:
    bool operator()(int, Json::parse_event_t event, const Json& parsed)
    {
        using E = Json::parse_event_t;
        switch (event) {
        case E::object_start:
        case E::array_start:
            if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
            frames_.push_back({event == E::array_start, -1, {}, {}});
            break;
        case E::object_end:
        case E::array_end:
            if (!frames_.empty()) frames_.pop_back();
            break;
        case E::key: {
            Frame& f = frames_.back();
            f.key = parsed.get<std::string>();
            if (!f.keys.insert(f.key).second) throw Failure(kExitUsage, Path() + ": given twice");
            break;
        }
        case E::value:
            if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
            break;
        }
        return true;
    }

private:
    struct Frame {
        bool array;
        long index;
        std::string key;  // the object's latest key
        std::set<std::string> keys;
    };
    std::string Path() const
    {
        std::string path;
        std::string last;
        for (const Frame& f : frames_) {
            if (f.array) {
                // Monitoring slots are counted from 1, as everywhere else.
                path += "[" + std::to_string(f.index + (last == "monitoring" ? 1 : 0)) + "]";
                continue;
            }
            path += (path.empty() ? "" : ".") + Shown(f.key);
            last = f.key;
        }
        return path;
    }
    std::vector<Frame> frames_;
};

}  // namespace

Json ToJson(const Profile& p)
{
    Json root = Json::object();
    root["format_version"] = p.header.formatVersion;
    root["header"] = {{"firmware", p.header.firmware}, {"saved_at", p.header.savedAt}, {"tool", p.header.tool}};
    root["system"] = GroupObject(p.values, Group::System, 0);
    root["coefficients"] = GroupObject(p.values, Group::Coefficients, 0);
    Json devices = Json::array();
    for (int d = 0; d < kDeviceCount; ++d) devices.push_back(GroupObject(p.values, Group::Device, d));
    root["devices"] = devices;
    Json monitoring = Json::array();
    for (int s = 1; s <= kMonitoringSlots; ++s) monitoring.push_back(GroupObject(p.values, Group::Monitoring, s));
    root["monitoring"] = monitoring;
    return root;
}

Profile FromJson(const Json& root)
{
    static const std::vector<std::string> kTop = {"format_version", "header",  "system",
                                                  "coefficients",   "devices", "monitoring"};
    if (!root.is_object()) throw Failure(kExitUsage, "not a profile: the file holds no JSON object");
    if (!root.contains("format_version")) throw Failure(kExitUsage, "format_version: missing");
    const Json& version = root.at("format_version");
    if (!version.is_number() || version.get<double>() != kProfileFormatVersion)
        throw Failure(kExitUsage, "format_version: " + (version.is_number() ? NumberText(version) : "not a number") +
                                      " is not " + std::to_string(kProfileFormatVersion) +
                                      ", the version this tool reads");
    for (auto it = root.begin(); it != root.end(); ++it)
        if (std::find(kTop.begin(), kTop.end(), it.key()) == kTop.end())
            throw Failure(kExitUsage, Shown(it.key()) + ": unknown key");
    for (const std::string& group : kTop)
        if (!root.contains(group)) throw Failure(kExitUsage, group + ": missing group");

    Profile p;
    const Json& header = root.at("header");
    if (!header.is_object()) throw Failure(kExitUsage, "header: an object is expected");
    for (auto it = header.begin(); it != header.end(); ++it) {
        static const std::set<std::string, std::less<>> kHeader = {"firmware", "saved_at", "tool"};
        if (!kHeader.contains(it.key())) throw Failure(kExitUsage, "header." + Shown(it.key()) + ": unknown key");
        if (!it.value().is_string()) throw Failure(kExitUsage, "header." + it.key() + ": a text is expected");
    }
    p.header.firmware = header.value("firmware", "");
    p.header.savedAt = header.value("saved_at", "");
    p.header.tool = header.value("tool", "");

    for (Group g : {Group::System, Group::Coefficients}) {
        const Json& v = root.at(GroupName(g));
        if (!v.is_object()) throw Failure(kExitUsage, std::string(GroupName(g)) + ": an object is expected");
        ReadGroup(v, g, 0, GroupName(g), p.values);
    }
    for (Group g : {Group::Device, Group::Monitoring}) {
        const Json& v = root.at(GroupName(g));
        const int count = GroupCount(g);
        if (!v.is_array() || v.size() != static_cast<size_t>(count))
            throw Failure(kExitUsage,
                          std::string(GroupName(g)) + ": a list of " + std::to_string(count) + " records is expected");
        for (int i = 0; i < count; ++i) {
            const int index = i + FirstIndex(g);
            const std::string where = std::string(GroupName(g)) + "[" + std::to_string(index) + "]";
            const Json& rec = v.at(static_cast<size_t>(i));
            if (!rec.is_object()) throw Failure(kExitUsage, where + ": an object is expected");
            ReadGroup(rec, g, index, where, p.values);
        }
    }
    return p;
}

Profile ParseProfile(std::string_view bytes)
{
    Json doc;
    try {
        DuplicateKeys duplicates;
        doc = Json::parse(bytes, [&](int depth, Json::parse_event_t event, Json& parsed) {
            return duplicates(depth, event, parsed);
        });
    } catch (const Json::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 1, column 22: ...", or a
        // number too large for a double ("out_of_range.406").
        std::string what = e.what();
        if (const size_t cut = what.find("] "); what.starts_with("[json.exception") && cut != std::string::npos)
            what.erase(0, cut + 2);
        throw Failure(kExitUsage, "not JSON: " + Shown(what, 200));
    }
    return FromJson(doc);
}

std::string ProfileText(const Profile& profile)
{
    // Texts from the module that are not UTF-8 are kept readable rather than refused.
    return ToJson(profile).dump(4, ' ', false, Json::error_handler_t::replace) + "\n";
}

// ---------------------------------------------------------------- restore

namespace {

class StepList {
public:
    explicit StepList(std::vector<Step>& steps) : steps_(steps) {}
    template <class Build>
    void Add(const std::string& name, Build&& build)
    {
        try {
            steps_.push_back({name, build()});
        } catch (const std::runtime_error& e) {  // EConvertError, EInputError
            throw Failure(kExitUsage, name + ": " + e.what());
        }
    }

private:
    std::vector<Step>& steps_;
};

// A byte-list command that the builder refused comes back as its message.
template <class Result>
Command Checked(const Result& r)
{
    if (!r.ok()) throw EInputError(r.message);
    return r.command;
}

}  // namespace

std::vector<Step> RestoreSteps(const Profile& profile, char pcSide)
{
    const Values& v = profile.values;
    std::vector<Step> steps;
    StepList add(steps);
    auto idx = [&](Group g, int i, const char* name) {
        const KeyDef& d = Def(g, name);
        return Index(v, FlatKey(d, i), d.items);
    };
    auto text = [&](Group g, int i, const char* name) { return Get(v, FlatKey(Def(g, name), i)); };

    for (int d = 0; d < kDeviceCount; ++d) {
        const std::string at = "devices[" + std::to_string(d) + "] ";
        add.Add(at + "HART polling", [&] {
            return HartPollingCommand(d, idx(Group::Device, d, "enabled"), idx(Group::Device, d, "device_mode"),
                                      idx(Group::Device, d, "meter_type"), idx(Group::Device, d, "preamble_length"),
                                      text(Group::Device, d, "buffer_clear_time"));
        });
        add.Add(at + "output formats", [&] {
            return OutputFormatsCommand(
                d, {idx(Group::Device, d, "current_format"), idx(Group::Device, d, "variable1_format"),
                    idx(Group::Device, d, "variable2_format"), idx(Group::Device, d, "variable3_format"),
                    idx(Group::Device, d, "variable4_format")});
        });
        if (!IsCustomMeter(v, d)) continue;
        for (int k = 1; k <= 2; ++k) {
            const std::string n = std::to_string(k);
            const std::string command = "read_command_" + n;
            const std::string open = command + "_open";
            const std::string bytes = text(Group::Custom, d, command.c_str());
            if (bytes.empty()) continue;  // no bytes: the builder has no frame for it
            const std::string step = std::string(at).append("read meter command ").append(n);
            add.Add(step, [&] { return Checked(ReadMeterCommand(d, k, idx(Group::Custom, d, open.c_str()), bytes)); });
        }
        add.Add(at + "custom parsing format", [&] {
            std::array<ParsingRow, 4> rows;
            for (int r = 0; r < 4; ++r) {
                const std::string p = "parsing_variable" + std::to_string(r + 1);
                rows[r].commandIndex = idx(Group::Custom, d, (p + "_command").c_str());
                rows[r].startAddressText = text(Group::Custom, d, (p + "_start_address").c_str());
                rows[r].lengthIndex = idx(Group::Custom, d, (p + "_data_length").c_str());
            }
            return ParsingFormatCommand(d, idx(Group::Custom, d, "parsing_address_bits"), rows);
        });
    }

    add.Add("coefficients variable 1", [&] {
        return Variable1CoefficientCommand(idx(Group::Coefficients, 0, "variable1_mode"),
                                           text(Group::Coefficients, 0, "variable1_coefficient"));
    });
    add.Add("coefficients variables 2 to 4", [&] {
        return VariableCoefficientsCommand(text(Group::Coefficients, 0, "variable2_coefficient"),
                                           text(Group::Coefficients, 0, "variable3_coefficient"),
                                           text(Group::Coefficients, 0, "variable4_coefficient"));
    });

    for (int s = 1; s <= kMonitoringSlots; ++s) {
        const std::string bytes = text(Group::Monitoring, s, "command");
        if (bytes.empty()) continue;
        add.Add("monitoring[" + std::to_string(s) + "]", [&] {
            return Checked(MonitoringSetCommand(s, text(Group::Monitoring, s, "enabled") == "true", bytes));
        });
    }

    const Group S = Group::System;
    add.Add("system working_mode", [&] { return SetModeCommand(idx(S, 0, "working_mode")); });
    add.Add("system modbus_slave_address", [&] { return SetSlaveAddressCommand(text(S, 0, "modbus_slave_address")); });
    add.Add("system rs485a_return_time", [&] { return SetReturnTimeACommand(idx(S, 0, "rs485a_return_time")); });
    add.Add("system rs485b_return_time", [&] { return SetReturnTimeBCommand(idx(S, 0, "rs485b_return_time")); });
    add.Add("system meter_polling_interval",
            [&] { return SetPollingIntervalCommand(text(S, 0, "meter_polling_interval")); });
    add.Add("system rs232_rs485a_base_address",
            [&] { return SetBaseAddressACommand(text(S, 0, "rs232_rs485a_base_address")); });
    add.Add("system rs485b_base_address", [&] { return SetBaseAddressBCommand(text(S, 0, "rs485b_base_address")); });
    auto sideA = [&] {
        add.Add("system RS232/RS485A serial parameters",
                [&] { return SetSerialACommand(idx(S, 0, "rs232_rs485a_baud"), idx(S, 0, "rs232_rs485a_parity")); });
    };
    auto sideB = [&] {
        add.Add("system RS485B serial parameters",
                [&] { return SetSerialBCommand(idx(S, 0, "rs485b_baud"), idx(S, 0, "rs485b_parity")); });
    };
    if (pcSide == 'b') {
        sideA();
        sideB();
    } else {
        sideB();
        sideA();
    }
    return steps;
}

std::vector<std::string> DifferingKeys(const Values& a, const Values& b)
{
    std::vector<std::string> keys;
    for (const auto& [k, v] : a) {
        const auto it = b.find(k);
        if (it == b.end() || it->second != v) keys.push_back(k);
    }
    for (const auto& [k, v] : b)
        if (!a.contains(k)) keys.push_back(k);
    std::sort(keys.begin(), keys.end());
    return keys;
}

}  // namespace ortiva::profile

namespace ortiva::profile {

Assignment ParseAssignment(const std::string& text)
{
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) throw Failure(kExitUsage, "'" + Shown(text) + "': KEY=VALUE is expected");
    Assignment a;
    a.key = text.substr(0, eq);
    const std::string value = text.substr(eq + 1);
    const KeyDef* def = nullptr;
    for (const KeyDef& d : Table()) {
        const int first = FirstIndex(d.group);
        const int count = Indexed(d.group) ? GroupCount(d.group) : 1;
        for (int i = first; i < first + count && def == nullptr; ++i) {
            if (FlatKey(d, i) != a.key) continue;
            def = &d;
            a.index = Indexed(d.group) ? i : -1;
        }
        if (def) break;
    }
    if (def == nullptr) throw Failure(kExitUsage, Shown(a.key) + ": unknown key");
    a.group = GroupName(def->group);
    a.name = def->name;
    switch (def->kind) {
    case Kind::Integer:
    case Kind::NumberChoice: {
        int32_t v = 0;
        if (!TryStrToInt(value, v)) throw Failure(kExitUsage, a.key + ": '" + Shown(value) + "' is not a whole number");
        a.value = v;
        break;
    }
    case Kind::Flag:
        if (value != "true" && value != "false") throw Failure(kExitUsage, a.key + ": true or false is expected");
        a.value = value == "true";
        break;
    default: a.value = value; break;
    }
    TextOf(*def, a.key, a.value);  // the value's own checks
    return a;
}

void Apply(Json& root, const Assignment& a)
{
    if (a.index < 0) {
        root[a.group][a.name] = a.value;
        return;
    }
    const size_t at = static_cast<size_t>(a.index - (a.group == "monitoring" ? 1 : 0));
    Json& rec = root[a.group].at(at);
    if (a.name == "meter_type" && a.value != Json(kCustomMeter)) {
        // Another meter type has no custom parsing: its keys go.
        for (const KeyDef& d : Table())
            if (d.group == Group::Custom) rec.erase(d.name);
    }
    rec[a.name] = a.value;
}

}  // namespace ortiva::profile
