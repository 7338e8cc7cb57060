// The menu bar and the File menu's module configurations: save a module to
// a profile, restore a profile onto a module, compare the two. The profile,
// its checks and the plans are ortiva-cli's (profile/); PlanRunner runs
// them over Comm1 while a modal progress dialog shows each step.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "live_values.h"
#include "messages.h"
#include "one_shot_timer.h"
#include "plan_runner.h"
#include "plans.h"
#include "profile.h"
#include "safe_file.h"
#include "tcomm.h"
#include "tform1.h"

#ifndef ORTIVA_VERSION
#define ORTIVA_VERSION "0"
#endif

using namespace ortiva;
using namespace ortiva::profile;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Joined(const std::vector<std::string>& items)
{
    QStringList out;
    for (const std::string& s : items) out << Q(s);
    return out.join(QStringLiteral(", "));
}

// The steps that read `set` into `into`.
std::vector<PlanRunner::Step> ReadSteps(const ReadSet& set, const std::shared_ptr<Profile>& into)
{
    std::vector<PlanRunner::Step> steps;
    for (const ReadStep& r : ReadPlan(set))
        steps.push_back({r.caption, r.command, false,
                         [r, into](const std::vector<uint8_t>& reply) { TakeReply(r, reply, *into); }});
    return steps;
}

QString ValueOf(const Values& values, const std::string& key)
{
    const auto it = values.find(key);
    return it == values.end() ? QStringLiteral("(none)") : Q(Shown(it->second));
}

// "key: module value → file value", one line a key.
QString ChangeLines(const std::vector<std::string>& keys, const Values& module, const Values& file)
{
    QStringList lines;
    for (const std::string& key : keys)
        lines << QStringLiteral("%1: %2 \u2192 %3").arg(Q(key), ValueOf(module, key), ValueOf(file, key));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

void TForm1::BuildMenuBar()
{
    MenuBar = new QMenuBar(this);
    MenuBar->setObjectName(QStringLiteral("MenuBar"));
    const auto add = [this](QMenu* menu, const QString& text, const char* name, const QKeySequence& keys,
                            void (TForm1::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        // Set explicitly: some platforms give the standard keys none.
        if (!keys.isEmpty()) action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);  // the keys work wherever the focus is in the window
        connect(action, &QAction::triggered, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
        return action;
    };
    QMenu* file = MenuBar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    SaveConfigAction = add(file, QStringLiteral("&Save Module Configuration\u2026"), "SaveConfigAction",
                           QKeySequence(Qt::CTRL | Qt::Key_S), &TForm1::SaveModuleConfiguration);
    RestoreConfigAction = add(file, QStringLiteral("&Restore Module Configuration\u2026"), "RestoreConfigAction",
                              QKeySequence(Qt::CTRL | Qt::Key_O), &TForm1::RestoreModuleConfiguration);
    CompareConfigAction = add(file, QStringLiteral("&Compare Module with File\u2026"), "CompareConfigAction", {},
                              &TForm1::CompareModuleWithFile);
    file->addSeparator();
    QuitAction = add(file, QStringLiteral("&Quit"), "QuitAction", QKeySequence(Qt::CTRL | Qt::Key_Q), &TForm1::Quit);

    QMenu* tools = MenuBar->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("ToolsMenu"));
    LiveValuesAction =
        add(tools, QStringLiteral("&Live Values\u2026"), "LiveValuesAction", {}, &TForm1::ShowLiveValues);

    QMenu* help = MenuBar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    AboutAction = add(help, QStringLiteral("&About"), "AboutAction", {}, &TForm1::ShowAbout);
    CliHelpAction = add(help, QStringLiteral("&Command-Line Tool"), "CliHelpAction", {}, &TForm1::ShowCliHelp);

    Runner = new PlanRunner(Comm1, this);
    ChooseProfileFile = [this](bool saving) {
        const QString filter = QStringLiteral("Module configurations (*.json);;All files (*)");
        return saving ? QFileDialog::getSaveFileName(this, QStringLiteral("Save Module Configuration"), {}, filter)
                      : QFileDialog::getOpenFileName(this, QStringLiteral("Module Configuration File"), {}, filter);
    };
}

void TForm1::Quit() { close(); }

bool TForm1::ReadyForPlan()
{
    if (Runner->Busy()) return false;
    if (LiveValues && (LiveValues->Running() || LiveValues->InFlight())) {
        ShowMessage(QStringLiteral("Pause Live Values first."));
        return false;
    }
    if (!Exchange.PortOpen) {
        ShowMessage(QStringLiteral("Open the serial port first."));
        return false;
    }
    // The operator's own exchange is answered first.
    if (Timer2->isEnabled() || Timer3->isEnabled()) {
        ShowMessage(QStringLiteral("An exchange is still in progress. Try again when it has ended."));
        return false;
    }
    return true;
}

void TForm1::RunPlan(const QString& title, std::vector<PlanRunner::Step> steps,
                     std::function<void(const PlanRunner::Outcome&)> finished)
{
    // Modal, and the design's controls disabled beneath it: none of their
    // exchanges can start while a plan has the line.
    auto* dialog = new QProgressDialog(this);
    dialog->setObjectName(QStringLiteral("PlanProgress"));
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setMinimumWidth(360);
    dialog->setRange(0, static_cast<int>(steps.size()));
    dialog->setValue(0);
    // Cancel stops after the step on the line, the dialog stays until then.
    disconnect(dialog, &QProgressDialog::canceled, dialog, &QProgressDialog::cancel);
    connect(dialog, &QProgressDialog::canceled, this, [this, dialog] {
        Runner->Cancel();
        dialog->setLabelText(dialog->labelText() + QStringLiteral("\nStopping after this step\u2026"));
    });
    const auto shown =
        connect(Runner, &PlanRunner::StepStarted, dialog, [dialog](int number, int count, const QString& caption) {
            dialog->setLabelText(QStringLiteral("%1\n%2 of %3").arg(caption).arg(number).arg(count));
            dialog->setValue(number - 1);
        });
    ClientArea->setEnabled(false);
    MenuBar->setEnabled(false);
    dialog->show();
    Runner->Run(std::move(steps), [this, dialog, shown, finished = std::move(finished)](const PlanRunner::Outcome& o) {
        disconnect(shown);
        dialog->hide();
        dialog->deleteLater();
        ClientArea->setEnabled(true);
        MenuBar->setEnabled(true);
        Guarded([&] { finished(o); });
    });
}

void TForm1::ReadModuleThen(const QString& title, const ReadSet& set, std::function<void(const Profile& module)> next)
{
    auto module = std::make_shared<Profile>();
    RunPlan(title, ReadSteps(set, module), [this, set, module, next = std::move(next)](const PlanRunner::Outcome& o) {
        if (o.end == PlanRunner::Outcome::End::Cancelled) {
            ShowInformation(QStringLiteral("Reading the module was cancelled."));
            return;
        }
        if (o.end == PlanRunner::Outcome::End::Failed) {
            ShowErrorReport(o.message);
            return;
        }
        FinishRead(set, *module);
        if (set.header) ModuleFirmware = Q(module->header.firmware);
        next(*module);
    });
}

std::optional<Profile> TForm1::LoadProfileFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowErrorReport(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    try {
        return ParseProfile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    } catch (const Failure& e) {
        ShowErrorReport(QStringLiteral("%1: %2").arg(path, QString::fromStdString(e.what())));
        return std::nullopt;
    }
}

bool TForm1::SaveProfileFile(const QString& path, Profile profile)
{
    profile.header.savedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    profile.header.tool = std::string("ortiva ") + ORTIVA_VERSION;
    try {
        WriteFileWhole(path.toStdString(), ProfileText(profile));
    } catch (const Failure& e) {
        ShowErrorReport(QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

void TForm1::SaveModuleConfiguration()
{
    if (!ReadyForPlan()) return;
    const QString path = ChooseProfileFile(true);
    if (path.isEmpty()) return;
    ReadModuleThen(QStringLiteral("Save Module Configuration"), ReadSet{}, [this, path](const Profile& module) {
        if (SaveProfileFile(path, module))
            ShowInformation(QStringLiteral("The module's configuration was saved to %1.").arg(path));
    });
}

void TForm1::CompareModuleWithFile()
{
    if (!ReadyForPlan()) return;
    const QString path = ChooseProfileFile(false);
    if (path.isEmpty()) return;
    const std::optional<Profile> file = LoadProfileFile(path);
    if (!file) return;
    ReadModuleThen(QStringLiteral("Compare Module with File"), ReadSet{.header = false},
                   [this, path, file](const Profile& module) {
                       const std::vector<std::string> keys = DifferingKeys(module.values, file->values);
                       if (keys.empty()) {
                           ShowInformation(QStringLiteral("The module and %1 are equal.").arg(path));
                           return;
                       }
                       ShowDifferences(path, keys, module.values, file->values);
                   });
}

void TForm1::ShowDifferences(const QString& path, const std::vector<std::string>& keys, const Values& module,
                             const Values& file)
{
    if (CompareResult) CompareResult->close();
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("CompareResult"));
    dialog->setWindowTitle(QStringLiteral("Compare Module with File"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(dialog);
    auto* label = new QLabel(QStringLiteral("%1 setting(s) of the module differ from %2:").arg(keys.size()).arg(path));
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* table = new QTableWidget(static_cast<int>(keys.size()), 3, dialog);
    table->setObjectName(QStringLiteral("CompareTable"));
    table->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Module"), QStringLiteral("File")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    for (int row = 0; row < table->rowCount(); ++row) {
        const std::string& key = keys[static_cast<size_t>(row)];
        table->setItem(row, 0, new QTableWidgetItem(Q(key)));
        table->setItem(row, 1, new QTableWidgetItem(ValueOf(module, key)));
        table->setItem(row, 2, new QTableWidgetItem(ValueOf(file, key)));
    }
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    // Wide enough for the three columns where the screen allows it.
    const int wide = table->horizontalHeader()->length() + table->verticalScrollBar()->sizeHint().width() + 40;
    dialog->resize(std::min(wide, 1000), 420);
    CompareResult = dialog;
    dialog->show();
}

void TForm1::ReopenLineAt(uint32_t baud, int parityIndex)
{
    const QString rate = QString::number(baud);
    const int index = ComboBox11->findText(rate, Qt::MatchExactly);
    ComboBox11->setCurrentIndex(index);
    if (index < 0) ComboBox11->setEditText(rate);
    ComboBox10->setCurrentIndex(parityIndex);
    if (Exchange.PortOpen) Button1Click();  // closes
    Button1Click();                         // opens at the new rate and parity
    if (!Exchange.PortOpen) throw std::runtime_error("the port did not open again at " + rate.toStdString() + " baud");
}

void TForm1::RestoreModuleConfiguration()
{
    if (!ReadyForPlan()) return;
    const QString path = ChooseProfileFile(false);
    if (path.isEmpty()) return;
    const std::optional<Profile> file = LoadProfileFile(path);
    if (!file) return;
    constexpr char kPcSide = 'a';  // the PC on RS232/RS485A, as ortiva-cli's default
    std::vector<Step> writes;
    try {
        writes = RestoreSteps(*file, kPcSide);
    } catch (const Failure& e) {
        ShowErrorReport(QStringLiteral("%1: %2").arg(path, QString::fromStdString(e.what())));
        return;
    }
    const int save = Ask(QStringLiteral("Save the module's configuration before restoring?"), {},
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (save == QMessageBox::Cancel) return;
    QString backup;
    if (save == QMessageBox::Yes) {
        backup = ChooseProfileFile(true);
        if (backup.isEmpty()) return;
    }
    const ReadSet current{.header = !backup.isEmpty()};
    ReadModuleThen(QStringLiteral("Restore Module Configuration"), current, [=, this](const Profile& module) {
        if (!backup.isEmpty() && !SaveProfileFile(backup, module)) return;
        const std::vector<std::string> keys = DifferingKeys(module.values, file->values);
        if (keys.empty()) {
            ShowInformation(
                QStringLiteral("The module already holds the configuration of %1: nothing to write.").arg(path));
            return;
        }
        const int go =
            Ask(QStringLiteral("%1 setting(s) will change. Write %2 to the module?").arg(keys.size()).arg(path),
                ChangeLines(keys, module.values, file->values), QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (go != QMessageBox::Yes) return;
        WriteProfile(*file, writes, kPcSide);
    });
}

void TForm1::WriteProfile(const Profile& file, const std::vector<Step>& writes, char pcSide)
{
    const std::string pcStep = PcSideStepName(pcSide);
    std::vector<PlanRunner::Step> steps;
    steps.reserve(writes.size());
    for (const Step& w : writes)
        steps.push_back({StepCaption(w.name), w.command, true,
                         [this, w, pcStep, pcSide, values = file.values](const std::vector<uint8_t>& ack) {
                             CheckAcknowledgement(w, ack);
                             // The module answers at its new rate from now on.
                             if (w.name == pcStep)
                                 ReopenLineAt(SideBaud(values, pcSide), SideParityIndex(values, pcSide));
                         }});
    RunPlan(QStringLiteral("Restore Module Configuration"), std::move(steps),
            [this, file](const PlanRunner::Outcome& o) {
                const QString written = o.written.empty() ? QStringLiteral("Nothing was written.")
                                                          : QStringLiteral("Written: %1.").arg(Joined(o.written));
                if (o.end == PlanRunner::Outcome::End::Failed) {
                    ShowErrorReport(QStringLiteral("The restore stopped. %1 %2").arg(o.message, written));
                    return;
                }
                if (o.end == PlanRunner::Outcome::End::Cancelled) {
                    ShowInformation(QStringLiteral("The restore was cancelled. %1").arg(written));
                    return;
                }
                ReadModuleThen(
                    QStringLiteral("Restore Module Configuration: reading back"), ReadSet{.header = false},
                    [file](const Profile& back) {
                        const std::vector<std::string> keys = DifferingKeys(back.values, file.values);
                        if (keys.empty())
                            ShowInformation(QStringLiteral("Read back: the module and the file are equal."));
                        else
                            ShowErrorReport(
                                QStringLiteral("Read back: the module differs from the file in %1").arg(Joined(keys)));
                    });
            });
}

void TForm1::ShowLiveValues()
{
    if (!LiveValues) LiveValues = new LiveValuesWindow(this);
    LiveValues->show();
    LiveValues->raise();
    LiveValues->activateWindow();
}

void TForm1::ShowAbout()
{
    const QString firmware =
        ModuleFirmware.isEmpty() ? QStringLiteral("not known yet (read the module first)") : ModuleFirmware;
    ShowInformation(QStringLiteral("Ortiva Parameter Configuration Software\nVersion %1\n\nConnected module's "
                                   "firmware: %2")
                        .arg(QStringLiteral(ORTIVA_VERSION), firmware));
}

void TForm1::ShowCliHelp()
{
    ShowInformation(QStringLiteral(
        "ortiva-cli is the command-line companion of this window, for terminals, scripts and machines without a "
        "display. It sends the same frames over the same serial port: it backs up a module's whole configuration "
        "to a JSON profile (the same file as File \u2192 Save Module Configuration), restores or clones a profile "
        "onto other modules in the same order and verifies it, compares a module with a profile, reads and sets "
        "single values by name, lists the serial ports and talks HART in transparent mode. Run \"ortiva-cli "
        "--help\" for its commands."));
}
