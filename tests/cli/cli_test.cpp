// ortiva-cli end to end: the program's commands run in-process against
// simulated modules on pseudo-terminals, plus the key-to-frame mapping.
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli_app.h"
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

Result RunTool(const QStringList& args)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Result r;
    r.code = RunCli(QStringList{"ortiva-cli"} + args, out, err);
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

// A simulated module that answers quickly; the tool ends replies after 20 ms of silence.
struct Sim {
    explicit Sim(bool checkRate = false)
    {
        sim::SimOptions o;
        o.line.frame_gap_ms = 5;
        o.line.delay_ms = 2;
        o.line.check_rate = checkRate;
        server = std::make_unique<sim::SimServer>(o);
        server->Start();
    }
    QStringList Line(const QString& baud = "9600") const
    {
        return {"-p", QString::fromStdString(server->SlavePath()), "-b", baud, "--silence", "20", "--timeout", "1000"};
    }
    void Options(const std::function<void(sim::SimOptions&)>& change)
    {
        sim::SimOptions o = server->Options();
        change(o);
        server->SetOptions(o);
    }
    std::unique_ptr<sim::SimServer> server;
};

QJsonObject ReadJson(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QJsonDocument::fromJson(f.readAll()).object();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Every setting away from its default, the module's own rate included.
void Customise(sim::Module& m)
{
    m.system = {4, 1, 6, 2, 2, 17, 1, 5, 250, 40001, 12345, 0};
    m.coefficients.mode = 2;
    m.coefficients.variable1 = "2.500";
    m.coefficients.others = {"0.010", "3.000", "-1.50"};
    for (int d = 0; d < sim::kDevices; ++d) {
        auto& dev = m.devices[d];
        dev.enabled = d % 2;
        dev.device_mode = 0;
        dev.meter_type = d == 3 ? 7 : 0;
        dev.preambles = 4 + d;
        dev.clear_time = 100 + d;
        dev.formats = {1, 3, 4, 2, d % 5};
        dev.address_bits = 3 + d;
        dev.commands[0] = {true, {0x01, 0x03, static_cast<uint8_t>(d)}};
        dev.commands[1] = {false, {0xFD, 0xAD}};
        for (int r = 0; r < 4; ++r) dev.rules[r] = {(r + d) % 3, 10 * r + d, r % 2};
    }
    for (int s = 0; s < sim::kSlots; ++s) m.monitor_slots[s] = {s % 2 == 0, {0x10, static_cast<uint8_t>(s), 0xFF}};
}

class CliTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString File(const char* name) const { return dir.filePath(name); }
};

// Back up a customised module, restore into one at defaults (which answers
// only at its own rate: the restore ends at the new 19200 baud), back that
// up: the two profiles are the same but for the time of the backup.
TEST_F(CliTest, BackupRestoreBackupGivesTheSameProfile)
{
    Sim a;
    Sim b(/*checkRate=*/true);
    a.server->WithModule([](sim::Module& m) { Customise(m); });

    const Result backup = RunTool(a.Line() << "backup" << File("a.json"));
    ASSERT_EQ(backup.code, kExitDone) << backup.err;
    const Result restore = RunTool(b.Line() << "restore" << File("a.json"));
    ASSERT_EQ(restore.code, kExitDone) << restore.err;
    EXPECT_NE(restore.out.find("equal"), std::string::npos) << restore.out;
    EXPECT_EQ(b.server->WithModule([](sim::Module& m) { return m.system.baud_a; }), 4);

    // At the old rate the module no longer hears the tool.
    EXPECT_EQ(RunTool(b.Line() << "info").code, kExitNoReply);
    const Result again = RunTool(b.Line("19200") << "backup" << File("b.json"));
    ASSERT_EQ(again.code, kExitDone) << again.err;

    QJsonObject pa = ReadJson(File("a.json"));
    QJsonObject pb = ReadJson(File("b.json"));
    EXPECT_EQ(pa["devices"].toArray()[3].toObject()["meter_type"].toString(), "7)Siemens_MASS600");
    EXPECT_FALSE(pa["devices"].toArray()[3].toObject().contains("read_command_1"));
    EXPECT_EQ(pa["devices"].toArray()[2].toObject()["read_command_1"].toString(), "01 03 02");
    for (QJsonObject* p : {&pa, &pb}) {
        QJsonObject h = (*p)["header"].toObject();
        EXPECT_FALSE(h.take("saved_at").toString().isEmpty());
        (*p)["header"] = h;
    }
    EXPECT_EQ(pa, pb);
    EXPECT_EQ(pa["format_version"].toInt(), kProfileFormatVersion);
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
        {"no reply", [](sim::SimOptions& o) { o.line.no_reply = true; }, "no reply to the communication query"},
        {"bad digit", [](sim::SimOptions& o) { o.module.bad_digit = true; }, "the reply to the system parameter query"},
        {"noise, and sections past 255 characters", [](sim::SimOptions& o) {
             o.line.garbage = true;
             o.module.late_sections = true;
         }, "the reply to the query of devices[0] lacks"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        sim.Options([](sim::SimOptions& o) {
            o = sim::SimOptions{};
            o.line.frame_gap_ms = 5;
            o.line.delay_ms = 2;
        });
        sim.Options(row.set);
        const Result r = RunTool(sim.Line() << "backup" << File("keep.json"));
        EXPECT_EQ(r.code, kExitNoReply);
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        QFile f(File("keep.json"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "old contents");
    }
}

// Profiles the tool refuses before sending anything, naming the key.
TEST_F(CliTest, MalformedProfilesAreRefusedBeforeAnythingIsSent)
{
    Sim sim;
    ASSERT_EQ(RunTool(sim.Line() << "backup" << File("good.json")).code, kExitDone);
    const QJsonObject good = ReadJson(File("good.json"));
    const size_t before = sim.server->RequestsHandled();

    auto with = [&](const std::function<void(QJsonObject&)>& change) {
        QJsonObject p = good;
        change(p);
        return QJsonDocument(p).toJson();
    };
    auto device = [](QJsonObject& p, int d, const char* key, QJsonValue v) {
        QJsonArray list = p["devices"].toArray();
        QJsonObject rec = list[d].toObject();
        rec[key] = v;
        list[d] = rec;
        p["devices"] = list;
    };
    struct Row {
        const char* name;
        QByteArray bytes;
        const char* message;
    } rows[] = {
        {"bad JSON", "{\"format_version\": 1,", "not JSON"},
        {"wrong version", with([](QJsonObject& p) { p["format_version"] = 2; }), "format_version: 2 is not 1"},
        {"unknown key", with([](QJsonObject& p) {
             QJsonObject s = p["system"].toObject();
             s["modbus_slave_adress"] = 3;
             p["system"] = s;
         }), "system.modbus_slave_adress: unknown key"},
        {"missing group", with([](QJsonObject& p) { p.remove("monitoring"); }), "monitoring: missing group"},
        {"out of range", with([&](QJsonObject& p) { device(p, 2, "buffer_clear_time", 1000); }),
         "devices[2].buffer_clear_time: 1000 is outside 0 to 999"},
        {"not an item", with([&](QJsonObject& p) { device(p, 4, "preamble_length", 10); }),
         "devices[4].preamble_length: 10 is not one of its items"},
        {"bad command bytes", with([&](QJsonObject& p) { device(p, 1, "read_command_2", "0G 11"); }),
         "devices[1].read_command_2: '0G 11' is refused: Data eeore!"},
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

// A write the module refuses stops the restore there, naming the step;
// nothing after it is sent.
TEST_F(CliTest, RestoreStopsAtARefusedWrite)
{
    Sim sim;
    ASSERT_EQ(RunTool(sim.Line() << "backup" << File("p.json")).code, kExitDone);
    QJsonObject p = ReadJson(File("p.json"));
    QJsonObject system = p["system"].toObject();
    system["modbus_slave_address"] = 300;  // the tool's field carries it, the module takes 0 to 247
    system["rs485b_baud"] = 1200;
    p["system"] = system;
    WriteFile(File("p.json"), QJsonDocument(p).toJson());

    const Result r = RunTool(sim.Line() << "restore" << File("p.json"));
    EXPECT_EQ(r.code, kExitMismatch);
    EXPECT_NE(r.err.find("the module refused system modbus_slave_address"), std::string::npos) << r.err;
    EXPECT_EQ(sim.server->WithModule([](sim::Module& m) { return m.system.baud_b; }), 3);
}

TEST_F(CliTest, DiffNamesTheDifferingKeys)
{
    Sim sim;
    ASSERT_EQ(RunTool(sim.Line() << "backup" << File("p.json")).code, kExitDone);
    EXPECT_EQ(RunTool(sim.Line() << "diff" << File("p.json")).code, kExitDone);
    sim.server->WithModule([](sim::Module& m) {
        m.system.slave_address = 9;
        m.monitor_slots[4] = {true, {0xAB}};
    });
    const Result r = RunTool(sim.Line() << "diff" << File("p.json"));
    EXPECT_EQ(r.code, kExitMismatch);
    EXPECT_EQ(r.out,
              "monitoring[5].command: module \"AB\", profile \"\"\n"
              "monitoring[5].enabled: module \"true\", profile \"false\"\n"
              "system.modbus_slave_address: module \"9\", profile \"1\"\n");
}

// A key set by name reaches the module through the command that carries it.
TEST_F(CliTest, SetKeysReachTheModule)
{
    Sim sim;
    const Result r = RunTool(sim.Line() << "set" << "system.rs485b_baud=115200" << "system.rs485b_parity=Even"
                                    << "devices[1].preamble_length=9" << "monitoring[3].command=76 89 FD AD"
                                    << "coefficients.variable3_coefficient=0.5");
    ASSERT_EQ(r.code, kExitDone) << r.err;
    sim.server->WithModule([](sim::Module& m) {
        EXPECT_EQ(m.system.baud_b, 7);
        EXPECT_EQ(m.system.parity_b, 2);
        EXPECT_EQ(m.devices[1].preambles, 9);
        EXPECT_EQ(m.monitor_slots[2].bytes, (sim::Bytes{0x76, 0x89, 0xFD, 0xAD}));
        EXPECT_EQ(m.coefficients.others[1], "0.500");
    });
    EXPECT_EQ(RunTool(sim.Line() << "set" << "devices[5].enabled=Open").code, kExitUsage);
}

TEST_F(CliTest, HartVariablesThroughTheModule)
{
    Sim sim;
    const Result r = RunTool(sim.Line() << "hart" << "variables");
    ASSERT_EQ(r.code, kExitDone) << r.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    sim.server->WithModule([&](sim::Module& m) {
        EXPECT_EQ(o["manufacturer_id"].toInt(), m.hart.manufacturer_id);
        ASSERT_EQ(o["variables"].toArray().size(), 4);
        EXPECT_EQ(o["variables"].toArray()[0].toObject()["value"].toString().toDouble(), m.hart.variables[0].value);
        EXPECT_EQ(o["variables"].toArray()[0].toObject()["unit_code"].toInt(), m.hart.variables[0].unit);
    });
    // Outside transparent mode nothing passes to the instrument.
    sim.server->WithModule([](sim::Module& m) { m.system.mode = 1; });
    EXPECT_EQ(RunTool(sim.Line() << "hart" << "identify").code, kExitNoReply);
}

// The key table against the frames the window's builders make of it.
TEST(ProfileKeys, ValuesBecomeTheWindowsFrames)
{
    Sim sim;
    Result r = RunTool(sim.Line() << "query" << "all");
    ASSERT_EQ(r.code, kExitDone) << r.err;
    const QJsonObject base = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
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
        QJsonObject p = base;
        Apply(p, ParseAssignment(row.assignment));
        std::string frame;
        for (const Step& s : RestoreSteps(FromJson(p), 'a'))
            if (s.name == row.step) frame.assign(s.command.bytes.begin(), s.command.bytes.end());
        EXPECT_EQ(frame, row.frame);
    }
}

}  // namespace
}  // namespace ortiva::cli

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
