// ortiva-cli end to end: the program's commands run in-process against
// simulated modules on pseudo-terminals, plus the key-to-frame mapping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

#include "cli_app.h"
#include "port_catalog.h"
#include "profile.h"
#include "sim_server.h"

namespace ortiva::cli {
namespace {

struct Result {
    int code = -1;
    std::string out, err;
};

std::string Slurp(std::FILE* f)
{
    std::string s;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

using Args = std::vector<std::string>;

Args operator+(Args a, const Args& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Args operator<<(Args a, std::string b)
{
    a.push_back(std::move(b));
    return a;
}

Result RunTool(const Args& args)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Result r;
    r.code = RunCli(Args{"ortiva-cli"} + args, out, err);
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

// A simulated module that answers quickly; the tool ends replies after 20 ms of silence.
struct Sim {
    explicit Sim(bool checkRate = false)
    {
        sim::SimOptions o;
        o.line.frameGapMs = 5;
        o.line.delayMs = 2;
        o.line.checkRate = checkRate;
        server = std::make_unique<sim::SimServer>(o);
        server->Start();
    }
    Args Line(const std::string& baud = "9600") const
    {
        return {"-p", server->SlavePath(), "-b", baud, "--silence", "20", "--timeout", "1000"};
    }
    void Options(const std::function<void(sim::SimOptions&)>& change)
    {
        sim::SimOptions o = server->Options();
        change(o);
        server->SetOptions(o);
    }
    std::unique_ptr<sim::SimServer> server;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    EXPECT_TRUE(f.good()) << path;
    std::ostringstream bytes;
    bytes << f.rdbuf();
    return bytes.str();
}

Json ReadJson(const std::string& path) { return Json::parse(ReadFile(path)); }

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary);
    ASSERT_TRUE(f.good()) << path;
    f << bytes;
}

std::string Text(const Json& j) { return j.dump(4); }

// A folder of its own for each test, removed with it.
class CliTest : public testing::Test {
protected:
    CliTest()
    {
        std::random_device random;
        dir = std::filesystem::temp_directory_path() / ("ortiva-cli-test-" + std::to_string(random()));
        std::filesystem::create_directories(dir);
    }
    ~CliTest() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string File(const char* name) const { return (dir / name).string(); }
    std::filesystem::path dir;
};

// Back up a customised module, restore into one at defaults (which answers
// only at its own rate: the restore ends at the new 19200 baud), back that
// up: the two profiles are the same but for the time of the backup.
TEST_F(CliTest, BackupRestoreBackupGivesTheSameProfile)
{
    Sim a;
    Sim b(/*checkRate=*/true);
    a.server->WithModule([](sim::Module& m) { MoveAwayFromDefaults(m); });

    const Result backup = RunTool(a.Line() << "backup" << File("a.json"));
    ASSERT_EQ(backup.code, kExitDone) << backup.err;
    const Result restore = RunTool(b.Line() << "restore" << File("a.json"));
    ASSERT_EQ(restore.code, kExitDone) << restore.err;
    EXPECT_NE(restore.out.find("equal"), std::string::npos) << restore.out;
    EXPECT_EQ(b.server->WithModule([](sim::Module& m) { return m.system.baudA; }), 4);

    // At the old rate the module no longer hears the tool.
    EXPECT_EQ(RunTool(b.Line() << "info").code, kExitNoReply);
    const Result again = RunTool(b.Line("19200") << "backup" << File("b.json"));
    ASSERT_EQ(again.code, kExitDone) << again.err;

    Json pa = ReadJson(File("a.json"));
    Json pb = ReadJson(File("b.json"));
    EXPECT_EQ(pa["devices"][3]["meter_type"], "7)Siemens_MASS600");
    EXPECT_FALSE(pa["devices"][3].contains("read_command_1"));
    EXPECT_EQ(pa["devices"][2]["read_command_1"], "01 03 02");
    for (Json* p : {&pa, &pb}) {
        EXPECT_FALSE((*p)["header"]["saved_at"].get<std::string>().empty());
        (*p)["header"].erase("saved_at");
    }
    EXPECT_EQ(pa, pb);
    EXPECT_EQ(pa["format_version"], kProfileFormatVersion);
}

// Silence and unreadable replies end in exit 3 with the query named, and an
// existing profile is left as it was.
TEST_F(CliTest, NoOrUnreadableReplyLeavesTheProfileUntouched)
{
    Sim sim;
    WriteFile(File("keep.json"), "old contents");
    struct Row {
        const char* fault;
        std::function<void(sim::SimOptions&)> set;
        const char* message;
    } rows[] = {
        {"no reply", [](sim::SimOptions& o) { o.line.noReply = true; }, "no reply to the communication query"},
        {"bad digit", [](sim::SimOptions& o) { o.module.badDigit = true; }, "the reply to the system parameter query"},
        {"noise, and sections past 255 characters",
         [](sim::SimOptions& o) {
             o.line.garbage = true;
             o.module.lateSections = true;
         },
         "the reply to the query of devices[0] lacks"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        sim.Options([](sim::SimOptions& o) {
            o = sim::SimOptions{};
            o.line.frameGapMs = 5;
            o.line.delayMs = 2;
        });
        sim.Options(row.set);
        const Result r = RunTool(sim.Line() << "backup" << File("keep.json"));
        EXPECT_EQ(r.code, kExitNoReply);
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(File("keep.json")), "old contents");
    }
}

// Profiles the tool refuses before sending anything, naming the key.
TEST_F(CliTest, MalformedProfilesAreRefusedBeforeAnythingIsSent)
{
    Sim sim;
    ASSERT_EQ(RunTool(sim.Line() << "backup" << File("good.json")).code, kExitDone);
    const Json good = ReadJson(File("good.json"));
    const size_t before = sim.server->RequestsHandled();

    auto with = [&](const std::function<void(Json&)>& change) {
        Json p = good;
        change(p);
        return Text(p);
    };
    auto device = [&](int d, const char* key, Json v) { return with([&](Json& p) { p["devices"][d][key] = v; }); };
    auto pairs = [](int n) {
        std::string t = "01";
        for (int i = 1; i < n; ++i) t += " 01";
        return t;
    };
    // A key given twice: the good profile's text with `"key": value, ` put
    // before the key's first place after `after`.
    auto twice = [&](const std::string& key, const std::string& value, const std::string& after) {
        std::string t = Text(good);
        const size_t at = t.find("\"" + key + "\"", t.find(after));
        return t.insert(at, "\"" + key + "\": " + value + ", ");
    };
    struct Row {
        const char* name;
        std::string bytes;
        const char* message;
    } rows[] = {
        {"bad JSON", "{\"format_version\": 1,", "not JSON"},
        {"a number beyond a double", "{\"format_version\": 1e400}", "not JSON: number overflow"},
        {"wrong version", with([](Json& p) { p["format_version"] = 2; }), "format_version: 2 is not 1"},
        {"unknown key", with([](Json& p) { p["system"]["modbus_slave_adress"] = 3; }),
         "system.modbus_slave_adress: unknown key"},
        {"missing group", with([](Json& p) { p.erase("monitoring"); }), "monitoring: missing group"},
        {"out of range", device(2, "buffer_clear_time", 1000),
         "devices[2].buffer_clear_time: 1000 is outside 0 to 999"},
        {"not an item", device(4, "preamble_length", 10), "devices[4].preamble_length: 10 is not one of its items"},
        {"bad command bytes", device(1, "read_command_2", "0G 11"),
         "devices[1].read_command_2: '0G 11' is refused: Data eeore!"},
        // Command bytes the frame would shorten, or read otherwise than written.
        {"15 command bytes", device(0, "read_command_1", pairs(15)), "devices[0].read_command_1: '01 01 01"},
        {"16 command bytes", with([&](Json& p) { p["monitoring"][1]["command"] = pairs(16); }),
         "monitoring[2].command: '01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01' is refused: 16 bytes, at most 14"},
        {"20000 command bytes", device(2, "read_command_2", pairs(20000)), "is refused: 20000 bytes, at most 14"},
        {"a half byte", device(0, "read_command_1", "01 0"),
         "devices[0].read_command_1: '01 0' is refused: half a byte"},
        {"two bytes unseparated", device(0, "read_command_1", "2323"), "'2323' is more than one byte"},
        {"a repeated key", twice("modbus_slave_address", "5", "\"system\""),
         "system.modbus_slave_address: given twice"},
        {"a repeated key in a slot", twice("enabled", "true", "\"monitoring\""), "monitoring[1].enabled: given twice"},
        // Control characters are shown, not cut at.
        {"U+0000 in a key", with([](Json& p) { p["system"][std::string("\0x", 2)] = 1; }),
         "system.\\u0000x: unknown key"},
        {"U+0000 in a value", device(1, "meter_type", std::string("7)\0", 3)), "'7)\\u0000' is not one of its items"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFile(File("bad.json"), row.bytes);
        const Result r = RunTool(sim.Line() << "restore" << File("bad.json"));
        EXPECT_EQ(r.code, kExitUsage);
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
    }
    // A good profile in a dry run: every frame printed, nothing sent.
    const Result dry = RunTool(sim.Line() << "restore" << File("good.json") << "--dry-run");
    EXPECT_EQ(dry.code, kExitDone) << dry.err;
    EXPECT_NE(dry.out.find("QQS#BA2:30#"), std::string::npos) << dry.out;
    EXPECT_LT(dry.out.find("QQS#BA2:30#"), dry.out.find("QQS#BA1:30#"));
    EXPECT_EQ(sim.server->RequestsHandled(), before);
}

// The line going away mid-backup ends the run at once (the reply timeout is
// a minute here), with exit 2 and the step named; the old profile stays.
TEST_F(CliTest, ALineLostMidBackupEndsTheRunAtOnce)
{
    Sim sim;
    WriteFile(File("keep.json"), "old contents");
    std::thread pull([&] {
        if (sim.server->WaitForRequests(3, std::chrono::seconds(20))) sim.server->Stop();
    });
    const Result r = RunTool(sim.Line() << "--timeout"
                                        << "60000"
                                        << "backup" << File("keep.json"));
    pull.join();
    EXPECT_EQ(r.code, kExitPort);
    EXPECT_NE(r.err.find("the serial port " + sim.server->SlavePath() + " was disconnected during the query of"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFile(File("keep.json")), "old contents");
}

// A backup onto a full file system: exit 1 with the system's reason and the
// path, the old profile byte for byte as it was, no temporary file left.
TEST_F(CliTest, ABackupOntoAFullDiskKeepsTheOldProfile)
{
#ifdef __linux__
    const std::filesystem::path small = dir / "small";
    std::filesystem::create_directories(small);
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a 16 KB tmpfs needs root";
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "a 16 KB tmpfs could not be mounted: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{small.string()};

    Sim sim;
    const std::string profile = (small / "p.json").string();
    ASSERT_EQ(RunTool(sim.Line() << "backup" << profile).code, kExitDone);
    const std::string old = ReadFile(profile);
    sim.server->WithModule([](sim::Module& m) { MoveAwayFromDefaults(m); });
    {
        std::ofstream filler(small / "filler", std::ios::binary);
        const std::string block(512, '\0');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {}
    }
    const Result r = RunTool(sim.Line() << "backup" << profile);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find(profile + ": No space left on device"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(profile), old);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(small)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"filler", "p.json"}));
#else
    GTEST_SKIP() << "a small file system is mounted on Linux only";
#endif
}

// A write the module refuses stops the restore there, naming the step;
// nothing after it is sent.
TEST_F(CliTest, RestoreStopsAtARefusedWrite)
{
    Sim sim;
    ASSERT_EQ(RunTool(sim.Line() << "backup" << File("p.json")).code, kExitDone);
    Json p = ReadJson(File("p.json"));
    p["system"]["modbus_slave_address"] = 300;  // the tool's field carries it, the module takes 0 to 247
    p["system"]["rs485b_baud"] = 1200;
    WriteFile(File("p.json"), Text(p));

    const Result r = RunTool(sim.Line() << "restore" << File("p.json"));
    EXPECT_EQ(r.code, kExitMismatch);
    EXPECT_NE(r.err.find("the module refused system modbus_slave_address"), std::string::npos) << r.err;
    EXPECT_EQ(sim.server->WithModule([](sim::Module& m) { return m.system.baudB; }), 3);
}

TEST_F(CliTest, DiffNamesTheDifferingKeys)
{
    Sim sim;
    ASSERT_EQ(RunTool(sim.Line() << "backup" << File("p.json")).code, kExitDone);
    EXPECT_EQ(RunTool(sim.Line() << "diff" << File("p.json")).code, kExitDone);
    sim.server->WithModule([](sim::Module& m) {
        m.system.slaveAddress = 9;
        m.monitorSlots[4] = {true, {0xAB}};
    });
    const Result r = RunTool(sim.Line() << "diff" << File("p.json"));
    EXPECT_EQ(r.code, kExitMismatch);
    EXPECT_EQ(r.out, "monitoring[5].command: module \"AB\", profile \"\"\n"
                     "monitoring[5].enabled: module \"true\", profile \"false\"\n"
                     "system.modbus_slave_address: module \"9\", profile \"1\"\n");
}

// A key set by name reaches the module through the command that carries it.
TEST_F(CliTest, SetKeysReachTheModule)
{
    Sim sim;
    const Result r = RunTool(sim.Line() << "set"
                                        << "system.rs485b_baud=115200"
                                        << "system.rs485b_parity=Even"
                                        << "devices[1].preamble_length=9"
                                        << "monitoring[3].command=76 89 FD AD"
                                        << "coefficients.variable3_coefficient=0.5");
    ASSERT_EQ(r.code, kExitDone) << r.err;
    sim.server->WithModule([](sim::Module& m) {
        EXPECT_EQ(m.system.baudB, 7);
        EXPECT_EQ(m.system.parityB, 2);
        EXPECT_EQ(m.devices[1].preambles, 9);
        EXPECT_EQ(m.monitorSlots[2].bytes, (sim::Bytes{0x76, 0x89, 0xFD, 0xAD}));
        EXPECT_EQ(m.coefficients.others[1], "0.500");
    });
    EXPECT_EQ(RunTool(sim.Line() << "set"
                                 << "devices[5].enabled=Open")
                  .code,
              kExitUsage);
}

TEST_F(CliTest, HartVariablesThroughTheModule)
{
    Sim sim;
    const Result r = RunTool(sim.Line() << "hart"
                                        << "variables");
    ASSERT_EQ(r.code, kExitDone) << r.err;
    const Json o = Json::parse(r.out);
    sim.server->WithModule([&](sim::Module& m) {
        EXPECT_EQ(o["manufacturer_id"], m.hart.manufacturerId);
        ASSERT_EQ(o["variables"].size(), 4u);
        EXPECT_EQ(std::stod(o["variables"][0]["value"].get<std::string>()), m.hart.variables[0].value);
        EXPECT_EQ(o["variables"][0]["unit_code"], m.hart.variables[0].unit);
    });
    // Outside transparent mode nothing passes to the instrument.
    sim.server->WithModule([](sim::Module& m) { m.system.mode = 1; });
    EXPECT_EQ(RunTool(sim.Line() << "hart"
                                 << "identify")
                  .code,
              kExitNoReply);
}

// read and watch decode by the formats the device records name, at the
// slave address of the system group; watch appends CSV rows under a header
// naming register and format, reports a module that falls silent once, once
// more when it answers again, and goes on polling.
TEST_F(CliTest, ReadAndWatchThePublishedValues)
{
    Sim sim;
    sim.server->WithModule([](sim::Module& m) {
        m.system.slaveAddress = 17;
        for (int d = 0; d < sim::kDevices; ++d) m.devices[d].formats = {1, 3, 4, 2, d % 5};
    });
    const Result read = RunTool(sim.Line() << "read"
                                           << "device"
                                           << "2"
                                           << "--json");
    ASSERT_EQ(read.code, kExitDone) << read.err;
    const Json r = Json::parse(read.out);
    EXPECT_EQ(r["slave"], 17);
    std::vector<std::string> formats;
    for (const Json& q : r["devices"][0]["quantities"]) formats.push_back(q["format"]);
    EXPECT_EQ(formats,
              (std::vector<std::string>{"float CDAB", "uint32 CDAB", "abs uint32 CDAB", "uint32 ABCD", "uint32 ABCD"}));
    EXPECT_EQ(r["devices"][0]["quantities"][4]["register"], 40029);

    // Formats and slave given: the registers are the one request sent.
    const size_t requests = sim.server->RequestsHandled();
    const Result given = RunTool(sim.Line() << "read"
                                            << "device"
                                            << "2"
                                            << "--slave"
                                            << "17"
                                            << "--as"
                                            << "float DCBA"
                                            << "--as"
                                            << "variable4=int32 BADC"
                                            << "--json");
    ASSERT_EQ(given.code, kExitDone) << given.err;
    sim.server->WaitForRequests(requests + 2, std::chrono::milliseconds(100));
    EXPECT_EQ(sim.server->RequestsHandled(), requests + 1);
    const Json g = Json::parse(given.out);
    for (int q = 0; q < 5; ++q) {
        EXPECT_EQ(g["devices"][0]["quantities"][q]["raw"], r["devices"][0]["quantities"][q]["raw"]);
        EXPECT_EQ(g["devices"][0]["quantities"][q]["format"], q == 4 ? "int32 BADC" : "float DCBA");
    }

    // A reply the registers cannot be taken from ends the run, naming the device.
    for (const auto& [fault, message] : {std::pair{"exception", "device 2: the module answered with "},
                                         std::pair{"bad crc", "device 2: the reply to the register read: "}}) {
        SCOPED_TRACE(fault);
        sim.Options([f = std::string(fault)](sim::SimOptions& o) {
            o.module.modbusException = f == "exception" ? 2 : 0;
            o.module.modbusBadCrc = f == "bad crc";
        });
        const Result bad = RunTool(sim.Line() << "read"
                                              << "device"
                                              << "2"
                                              << "--slave"
                                              << "17"
                                              << "--as"
                                              << "float ABCD");
        EXPECT_EQ(bad.code, kExitNoReply);
        EXPECT_NE(bad.err.find(message), std::string::npos) << bad.err;
    }
    sim.Options([](sim::SimOptions& o) {
        o.module.modbusException = 0;
        o.module.modbusBadCrc = false;
    });

    const std::string csv = File("values.csv");
    constexpr int kSamples = 30;
    auto rows = [&] {
        std::ifstream f(csv);
        return std::count(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>(), '\n');
    };
    auto waitFor = [](const std::function<bool()>& done) {
        for (int i = 0; i < 1000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    // The line is the main thread's: the module falls silent from another.
    std::thread silence([&] {
        waitFor([&] { return rows() >= 3; });
        const size_t before = sim.server->RequestsHandled();
        sim.Options([](sim::SimOptions& o) { o.line.noReply = true; });
        waitFor([&] { return sim.server->RequestsHandled() >= before + 3; });
        sim.Options([](sim::SimOptions& o) { o.line.noReply = false; });
    });
    const Result watch = RunTool(sim.Line() << "--timeout"
                                            << "100"
                                            << "watch"
                                            << "device"
                                            << "2"
                                            << "--interval"
                                            << "10"
                                            << "--count" << std::to_string(kSamples) << "--csv" << csv);
    silence.join();

    EXPECT_EQ(watch.code, kExitDone) << watch.err;
    auto occurrences = [](const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(occurrences(watch.err, "no reply to the register read of device 2"), 1u) << watch.err;
    EXPECT_EQ(occurrences(watch.err, "the module answers again"), 1u) << watch.err;
    const std::string file = ReadFile(csv);
    EXPECT_TRUE(file.starts_with("time,\"device 2 current (40021, float CDAB)\",\"device 2 variable 1 (40023, "
                                 "uint32 CDAB)\""))
        << file;
    const size_t lines = occurrences(file, "\r\n");
    EXPECT_GE(lines, 4u);
    EXPECT_LE(lines, kSamples - 2u);  // the header and the samples answered: three or more were not
    // Every row holds the values read printed.
    std::string values;
    for (const Json& q : r["devices"][0]["quantities"]) values += "," + q["text"].get<std::string>();
    EXPECT_EQ(occurrences(file, "Z" + values + "\r\n"), lines - 1) << file;
}

// The kernel's terminal list as the port catalogue reads it: only terminals
// with a device, not a UART slot without hardware (port type 0), and a USB
// adapter described by its USB device.
TEST(PortCatalog, SysfsGivesTheSerialLinesAndWhatTheUsbAdaptersAre)
{
#ifndef _WIN32
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("ortiva-sysfs-" + std::to_string(std::random_device{}()));
    auto file = [](const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text << "\n";
    };
    auto tty = [&](const std::string& name, const std::string& device, const std::string& type) {
        const fs::path at = root / "class/tty" / name;
        fs::create_directories(at);
        if (!device.empty()) {
            fs::create_directories(root / device);
            fs::create_directory_symlink(root / device, at / "device");
        }
        if (!type.empty()) file(at / "type", type);
    };
    const std::string usb = "devices/pci0000:00/usb1/1-2";
    file(root / usb / "idVendor", "0403");
    file(root / usb / "product", "FT232R USB UART");
    file(root / usb / "manufacturer", "FTDI");
    file(root / usb / "serial", "A50285BI");
    tty("ttyUSB0", usb + "/1-2:1.0/ttyUSB0", "");
    tty("ttyS0", "devices/pnp0/00:01", "4");
    tty("ttyS1", "devices/platform/serial8250", "0");
    tty("tty0", "", "");

    std::vector<std::string> found;
    for (const PortRecord& r : PresentPortsIn(root.string(), (root / "no-by-id").string()))
        found.push_back(r.path + "|" + r.description + "|" + r.manufacturer + "|" + r.serialNumber + "|" + r.byIdPath);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"/dev/ttyS0||||", "/dev/ttyUSB0|FT232R USB UART|FTDI|A50285BI|"}));
    fs::remove_all(root);
#else
    GTEST_SKIP() << "sysfs is Linux's";
#endif
}

// The key table against the frames the window's builders make of it.
TEST(ProfileKeys, ValuesBecomeTheWindowsFrames)
{
    Sim sim;
    Result r = RunTool(sim.Line() << "query"
                                  << "all");
    ASSERT_EQ(r.code, kExitDone) << r.err;
    const Json base = Json::parse(r.out);
    struct Row {
        const char* assignment;
        const char* step;
        const char* frame;
    } rows[] = {
        {"system.rs232_rs485a_baud=1200", "system RS232/RS485A serial parameters", "QQS#BA1:00#"},
        {"system.rs232_rs485a_parity=Odd", "system RS232/RS485A serial parameters", "QQS#BA1:31#"},
        {"system.working_mode=4_Monitoring data output mode", "system working_mode", "QQS#MD:4#"},
        {"system.modbus_slave_address=247", "system modbus_slave_address", "QQS#ADR:247#"},
        {"system.rs485b_return_time=0 50ms", "system rs485b_return_time", "QQS#XY2:0#"},
        {"system.meter_polling_interval=50", "system meter_polling_interval", "QQS#JTM:050#"},
        {"system.rs485b_base_address=40001", "system rs485b_base_address", "QQS#BADR:40001#"},
        {"devices[2].meter_type=19)Toshiba", "devices[2] HART polling", "QQS#HART2:0,1,19,5,060#"},
        {"devices[0].variable4_format=4 \xE7\xBB\x9D\xE5\xAF\xB9\xE5\x80\xBC  (FF2 FF1 FF4 FF3)",
         "devices[0] output formats", "QQS#DFOT0:00004#"},
        {"devices[4].parsing_variable2_start_address=42", "devices[4] custom parsing format",
         "QQS#MDBS4:8,0000,0420,0000,0000#"},
        {"coefficients.variable1_mode=3 Variable 1 coefficient * 100 rounded to the nearest integer",
         "coefficients variable 1", "QQS#FMW:3,0.001#"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.assignment);
        Json p = base;
        Apply(p, ParseAssignment(row.assignment));
        std::string frame;
        for (const Step& s : RestoreSteps(FromJson(p), 'a'))
            if (s.name == row.step) frame.assign(s.command.bytes.begin(), s.command.bytes.end());
        EXPECT_EQ(frame, row.frame);
    }
}

// The key tables of profile-schema.md against the profile's key table: every
// key of the code documented with its JSON type, and nothing documented that
// the code does not know.
TEST(ProfileKeys, TheSchemaDocumentNamesEveryKeyWithItsType)
{
    auto json_type = [](Kind k) -> std::string {
        switch (k) {
        case Kind::NumberChoice:
        case Kind::Integer: return "number";
        case Kind::Flag: return "true/false";
        case Kind::Choice:
        case Kind::Text:
        case Kind::HexBytes: return "string";
        }
        return "?";
    };
    auto section = [](Group g) -> std::string {
        switch (g) {
        case Group::System: return "system";
        case Group::Coefficients: return "coefficients";
        case Group::Device:
        case Group::Custom: return "devices[N]";
        case Group::Monitoring: return "monitoring[N]";
        }
        return "?";
    };
    std::map<std::string, std::string> code, doc;  // "section key" -> JSON type
    for (const KeyDef& def : KeyTable()) code[section(def.group) + " " + def.name] = json_type(def.kind);

    // A row's first cell holds one or more `key`s; "variableK" stands for
    // variable1 to variable4.
    std::istringstream md(ReadFile(ORTIVA_PROFILE_SCHEMA));
    std::string line, current;
    while (std::getline(md, line)) {
        if (line.rfind("## ", 0) == 0) current = line.substr(3);
        if (line.rfind("| `", 0) != 0) continue;
        const size_t end1 = line.find('|', 1), end2 = line.find('|', end1 + 1);
        const std::string keys = line.substr(1, end1 - 1);
        std::string type = line.substr(end1 + 1, end2 - end1 - 1);
        type.erase(0, type.find_first_not_of(' '));
        type.erase(type.find_last_not_of(' ') + 1);
        for (size_t a = keys.find('`'); a != std::string::npos; a = keys.find('`', keys.find('`', a + 1) + 1)) {
            const std::string key = keys.substr(a + 1, keys.find('`', a + 1) - a - 1);
            const size_t v = key.find("variableK");
            if (v != std::string::npos) {
                for (char n = '1'; n <= '4'; ++n)
                    doc[current + " " + key.substr(0, v + 8) + n + key.substr(v + 9)] = type;
            } else {
                doc[current + " " + key] = type;
            }
        }
    }
    for (const auto& [key, type] : code) {
        auto it = doc.find(key);
        if (it == doc.end())
            ADD_FAILURE() << key << " (" << type << ") is not in profile-schema.md";
        else
            EXPECT_EQ(it->second, type) << key;
    }
    for (const auto& [key, type] : doc)
        EXPECT_TRUE(code.count(key)) << key << " is in profile-schema.md but not in the key table";
}

}  // namespace
}  // namespace ortiva::cli

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
