#include "cli_app.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "console.h"
#include "convert.h"
#include "hart_decoders.h"
#include "hart_frames.h"
#include "hart_units.h"
#include "link.h"
#include "live_values.h"
#include "module_io.h"
#include "port_advice.h"
#include "profile.h"
#include "recording_sink.h"
#include "safe_file.h"
#include "utc_time.h"

namespace ortiva::cli {

namespace {

constexpr const char* kTool = "ortiva-cli";

// Bad arguments: exit 1, and the message points to --help.
class UsageError : public Failure {
public:
    explicit UsageError(const std::string& what) : Failure(kExitUsage, what) {}
};

struct CommandInfo {
    const char* name;
    const char* synopsis;
    const char* text;
    std::set<std::string> options;  // options of its own, beyond the line options
    bool port;                      // needs -p
};

const std::vector<CommandInfo>& Commands()
{
    static const std::vector<CommandInfo> commands = {
        {"ports", "ports", "The serial ports present, as the window's port list offers them.", {}, false},
        {"info", "-p PORT info", "Communication query: the module's firmware text.", {}, true},
        {"query",
         "-p PORT query system|coefficients|device N|monitoring N|all",
         "Reads a group (or everything, with the header) and prints its values under the profile's keys.",
         {},
         true},
        {"set",
         "-p PORT set KEY=VALUE...",
         "Writes settings under the profile's keys (\"system.modbus_slave_address=5\",\n"
         "\"devices[2].preamble_length=6\"). The module's groups are read first, the\n"
         "commands carrying a changed value are sent in restore order, and the result\n"
         "is read back and compared unless --no-verify is given.",
         {"no-verify", "side"},
         true},
        {"backup",
         "-p PORT backup FILE",
         "Reads everything the module reports into a profile FILE (written whole or not at all).",
         {},
         true},
        {"restore",
         "-p PORT restore FILE [--dry-run] [--no-verify]",
         "Writes a profile: device records, coefficients, monitoring slots, the system\n"
         "group and last the module's serial parameters, the PC's side (--side) at the\n"
         "very end; then reopens the PC port at the profile's rate and parity and reads\n"
         "everything back to compare. The profile is checked whole before anything is sent.",
         {"dry-run", "no-verify", "side"},
         true},
        {"diff",
         "-p PORT diff FILE",
         "Compares the module with a profile; exit 0 when equal, 4 naming the keys.",
         {},
         true},
        {"hart",
         "-p PORT hart identify|variables [--address N] [--preambles N]",
         "HART reads through the module in transparent mode: command 0 (identity) at\n"
         "polling address N, or command 0 then command 3 (the variables with units).",
         {"address", "preambles"},
         true},
        {"read",
         "-p PORT read [device N|all] [--slave N] [--as [QUANTITY=]FORMAT]...",
         "Reads what the control system reads: each device's ten published registers\n"
         "(function 3 from 40001 + 10*N), decoded by the output formats the device's\n"
         "record names, and prints each quantity with its register, format, value and\n"
         "raw registers. The slave address comes from the system group unless --slave\n"
         "gives it; --as replaces formats (then the records of devices whose five\n"
         "formats are all given are not read). The absolute-value format is read as the\n"
         "magnitude, an unsigned 32-bit integer in order CDAB. A MODBUS exception or a\n"
         "bad CRC ends the run with exit 3, naming the device.",
         {"slave", "as"},
         true},
        {"watch",
         "-p PORT watch [device N|all] [--interval MS] [--count N] [--csv FILE]",
         "Reads the published values as 'read' does, sample after sample: a table\n"
         "redrawn in place on a terminal, one line per sample otherwise (one JSON object\n"
         "per line with --json), each with its time. --csv appends a row per sample to\n"
         "FILE (time stamps ISO 8601 UTC, one column per quantity; a header naming each\n"
         "quantity's register and format when the file is new or begins with another\n"
         "header), flushed at once. A module that stops answering is reported once, and\n"
         "once more when it answers again; polling goes on. Ctrl-C ends the run (exit 0).",
         {"slave", "as", "interval", "count", "csv"},
         true},
    };
    return commands;
}

const CommandInfo* FindCommand(const std::string& name)
{
    for (const CommandInfo& c : Commands())
        if (name == c.name) return &c;
    return nullptr;
}

// The command line: options anywhere, "--name value", "--name=value" or
// "-name", "-p value" for the short ones, "--" before positional arguments
// that start with a dash.
class Arguments {
public:
    struct Option {
        const char* shortName;
        const char* name;
        bool takesValue;
    };

    // Throws UsageError.
    explicit Arguments(const std::vector<std::string>& arguments)
    {
        bool optionsEnd = false;
        for (size_t i = 1; i < arguments.size(); ++i) {
            const std::string& a = arguments[i];
            if (optionsEnd || a.size() < 2 || a[0] != '-') {
                positional_.push_back(a);
                continue;
            }
            if (a == "--") {
                optionsEnd = true;
                continue;
            }
            std::string name = a.substr(a[1] == '-' ? 2 : 1);
            std::optional<std::string> value;
            if (const size_t eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.erase(eq);
            }
            const Option* option = Find(name);
            if (option == nullptr) throw UsageError("Unknown option '" + Shown(name) + "'.");
            if (option->takesValue && !value) {
                if (i + 1 >= arguments.size()) throw UsageError("Missing value after '" + Shown(a) + "'.");
                value = arguments[++i];
            }
            if (!option->takesValue && value)
                throw UsageError("Unexpected value after '" + Shown(a.substr(0, a.find('='))) + "'.");
            set_.insert(option->name);
            if (value) {
                values_[option->name] = *value;
                all_[option->name].push_back(*value);
            }
        }
    }

    bool isSet(const std::string& name) const { return set_.contains(name); }
    std::string value(const std::string& name) const
    {
        const auto it = values_.find(name);
        return it == values_.end() ? std::string() : it->second;
    }
    const std::vector<std::string>& positional() const { return positional_; }
    // Every value an option was given, in order (options that may repeat).
    std::vector<std::string> values(const std::string& name) const
    {
        const auto it = all_.find(name);
        return it == all_.end() ? std::vector<std::string>{} : it->second;
    }

private:
    static const Option* Find(const std::string& name)
    {
        static const Option options[] = {
            {"p", "port", true},        {"b", "baud", true},         {nullptr, "parity", true},
            {nullptr, "timeout", true}, {nullptr, "silence", true},  {nullptr, "rts", false},
            {nullptr, "dtr", false},    {"v", "verbose", false},     {nullptr, "json", false},
            {nullptr, "text", false},   {nullptr, "dry-run", false}, {nullptr, "no-verify", false},
            {nullptr, "side", true},    {nullptr, "address", true},  {nullptr, "preambles", true},
            {"h", "help", false},       {nullptr, "version", false}, {nullptr, "slave", true},
            {nullptr, "as", true},      {nullptr, "interval", true}, {nullptr, "count", true},
            {nullptr, "csv", true},
        };
        for (const Option& o : options)
            if (name == o.name || (o.shortName && name == o.shortName)) return &o;
        return nullptr;
    }

    std::set<std::string> set_;
    std::map<std::string, std::string> values_;
    std::map<std::string, std::vector<std::string>> all_;
    std::vector<std::string> positional_;
};

const char* kLineOptionsHelp =
    "Line options:\n"
#ifdef _WIN32
    "  -p, --port PORT         serial port (COM3)\n"
#else
    "  -p, --port PORT         serial device (/dev/ttyUSB0; COM1..COM12 are /dev/ttyS0..11)\n"
#endif
    "  -b, --baud BAUD         PC port rate (default 9600)\n"
    "  --parity none|odd|even  PC port parity (default none)\n"
    "  --timeout MS            reply timeout (default 3000)\n"
    "  --silence MS            line silence that ends a reply that cannot be judged whole\n"
    "                          by its contents (default 50)\n"
    "  --rts, --dtr            hold RTS / DTR on (adapters that need them)\n"
    "  -v, --verbose           every frame sent and received, time-stamped, on standard error\n"
    "  --json, --text          output form (query and hart default to JSON, the others to text)\n";

const char* kExitHelp = "Exit codes: 0 done, 1 usage, bad profile or a file not read or written, 2 port\n"
                        "error or the line lost, 3 no reply (or an unreadable one), 4 verify or diff\n"
                        "mismatch (or a write the module refused).\n";

std::string GeneralHelp()
{
    std::string h = "Usage: ortiva-cli [line options] COMMAND [arguments]\n\n"
                    "Backs up, restores, compares and scripts an Ortiva module's configuration,\n"
                    "and reads the values it publishes to the control system.\n\n"
                    "Commands:\n";
    for (const CommandInfo& c : Commands()) h += std::string("  ortiva-cli ") + c.synopsis + "\n";
    h += "\n";
    h += kLineOptionsHelp;
    h += "\n'ortiva-cli COMMAND --help' describes a command.\n";
    h += kExitHelp;
    return h;
}

std::string CommandHelp(const CommandInfo& c)
{
    std::string h = std::string("Usage: ortiva-cli ") + c.synopsis + "\n\n" + c.text + "\n";
    if (c.options.contains("dry-run")) h += "\n  --dry-run     print every frame that would be sent; send nothing";
    if (c.options.contains("no-verify")) h += "\n  --no-verify   do not read back and compare";
    if (c.options.contains("side"))
        h += "\n  --side a|b    the module side the PC is on: RS232/RS485A (default) or RS485B";
    if (c.options.contains("address")) h += "\n  --address N   HART polling address 0..15 (default 0)";
    if (c.options.contains("preambles")) h += "\n  --preambles N preamble bytes before a frame, less one (default 6)";
    if (c.options.contains("slave"))
        h += "\n  --slave N     MODBUS slave address 1..247 (default: the module's, from its system group)";
    if (c.options.contains("as"))
        h += "\n  --as [QUANTITY=]FORMAT"
             "\n                read a quantity (current, variable1..variable4), or all five, in"
             "\n                FORMAT: float, int32 or uint32 and ABCD, CDAB, BADC or DCBA"
             "\n                (\"float CDAB\", \"current=uint32 ABCD\"); may repeat, later ones win";
    if (c.options.contains("interval"))
        h += "\n  --interval MS  from one sample's start to the next (default 1000; 0: at once)";
    if (c.options.contains("count")) h += "\n  --count N     stop after N samples (default: until Ctrl-C)";
    if (c.options.contains("csv")) h += "\n  --csv FILE    append a row per sample to FILE";
    if (!c.options.empty()) h += "\n";
    if (c.port) h += std::string("\n") + kLineOptionsHelp;
    h += "\n";
    h += kExitHelp;
    return h;
}

int NumberOption(const Arguments& p, const std::string& name, int fallback, int lo, int hi)
{
    if (!p.isSet(name)) return fallback;
    int32_t v = 0;
    const std::string text = p.value(name);
    if (!TryStrToInt(text, v) || v < lo || v > hi)
        throw UsageError("--" + name + ": '" + Shown(text) + "' is not a number from " + std::to_string(lo) + " to " +
                         std::to_string(hi));
    return v;
}

// Output JSON: objects with their keys in alphabetical order, a profile's in
// the schema's.
using OutJson = nlohmann::json;

template <class J>
void Print(std::FILE* out, const J& v)
{
    std::fputs((v.dump(4, ' ', false, J::error_handler_t::replace) + "\n").c_str(), out);
}

void PrintValues(std::FILE* out, const Values& values)
{
    for (const auto& [k, v] : values) std::fprintf(out, "%s = %s\n", k.c_str(), v.c_str());
}

Profile LoadProfile(const std::string& path)
{
    // The path is UTF-8 (Windows would read a narrow one in its ANSI code page).
    std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    std::ostringstream bytes;
    if (!file || !(bytes << file.rdbuf()) || file.bad()) {
        const int error = errno;
        throw Failure(kExitUsage, path + ": " + (error ? std::strerror(error) : "the file could not be read"));
    }
    try {
        return ParseProfile(bytes.str());
    } catch (const Failure& e) {
        throw Failure(e.Code(), path + ": " + e.what());
    }
}

void SaveProfile(const std::string& path, const Profile& profile) { WriteFileWhole(path, ProfileText(profile)); }

struct Context {
    const Arguments& parser;
    std::vector<std::string> args;  // positional, after the command
    std::FILE* out;
    std::FILE* err;
    bool json;
    LinkOptions line;
    char side = 'a';
};

void Report(const Context& c, const std::string& text) { std::fprintf(c.out, "%s\n", text.c_str()); }

std::string Joined(const std::vector<std::string>& keys)
{
    std::string s;
    for (const std::string& k : keys) s += (s.empty() ? "" : ", ") + k;
    return s;
}

// Compares, prints the differences and fails with kExitMismatch when there are any.
void Compare(const Context& c, const Values& module, const Values& profile, const char* what)
{
    const std::vector<std::string> keys = DifferingKeys(module, profile);
    auto value = [](const Values& v, const std::string& k) {
        const auto it = v.find(k);
        return it == v.end() ? std::optional<std::string>{} : std::optional<std::string>{it->second};
    };
    if (c.json) {
        OutJson diffs = OutJson::array();
        for (const std::string& k : keys) {
            OutJson o;
            o["key"] = k;
            const auto m = value(module, k);
            const auto p = value(profile, k);
            o["module"] = m ? OutJson(*m) : OutJson();
            o["profile"] = p ? OutJson(*p) : OutJson();
            diffs.push_back(o);
        }
        OutJson r;
        r["equal"] = keys.empty();
        r["differences"] = diffs;
        Print(c.out, r);
    } else if (keys.empty()) {
        Report(c, std::string(what) == "set" ? "set: read back, the module holds the values"
                                             : std::string(what) + ": the module and the profile are equal");
    } else {
        for (const std::string& k : keys) {
            const auto m = value(module, k);
            const auto p = value(profile, k);
            std::fprintf(c.out, "%s: module %s, profile %s\n", k.c_str(), m ? ("\"" + *m + "\"").c_str() : "(none)",
                         p ? ("\"" + *p + "\"").c_str() : "(none)");
        }
    }
    if (!keys.empty())
        throw Failure(kExitMismatch, std::string(what) + ": " + std::to_string(keys.size()) + " key(s) differ" +
                                         (keys.size() <= 3 ? ": " + Joined(keys) : ""));
}

std::string Trimmed(std::string s)
{
    const auto blank = [](unsigned char ch) { return std::isspace(ch) != 0; };
    while (!s.empty() && blank(s.back())) s.pop_back();
    s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
    return s;
}

std::string Joined(const std::vector<std::string>& items, size_t from, char separator)
{
    std::string s;
    for (size_t i = from; i < items.size(); ++i) s += (i > from ? std::string(1, separator) : "") + items[i];
    return s;
}

// ---------------------------------------------------------------- commands

int Ports(Context& c)
{
    const std::vector<PresentPort> ports = ListPorts();
    if (c.json) {
        OutJson list = OutJson::array();
        for (const PresentPort& p : ports) {
            OutJson o;
            o["path"] = p.path;
            o["text"] = p.text;
            o["description"] = p.description;
            o["manufacturer"] = p.manufacturer;
            o["serial_number"] = p.serialNumber;
            o["by_id"] = p.byIdPath;
            list.push_back(o);
        }
        Print(c.out, list);
    } else {
        for (const PresentPort& p : ports) {
            std::string details = p.toolTip;
            std::replace(details.begin(), details.end(), '\n', ';');
            std::fprintf(c.out, "%s%s%s\n", p.text.c_str(), details.empty() ? "" : "\t", details.c_str());
        }
        if (ports.empty()) std::fprintf(c.err, "%s: no serial ports found\n", kTool);
    }
    return kExitDone;
}

int Info(Context& c)
{
    Link link(c.line);
    link.Open();
    const std::string firmware = ReadFirmware(link);
    if (c.json) {
        OutJson o;
        o["port"] = c.line.port;
        o["firmware"] = firmware;
        Print(c.out, o);
    } else {
        Report(c, "firmware: " + firmware);
    }
    return kExitDone;
}

int Query(Context& c)
{
    if (c.args.empty()) throw UsageError("query: which group? system, coefficients, device N, monitoring N or all");
    const std::string what = c.args[0];
    ReadSet set;
    set.header = false;
    set.system = set.coefficients = false;
    set.devices.clear();
    set.slotNumbers.clear();
    int index = -1;
    auto numberArg = [&](int lo, int hi) {
        int32_t v = 0;
        if (c.args.size() != 2 || !TryStrToInt(c.args[1], v) || v < lo || v > hi)
            throw UsageError("query " + Shown(what) + ": a number from " + std::to_string(lo) + " to " +
                             std::to_string(hi) + " is expected");
        return v;
    };
    if (what == "all" && c.args.size() == 1) {
        set = ReadSet{};
    } else if (what == "system" && c.args.size() == 1) {
        set.system = true;
    } else if (what == "coefficients" && c.args.size() == 1) {
        set.coefficients = true;
    } else if (what == "device") {
        index = numberArg(0, 4);
        set.devices = {index};
    } else if (what == "monitoring") {
        index = numberArg(1, 6);
        set.slotNumbers = {index};
    } else {
        throw UsageError("query: '" + Shown(Joined(c.args, 0, ' ')) +
                         "' is not system, coefficients, device N, monitoring N or all");
    }
    Link link(c.line);
    link.Open();
    Profile p = ReadModule(link, set);
    if (!c.json) {
        if (set.header) Report(c, "header.firmware = " + p.header.firmware);
        PrintValues(c.out, p.values);
        return kExitDone;
    }
    if (set.header) {
        p.header.savedAt = UtcSeconds();
        p.header.tool = std::string(kTool) + " " + ORTIVA_VERSION;
    }
    const Json all = ToJson(p);
    if (what == "all")
        Print(c.out, all);
    else if (what == "device")
        Print(c.out, all["devices"].at(static_cast<size_t>(index)));
    else if (what == "monitoring")
        Print(c.out, all["monitoring"].at(static_cast<size_t>(index - 1)));
    else
        Print(c.out, all[what]);
    return kExitDone;
}

int Backup(Context& c)
{
    if (c.args.size() != 1) throw UsageError("backup: one FILE is expected");
    Link link(c.line);
    link.Open();
    Profile p = ReadModule(link);
    p.header.savedAt = UtcSeconds();
    p.header.tool = std::string(kTool) + " " + ORTIVA_VERSION;
    SaveProfile(c.args[0], p);
    Report(c, "backed up to " + c.args[0] + " (" + std::to_string(link.Stats().frames) + " frames)");
    return kExitDone;
}

void Verify(Context& c, Link& link, const Values& expected, const char* what)
{
    const Profile back = ReadModule(link, ReadSet{.header = false});
    Compare(c, back.values, expected, what);
}

int Restore(Context& c)
{
    if (c.args.size() != 1) throw UsageError("restore: one FILE is expected");
    const Profile profile = LoadProfile(c.args[0]);
    const std::vector<Step> steps = RestoreSteps(profile, c.side);
    Link link(c.line);
    link.dryOut = c.out;
    link.Open();
    WriteSteps(link, steps, profile, c.side, [&](const std::string& name) {
        if (c.line.log) std::fprintf(c.line.log, "%*s done: %s\n", 15, "", name.c_str());
    });
    if (c.line.dryRun) return kExitDone;
    if (!c.parser.isSet("no-verify")) {
        Verify(c, link, profile.values, "verify");
        return kExitDone;
    }
    Report(c, "restored " + c.args[0] + " (" + std::to_string(steps.size()) + " writes, not verified)");
    return kExitDone;
}

int Diff(Context& c)
{
    if (c.args.size() != 1) throw UsageError("diff: one FILE is expected");
    const Profile profile = LoadProfile(c.args[0]);
    Link link(c.line);
    link.Open();
    const Profile module = ReadModule(link, ReadSet{.header = false});
    Compare(c, module.values, profile.values, "diff");
    return kExitDone;
}

int Set(Context& c)
{
    if (c.args.empty()) throw UsageError("set: KEY=VALUE... is expected");
    std::vector<Assignment> changes;
    for (const std::string& a : c.args) changes.push_back(ParseAssignment(a));
    Link link(c.line);
    link.Open();
    Profile before = ReadModule(link, ReadSet{.header = false});
    Json root = ToJson(before);
    for (const Assignment& a : changes) Apply(root, a);
    const Profile after = FromJson(root);
    const std::vector<Step> old = RestoreSteps(before, c.side);
    std::vector<Step> steps;
    for (const Step& s : RestoreSteps(after, c.side)) {
        const auto same = std::find_if(old.begin(), old.end(), [&](const Step& o) {
            return o.name == s.name && o.command.bytes == s.command.bytes;
        });
        if (same == old.end()) steps.push_back(s);
    }
    WriteSteps(link, steps, after, c.side);
    if (!c.parser.isSet("no-verify"))
        Verify(c, link, after.values, "set");
    else
        Report(c, "set: " + std::to_string(steps.size()) + " writes, not verified");
    return kExitDone;
}

int Hart(Context& c)
{
    if (c.args.size() != 1 || (c.args[0] != "identify" && c.args[0] != "variables"))
        throw UsageError("hart: identify or variables is expected");
    const int address = NumberOption(c.parser, "address", 0, 0, kHartPollAddressMax);
    const std::string preambles = std::to_string(NumberOption(c.parser, "preambles", 6, -1, 20));
    Link link(c.line);
    link.Open();
    HartIdentity identity;
    ExchangeState state;
    RecordingSink identityFields;
    const std::vector<uint8_t> reply = link.Exchange(
        HartDeviceQueryCommand(identity, preambles, 0, {address, std::to_string(address)}), "HART command 0");
    StoreChunk(state, reply);
    DecodeHartIdentityReply(state, identity, identityFields);
    if (identityFields.text["Edit28"].empty())
        throw Failure(kExitNoReply,
                      "no HART command 0 reply from address " + std::to_string(address) + " in: " + ReplyText(reply));
    OutJson o;
    o["polling_address"] = identity.PollAddress;
    o["manufacturer_id"] = identity.ManufacturerId;
    o["device_type"] = identity.DeviceType;
    o["required_preambles"] = identity.RequiredPreambles;
    o["device_id"] = std::stoi(identityFields.text["Edit32"]);
    if (c.args[0] == "variables") {
        RecordingSink fields;
        const std::vector<uint8_t> vars =
            link.Exchange(HartVariablesQueryCommand(identity, preambles, 0), "HART command 3");
        StoreChunk(state, vars);
        const int filled = DecodeHartVariablesReply(state, fields, ".");
        if (filled == 0) throw Failure(kExitNoReply, "no HART command 3 reply");
        OutJson list = OutJson::array();
        for (int i = 0; i < filled; ++i) {
            const HartSlotControls& slot = kHartSlots[static_cast<size_t>(i)];
            OutJson v;
            v["value"] = fields.text[std::string(slot.valueEdit)];
            const int unit = fields.Index(slot.unitList);
            const std::vector<std::string> items = HartUnitItems(i);
            v["unit"] = unit >= 0 && unit < static_cast<int>(items.size()) ? Trimmed(items[static_cast<size_t>(unit)])
                                                                           : std::string();
            v["unit_code"] = HartUnitCode(unit);
            list.push_back(v);
        }
        o["variables"] = list;
    }
    if (c.json) {
        Print(c.out, o);
    } else {
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (it.value().is_array()) {
                int n = 1;
                for (const OutJson& v : it.value())
                    std::fprintf(c.out, "variable%d = %s %s\n", n++, v["value"].get<std::string>().c_str(),
                                 v["unit"].get<std::string>().c_str());
            } else {
                std::fprintf(c.out, "%s = %d\n", it.key().c_str(), it.value().get<int>());
            }
        }
    }
    return kExitDone;
}

// ------------------------------------------------------- published values

// "device N", "all" or nothing (all).
std::vector<int> DevicesArg(const Context& c)
{
    if (c.args.empty() || (c.args.size() == 1 && c.args[0] == "all")) return {0, 1, 2, 3, 4};
    int32_t d = -1;
    if (c.args.size() == 2 && c.args[0] == "device" && TryStrToInt(c.args[1], d) && d >= 0 && d < kPublishedDevices)
        return {d};
    throw UsageError("'" + Shown(Joined(c.args, 0, ' ')) + "' is not device N (0 to 4) or all");
}

LiveSetup Setup(const Context& c, Link& link)
{
    std::vector<FormatOverride> overrides;
    for (const std::string& text : c.parser.values("as")) {
        const auto o = ParseFormatOverride(text);
        if (!o)
            throw UsageError("--as: '" + Shown(text) +
                             "' is not [QUANTITY=]FORMAT (\"float CDAB\", \"current=uint32 ABCD\")");
        overrides.push_back(*o);
    }
    std::optional<int> slave;
    if (c.parser.isSet("slave")) slave = NumberOption(c.parser, "slave", 1, 1, 247);
    return ReadLiveSetup(link, DevicesArg(c), slave, overrides);
}

OutJson SampleJson(const LiveSetup& setup, const Sample& sample)
{
    OutJson devices = OutJson::array();
    for (size_t i = 0; i < sample.devices.size(); ++i) {
        OutJson quantities = OutJson::array();
        for (int q = 0; q < kPublishedQuantities; ++q) {
            const PublishedValue& v = sample.devices[i][static_cast<size_t>(q)];
            OutJson o;
            o["quantity"] = std::string(QuantityName(q));
            o["register"] = v.reg;
            o["format"] = FormatName(v.format);
            o["value"] = std::isfinite(v.value) ? OutJson(v.value) : OutJson();  // NaN and infinities: see "text"
            o["text"] = v.Text();
            o["raw"] = v.RawText();
            quantities.push_back(o);
        }
        OutJson d;
        d["device"] = setup.devices[i];
        d["quantities"] = quantities;
        devices.push_back(d);
    }
    OutJson o;
    o["time"] = sample.time;
    o["slave"] = setup.slave;
    o["devices"] = devices;
    return o;
}

// The table: a heading line and a line per quantity.
std::vector<std::string> TableLines(const LiveSetup& setup, const Sample& sample)
{
    std::vector<std::string> lines;
    char line[160];
    std::snprintf(line, sizeof line, "%-6s %-10s %-8s %-16s %15s  %s", "device", "quantity", "register", "format",
                  "value", "raw");
    lines.emplace_back(line);
    for (size_t i = 0; i < sample.devices.size(); ++i)
        for (int q = 0; q < kPublishedQuantities; ++q) {
            const PublishedValue& v = sample.devices[i][static_cast<size_t>(q)];
            std::snprintf(line, sizeof line, "%-6d %-10s %-8d %-16s %15s  %s", setup.devices[i],
                          std::string(QuantityName(q)).c_str(), v.reg, FormatName(v.format).c_str(), v.Text().c_str(),
                          v.RawText().c_str());
            lines.emplace_back(line);
        }
    return lines;
}

int Read(Context& c)
{
    Link link(c.line);
    link.Open();
    const LiveSetup setup = Setup(c, link);
    const Sample sample = ReadSample(link, setup);
    if (c.json) {
        Print(c.out, SampleJson(setup, sample));
    } else {
        for (const std::string& line : TableLines(setup, sample)) std::fprintf(c.out, "%s\n", line.c_str());
    }
    return kExitDone;
}

// The CSV file, appended to; the header goes first when the file is new or
// begins with another one.
std::FILE* OpenCsv(const std::string& path, const std::string& header)
{
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::string first;
    {
        std::ifstream in(file, std::ios::binary);
        std::getline(in, first);
        if (!first.empty() && first.back() == '\r') first.pop_back();
    }
#ifdef _WIN32
    std::FILE* f = _wfopen(file.c_str(), L"ab");
#else
    std::FILE* f = std::fopen(file.c_str(), "ab");
#endif
    if (f == nullptr) throw std::runtime_error(path + ": " + std::strerror(errno));
    if (first != header) {
        std::fprintf(f, "%s%s", header.c_str(), kCsvLineEnd);
        std::fflush(f);
    }
    return f;
}

int Watch(Context& c)
{
    const int interval = NumberOption(c.parser, "interval", 1000, 0, 86400000);
    const int count = NumberOption(c.parser, "count", 0, 1, 1000000000);
    Link link(c.line);
    link.Open();
    const LiveSetup setup = Setup(c, link);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> csv(nullptr, &std::fclose);
    if (c.parser.isSet("csv")) csv.reset(OpenCsv(c.parser.value("csv"), CsvHeader(setup)));

    const StopOnInterrupt stop;
    const bool terminal = !c.json && IsTerminal(c.out);
    size_t drawn = 0;       // lines of the table on the terminal, to go back over
    bool answering = true;  // the module answered the last sample
    int samples = 0;
    while (!StopOnInterrupt::StopRequested() && (count == 0 || samples < count)) {
        const auto started = std::chrono::steady_clock::now();
        ++samples;
        try {
            const Sample sample = ReadSample(link, setup);
            if (!answering) {
                std::fprintf(c.err, "%s: %s the module answers again\n", kTool, sample.time.c_str());
                answering = true;
                drawn = 0;
            }
            if (csv) {
                std::fprintf(csv.get(), "%s%s", CsvRow(sample).c_str(), kCsvLineEnd);
                std::fflush(csv.get());
            }
            if (c.json) {
                std::fprintf(c.out, "%s\n",
                             SampleJson(setup, sample).dump(-1, ' ', false, OutJson::error_handler_t::replace).c_str());
            } else if (terminal) {
                if (drawn > 0) std::fprintf(c.out, "\x1b[%zuA", drawn);
                std::vector<std::string> lines = TableLines(setup, sample);
                lines.insert(lines.begin(), sample.time + "  sample " + std::to_string(samples) +
                                                (count ? " of " + std::to_string(count) : "") + "  (Ctrl-C ends)");
                for (const std::string& line : lines) std::fprintf(c.out, "\r%s\x1b[K\n", line.c_str());
                drawn = lines.size();
            } else {
                std::string line = sample.time;
                for (size_t i = 0; i < sample.devices.size(); ++i) {
                    line += "  device " + std::to_string(setup.devices[i]) + ":";
                    for (const PublishedValue& v : sample.devices[i]) line += " " + v.Text();
                }
                std::fprintf(c.out, "%s\n", line.c_str());
            }
            std::fflush(c.out);
        } catch (const Failure& e) {
            if (e.Code() != kExitNoReply) throw;  // a lost line or port ends the run
            if (answering)
                std::fprintf(c.err, "%s: %s %s; polling goes on\n", kTool, UtcMilliseconds().c_str(), e.what());
            answering = false;
        }
        const auto next = started + std::chrono::milliseconds(interval);
        while (!StopOnInterrupt::StopRequested() && std::chrono::steady_clock::now() < next &&
               (count == 0 || samples < count))
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                next - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
    }
    if (!answering && !StopOnInterrupt::StopRequested()) {
        std::fprintf(c.err, "%s: the module did not answer the last sample\n", kTool);
        return kExitNoReply;
    }
    return kExitDone;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err)
{
    std::optional<Arguments> parsed;
    try {
        parsed.emplace(arguments);
    } catch (const UsageError& e) {
        std::fprintf(err, "%s: %s\nTry 'ortiva-cli --help'.\n", kTool, e.what());
        return kExitUsage;
    }
    const Arguments& parser = *parsed;
    const std::vector<std::string>& positional = parser.positional();
    const CommandInfo* command = positional.empty() ? nullptr : FindCommand(positional[0]);
    if (parser.isSet("version")) {
        std::fprintf(out, "%s %s\n", kTool, ORTIVA_VERSION);
        return kExitDone;
    }
    if (parser.isSet("help")) {
        std::fputs((command ? CommandHelp(*command) : GeneralHelp()).c_str(), out);
        return kExitDone;
    }
    try {
        if (positional.empty()) throw UsageError("a command is expected");
        if (command == nullptr) throw UsageError("'" + Shown(positional[0]) + "' is not a command");
        for (const char* name :
             {"dry-run", "no-verify", "side", "address", "preambles", "slave", "as", "interval", "count", "csv"})
            if (parser.isSet(name) && !command->options.contains(name))
                throw UsageError(std::string(command->name) + " has no option --" + name);
        if (parser.isSet("json") && parser.isSet("text")) throw UsageError("--json or --text, not both");

        Context c{parser, {positional.begin() + 1, positional.end()}, out, err, false, {}, 'a'};
        const bool jsonByDefault = command->name == std::string("query") || command->name == std::string("hart");
        c.json = parser.isSet("json") || (jsonByDefault && !parser.isSet("text"));
        c.line.port = parser.value("port");
        c.line.baud = static_cast<uint32_t>(NumberOption(parser, "baud", 9600, 1, 4000000));
        if (parser.isSet("parity") && !ParityByName(parser.value("parity"), c.line.parity))
            throw UsageError("--parity: '" + Shown(parser.value("parity")) + "' is not none, odd or even");
        c.line.timeoutMs = NumberOption(parser, "timeout", 3000, 1, 3600000);
        c.line.silenceMs = NumberOption(parser, "silence", 50, 1, 10000);
        c.line.rts = parser.isSet("rts");
        c.line.dtr = parser.isSet("dtr");
        c.line.dryRun = parser.isSet("dry-run");
        c.line.log = parser.isSet("verbose") ? err : nullptr;
        if (parser.isSet("side")) {
            std::string s = parser.value("side");
            std::transform(s.begin(), s.end(), s.begin(), [](unsigned char ch) { return std::tolower(ch); });
            if (s != "a" && s != "b") throw UsageError("--side: '" + Shown(s) + "' is not a or b");
            c.side = s[0];
        }
        if (command->port && c.line.port.empty() && !c.line.dryRun)
            throw UsageError(std::string(command->name) + " needs the port: -p PORT");

        const std::string name = command->name;
        if (name == "ports") return Ports(c);
        if (name == "info") return Info(c);
        if (name == "query") return Query(c);
        if (name == "set") return Set(c);
        if (name == "backup") return Backup(c);
        if (name == "restore") return Restore(c);
        if (name == "diff") return Diff(c);
        if (name == "read") return Read(c);
        if (name == "watch") return Watch(c);
        return Hart(c);
    } catch (const UsageError& e) {
        std::fprintf(err, "%s: %s\nTry 'ortiva-cli %s--help'.\n", kTool, e.what(),
                     command ? (std::string(command->name) + " ").c_str() : "");
        return kExitUsage;
    } catch (const Failure& e) {
        std::fprintf(err, "%s: %s\n", kTool, e.what());
        return e.Code();
    } catch (const std::exception& e) {
        std::fprintf(err, "%s: %s\n", kTool, e.what());
        return kExitUsage;
    }
}

}  // namespace ortiva::cli
