// The menu bar's actions against simulated modules. File: save one module,
// restore it onto another with a rate change and read back, compare; a
// write the module refuses; a restore cancelled mid-way; ortiva-cli reads
// the window's profile and the window reads ortiva-cli's. Tools: Live
// Values polling while the operator presses the window's own buttons.
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressDialog>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cstdio>

#include "cli_app.h"
#include "live_values.h"
#include "profile.h"
#include "tcomm.h"

#include "bench.h"

using ortiva::sim::SimOptions;
using ortiva::sim::SimServer;
namespace profile = ortiva::profile;

namespace {

constexpr int kPlanWaitMs = 90000;  // a whole read, write and read-back; an upper bound only

int Cli(std::vector<std::string> args)
{
    args.insert(args.begin(), "ortiva-cli");
    std::FILE* sink = std::tmpfile();
    const int code = ortiva::cli::RunCli(args, sink, sink);
    std::fclose(sink);
    return code;
}

// With ORTIVA_SHOTS set (a folder), the screen as the X server shows it.
void Shot(const char* name)
{
    const QString folder = qEnvironmentVariable("ORTIVA_SHOTS");
    if (folder.isEmpty()) return;
    QTest::qWait(400);
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"), QDir(folder).filePath(QLatin1String(name))});
}

QProgressDialog* Progress(const Bench& b)
{
    return b.form->findChild<QProgressDialog*>(QStringLiteral("PlanProgress"));
}

}  // namespace

class MenuEndToEnd : public QObject {
    Q_OBJECT
private slots:
    // The line a test opened is not the next test's start.
    void init() { Bench::ForgetRemembered(); }

    // Save from A, restore onto B (9600 none to A's 19200 odd), compare equal.
    void saveRestoreCompareAcrossModules()
    {
        QTemporaryDir dir;
        SimServer a;
        a.Start();
        a.WithModule(ortiva::sim::MoveAwayFromDefaults);
        SimOptions checked;
        checked.line.checkRate = true;
        Bench b(checked);
        b.form->show();
        const QString saved = dir.filePath(QStringLiteral("a.json"));
        const QString backup = dir.filePath(QStringLiteral("b-before.json"));
        QStringList chosen{saved};
        b.form->ChooseProfileFile = [&](bool) { return chosen.isEmpty() ? QString() : chosen.takeFirst(); };

        if (!qEnvironmentVariableIsEmpty("ORTIVA_SHOTS")) {
            QMenu* file = b.form->findChild<QMenu*>(QStringLiteral("FileMenu"));
            b.form->MenuBar->setActiveAction(file->menuAction());
            Shot("menu-file.png");
            file->close();
        }

        // Save: A's whole configuration into a profile that ortiva-cli reads as A's.
        b.form->SPREALCOM->setEditText(QString::fromStdString(a.SlavePath()));
        b.form->Button1->click();
        QVERIFY(b.form->Exchange.PortOpen);
        QCOMPARE(b.form->SaveConfigAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        b.form->SaveConfigAction->trigger();
        QVERIFY(Progress(b) != nullptr);
        QVERIFY(!b.form->Button23->isEnabled());  // the design's exchanges wait
        QVERIFY(
            b.WaitForMessage(QStringLiteral("The module's configuration was saved to %1.").arg(saved), kPlanWaitMs));
        QVERIFY(b.form->Button23->isEnabled());
        QVERIFY(!b.form->ModuleFirmware.isEmpty());
        b.form->Button1->click();  // A's line for ortiva-cli alone
        QCOMPARE(Cli({"-p", a.SlavePath(), "diff", saved.toStdString()}), 0);
        const QString cliSaved = dir.filePath(QStringLiteral("a-cli.json"));
        QCOMPARE(Cli({"-p", a.SlavePath(), "backup", cliSaved.toStdString()}), 0);

        // Restore onto B at 9600: a backup of B first, the changes confirmed,
        // serial parameters last, the port reopened at 19200 odd, read back.
        QVERIFY(b.Open());
        chosen = {saved, backup};
        b.messages.QueueAnswer(QMessageBox::Yes);  // save B first
        b.messages.QueueAnswer(QMessageBox::Yes);  // write
        b.form->RestoreConfigAction->trigger();
        QVERIFY(b.WaitForMessage(QStringLiteral("Read back: the module and the file are equal."), kPlanWaitMs));
        const auto& asked = b.messages.Messages();
        QCOMPARE(asked[asked.size() - 3].text, QStringLiteral("Save the module's configuration before restoring?"));
        QVERIFY(
            asked[asked.size() - 2].details.contains(QStringLiteral("system.rs232_rs485a_baud: 9600 \u2192 19200")));
        QCOMPARE(b.form->ComboBox11->currentText(), QStringLiteral("19200"));
        QCOMPARE(b.form->ComboBox10->currentIndex(), 1);
        QCOMPARE(b.form->Comm1->BaudRate(), 19200u);
        b.sim.WithModule([](ortiva::sim::Module& m) {
            QCOMPARE(m.system.slaveAddress, 17);
            QCOMPARE(m.devices[4].formats[4], 4);
        });
        // B's own configuration as it was: the defaults.
        QFile before(backup);
        QVERIFY(before.open(QIODevice::ReadOnly));
        QCOMPARE(profile::ParseProfile(before.readAll().toStdString()).values.at("system.modbus_slave_address"),
                 std::string("1"));

        // Compare B with ortiva-cli's backup of A: equal; then with B's old self: a table.
        chosen = {cliSaved};
        b.form->CompareConfigAction->trigger();
        QVERIFY(b.WaitForMessage(QStringLiteral("The module and %1 are equal.").arg(cliSaved), kPlanWaitMs));
        chosen = {backup};
        b.form->CompareConfigAction->trigger();
        Shot("progress.png");
        QVERIFY(Bench::WaitFor([&] { return b.form->CompareResult != nullptr; }, kPlanWaitMs));
        auto* table = b.form->CompareResult->findChild<QTableWidget*>(QStringLiteral("CompareTable"));
        QVERIFY(table->rowCount() > 10);
        QList<QTableWidgetItem*> row =
            table->findItems(QStringLiteral("system.modbus_slave_address"), Qt::MatchExactly);
        QCOMPARE(row.size(), 1);
        QCOMPARE(table->item(row[0]->row(), 1)->text(), QStringLiteral("17"));
        QCOMPARE(table->item(row[0]->row(), 2)->text(), QStringLiteral("1"));
        Shot("compare-table.png");
    }

    // A value the module refuses stops the restore at that step, named;
    // nothing after it is written.
    void refusedWriteStopsAndNamesIt()
    {
        QTemporaryDir dir;
        Bench b;
        QVERIFY(b.Open());
        const QString path = dir.filePath(QStringLiteral("p.json"));
        b.form->ChooseProfileFile = [&](bool) { return path; };
        b.form->SaveConfigAction->trigger();
        QVERIFY(b.WaitForMessage(QStringLiteral("The module's configuration was saved to %1.").arg(path), kPlanWaitMs));
        profile::Profile p = [&] {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return profile::ParseProfile(f.readAll().toStdString());
        }();
        p.values["system.modbus_slave_address"] = "300";  // a profile may hold it, the module refuses it
        p.values["system.rs232_rs485a_baud"] = "19200";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray::fromStdString(profile::ProfileText(p)));
        f.close();

        b.messages.Clear();
        b.messages.QueueAnswer(QMessageBox::No);   // no backup
        b.messages.QueueAnswer(QMessageBox::Yes);  // write
        b.form->RestoreConfigAction->trigger();
        QVERIFY(Bench::WaitFor([&] { return b.messages.Messages().size() == 3; }, kPlanWaitMs));
        const auto& report = b.messages.Messages().back();
        QCOMPARE(report.kind, ortiva::RecordedMessage::Kind::Error);
        QVERIFY2(report.text.startsWith(QStringLiteral("The restore stopped. System: modbus_slave_address: the module "
                                                       "refused system modbus_slave_address")),
                 qPrintable(report.text));
        QVERIFY(report.text.contains(QStringLiteral("Written: Device 0: HART polling")));
        QVERIFY(!report.text.contains(QStringLiteral("serial parameters")));
        b.sim.WithModule([](ortiva::sim::Module& m) { QCOMPARE(m.system.baudA, 3); });
        QCOMPARE(b.form->Comm1->BaudRate(), 9600u);
    }

    // Cancel: the step on the line ends, nothing after it is sent, the
    // message lists what was written; the design's buttons do nothing meanwhile.
    void cancelMidWay()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("c.json"));
        {
            SimServer a;
            a.Start();
            a.WithModule(ortiva::sim::MoveAwayFromDefaults);
            QCOMPARE(Cli({"-p", a.SlavePath(), "backup", path.toStdString()}), 0);
        }
        Bench b;
        QVERIFY(b.Open());
        b.form->ChooseProfileFile = [&](bool) { return path; };
        b.messages.QueueAnswer(QMessageBox::No);
        b.messages.QueueAnswer(QMessageBox::Yes);
        b.form->RestoreConfigAction->trigger();
        QVERIFY(Bench::WaitFor(
            [&] { return Progress(b) && Progress(b)->labelText().startsWith(QLatin1String("Device 1: HART polling")); },
            kPlanWaitMs));
        const QString sent = b.SendBuffer();
        b.form->Button23->click();  // disabled beneath the dialog: nothing goes out
        b.form->Button6->click();
        Progress(b)->findChild<QPushButton*>()->click();
        QVERIFY(Bench::WaitFor(
            [&] { return b.messages.Texts().last().startsWith(QLatin1String("The restore was cancelled.")); },
            kPlanWaitMs));
        const QString text = b.messages.Texts().last();
        QVERIFY2(text.contains(QStringLiteral("Written: Device 0: HART polling, Device 0: output formats")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Device 1: HART polling")));
        QVERIFY(!text.contains(QStringLiteral("System:")));
        QCOMPARE(b.SendBuffer(), sent);
        Bench::Settle(2000);
        b.sim.WithModule([](ortiva::sim::Module& m) {
            QCOMPARE(m.devices[0].preambles, 4);  // written
            QCOMPARE(m.system.slaveAddress, 1);   // never reached
            QCOMPARE(m.system.baudA, 3);
        });
        QVERIFY(!Progress(b) || !Progress(b)->isVisible());
    }

    // Live Values polls while the operator uses the window: the window's
    // frames go first (one that meets a poll on the line waits for its
    // reply), their Receive Buffer shows exactly what it shows without
    // polling, and polling goes on once their exchanges are over.
    void liveValuesShareTheLine()
    {
        QTemporaryDir dir;
        Bench b;
        b.sim.WithModule([](ortiva::sim::Module& m) {
            m.system.slaveAddress = 5;
            m.devices[1].formats = {1, 3, 2, 3, 4};  // float CDAB, uint32 CDAB, uint32 ABCD, uint32 CDAB, abs
            m.devices[1].readings = {12.5f, 1.0f, 1000.0f, 7.0f, -42.0f};
        });
        QVERIFY(b.Open());
        b.form->Edit18->setText(QStringLiteral("5"));
        // What the window's own exchanges show with the line to themselves.
        b.form->Button23->click();
        QVERIFY(b.WaitForRequests(1));
        Bench::Settle();
        const QString systemReply = b.ReceiveBuffer();
        b.form->Button4->click();
        QVERIFY(Bench::WaitFor([&] { return b.ReceiveBuffer().startsWith(QLatin1String("05 03 14 ")); }));
        Bench::Settle();
        const QString modbusReply = b.ReceiveBuffer();

        b.form->LiveValuesAction->trigger();
        ortiva::LiveValuesWindow* live = b.form->LiveValues;
        QVERIFY(live && live->isVisible());
        live->Interval->setValue(100);
        live->StartPause->click();
        const auto cell = [&](int device, int quantity, int column) {
            return live->Table->item(device * 5 + quantity, column)->text();
        };
        QVERIFY(Bench::WaitFor([&] { return cell(1, 4, 4) == QLatin1String("42"); }, 20000));
        QCOMPARE(cell(1, 0, 3), QStringLiteral("float CDAB"));
        QCOMPARE(cell(1, 0, 4), QStringLiteral("12.5"));
        QCOMPARE(cell(1, 2, 4), QStringLiteral("1000"));
        QCOMPARE(cell(1, 0, 2), QStringLiteral("40011"));

        const int pressed[] = {23, 4, 23, 4};
        for (int button : pressed) {
            QVERIFY(Bench::WaitFor([&] { return live->InFlight(); }));  // a poll on the line
            (button == 23 ? b.form->Button23 : b.form->Button4)->click();
            const QString& expected = button == 23 ? systemReply : modbusReply;
            QVERIFY(Bench::WaitFor([&] { return b.ReceiveBuffer() == expected; }));
            QVERIFY(Bench::WaitFor([&] { return !b.form->Timer2->isEnabled() && !b.form->Timer3->isEnabled(); }));
            QCOMPARE(b.ReceiveBuffer(), expected);  // no poll's reply joined it
        }
        QCOMPARE(b.form->Exchange.PendingCode, 302);
        QVERIFY(b.messages.Texts().isEmpty());
        const size_t samples = live->Samples().size();
        QVERIFY(Bench::WaitFor([&] { return live->Samples().size() >= samples + 2; }, 20000));

        const QString csv = dir.filePath(QStringLiteral("live.csv"));
        live->ChooseCsvFile = [&] { return csv; };
        live->ExportCsv->click();
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // The lines of ortiva-cli watch --csv: CR LF, the same header.
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(qsizetype(live->Samples().size()) + 1, lines.size());
        QVERIFY2(lines[0].startsWith(QStringLiteral("time,\"device 0 current (40001, float ABCD)\","
                                                    "\"device 0 variable 1 (40003, float ABCD)\",")),
                 qPrintable(lines[0]));
        QVERIFY(lines[0].contains(QStringLiteral(",\"device 1 current (40011, float CDAB)\",")));
        QVERIFY(lines[0].endsWith(QStringLiteral(",\"device 4 variable 4 (40049, float ABCD)\"")));
        QVERIFY(lines[0].contains(QStringLiteral(",\"device 1 variable 4 (40019, abs uint32 CDAB)\",")));
        const QStringList row = lines.last().split(QLatin1Char(','));
        QCOMPARE(row.size(), 26);
        QVERIFY(QDateTime::fromString(row[0], Qt::ISODateWithMs).timeSpec() == Qt::UTC);
        QCOMPARE(row[6], QStringLiteral("12.5"));
        if (!qEnvironmentVariableIsEmpty("ORTIVA_SHOTS")) {  // a trend that moves, for the picture
            SimOptions moving = b.sim.Options();
            moving.module.moving = true;
            b.sim.SetOptions(moving);
            live->TrendDevice->setCurrentIndex(1);
            live->findChild<QChartView*>()->chart()->legend()->markers()[2]->clicked();  // the large variable 2 hidden
            QTest::qWait(20000);
            Shot("live-values.png");
        }
        live->StartPause->click();
    }
};

QTEST_MAIN(MenuEndToEnd)
#include "menu_e2e_test.moc"
