// Link control and the exchange engine: open/close, the two system queries,
// the send sequence, the receive path and the three timers.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

#include <climits>
#include <cmath>
#include <span>

#include "convert.h"
#include "device_decoder.h"
#include "hart_decoders.h"
#include "hex_text.h"
#include "line_memory.h"
#include "live_values.h"
#include "messages.h"
#include "monitoring.h"
#include "one_shot_timer.h"
#include "port_catalog.h"
#include "system_commands.h"
#include "system_decoders.h"
#include "tcomm.h"
#include "tform1.h"

using namespace ortiva;

namespace {

// The PC-side parity from the parity list: its item, or a typed name.
TParity ParityFromList(const QComboBox* box)
{
    switch (box->currentIndex()) {
    case 0: return TParity::None;
    case 1: return TParity::Odd;
    case 2: return TParity::Even;
    default: break;
    }
    const QString typed = box->currentText().trimmed().toLower();
    if (typed == QLatin1String("none") || typed == QLatin1String("n")) return TParity::None;
    if (typed == QLatin1String("odd") || typed == QLatin1String("o")) return TParity::Odd;
    if (typed == QLatin1String("even") || typed == QLatin1String("e")) return TParity::Even;
    throw EInputError("Parity: '" + BytesOfText(box->currentText()) + "' is not None, Odd or Even");
}

}  // namespace

std::string TForm1::DecimalSeparator() { return QLocale::system().decimalPoint().toStdString(); }

void TForm1::ClearBuffers()
{
    Edit8->clear();
    Memo10->clear();
}

void TForm1::SendCommand(const Command& command)
{
    std::string sent;
    if (command.timer == ReplyTimer::None)
        sent.assign(command.bytes.begin(), command.bytes.end());  // built directly, TxFrame is not used
    else
        sent = PlaceInTxFrame(Exchange, command.bytes);
    Edit8->setText(TextOfBytes(command.echo == Echo::Text ? sent : HexText(sent)));
    const auto send = [this, sent, command] {
        // The result is not looked at: on a closed port the bytes are refused and
        // the reply timeout reports the missing answer.
        Comm1->SendData(sent.data(), static_cast<uint16_t>(sent.size()));
        if (command.timer == ReplyTimer::None) return;
        Exchange.PendingCode = command.pendingCode;
        Exchange.TimeoutKind = command.timeoutKind;
        if (command.timer == ReplyTimer::Set3000) Timer3->setInterval(kReplyTimeoutMs);
        Timer3->setEnabled(true);
        if (command.delayedClose) {
            Timer4->setInterval(kDelayedCloseMs);
            Timer4->setEnabled(true);
        }
    };
    // A Live Values poll on the half-duplex line cannot be recalled: the
    // frame goes as soon as its reply (or short timeout) has ended it.
    if (LiveValues && LiveValues->InFlight()) {
        LiveValues->SendAfterExchange(send);
        return;
    }
    send();
}

void TForm1::Button1Click()
{
    if (Exchange.PortOpen) {
        Exchange.PortOpen = false;
        Button1->setText(QStringLiteral("Open"));
        Button6->setEnabled(false);
        Comm1->ClosePort();
        return;
    }
    Comm1->ClosePort();
    Comm1->SetBaudRate(
        static_cast<uint32_t>(StrToIntInRange(BytesOfText(ComboBox11->currentText()), 1, INT_MAX, "Baud rate")));
    Comm1->SetParity(ParityFromList(ComboBox10));
    Comm1->SetCommName(BytesOfText(SPREALCOM->currentText()));
    Comm1->SetOutx_XonXoffFlow(false);
    Comm1->SetInx_XonXoffFlow(false);
    try {
        Comm1->OpenPort();
    } catch (const ECommsError& error) {
        // The error report as always, with what the system said beneath it.
        ShowErrorReport(std::string(error.what()), QString::fromStdString(OpenFailureAdvice(
                                                       DevicePathFor(Comm1->CommName()), error.SystemError())));
        return;
    }
    Comm1->SetDtrControl(CheckBox2->isChecked() ? TDtrControl::DtrEnable : TDtrControl::DtrDisable);
    Comm1->SetRtsControl(CheckBox1->isChecked() ? TRtsControl::RtsEnable : TRtsControl::RtsDisable);
    Exchange.PortOpen = true;
    Button1->setText(QStringLiteral("Close"));
    Button6->setEnabled(true);

    // What opened is what the next start offers; a port that was being
    // watched for is here now.
    SaveRememberedLine({SPREALCOM->currentText(), ComboBox11->currentText(), ComboBox10->currentText(),
                        CheckBox1->isChecked(), CheckBox2->isChecked()});
    PortWatcher->Stop();
    DismissReconnectOffer();
    openedById_ = PortWatch::ByIdNameOf(TextOfBytes(DevicePathFor(Comm1->CommName())));
}

void TForm1::RestoreRememberedLine()
{
    const std::optional<RememberedLine> line = LoadRememberedLine();
    if (!line) return;
    const auto put = [](QComboBox* box, const QString& text) {
        if (text.isEmpty()) return;
        const int index = box->findText(text, Qt::MatchExactly);
        box->setCurrentIndex(index);
        if (index < 0) box->setEditText(text);
    };
    put(SPREALCOM, line->port);
    put(ComboBox11, line->baud);
    put(ComboBox10, line->parity);
    CheckBox1->setChecked(line->rts);
    CheckBox2->setChecked(line->dtr);
}

void TForm1::PortBack(const QString& path)
{
    if (Exchange.PortOpen) return;
    const QString typed = SPREALCOM->currentText();
    // The same device under a new node (an adapter's by-id name moved on):
    // the new node is the one to open.
    const bool moved = TextOfBytes(DevicePathFor(BytesOfText(typed))) != path && !QFileInfo(typed).exists();
    const QString name = moved ? path : typed;
    const auto open = [this, moved, path] {
        if (Exchange.PortOpen) return;
        if (moved) SPREALCOM->setEditText(path);
        Guarded([&] { Button1Click(); });
    };
    if (ReopenAutomatically()) {
        open();
        return;
    }
    if (!QFileInfo::exists(path)) {  // gone again while a message waited
        PortWatcher->Watch(TextOfBytes(DevicePathFor(Comm1->CommName())), openedById_);
        return;
    }
    // A message that waits for the operator (the line lost, say) keeps the
    // offer from being answered: the offer follows once it is closed.
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != ReconnectOffer) {
        connect(
            modal, &QObject::destroyed, this, [this, path] { Guarded([&] { PortBack(path); }); }, Qt::QueuedConnection);
        return;
    }
    DismissReconnectOffer();
    auto* box = new QMessageBox(QMessageBox::Question, QString::fromLatin1(kApplicationTitle),
                                QStringLiteral("The serial port %1 is back. Open it?").arg(name),
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("ReconnectOffer"));
    box->setCheckBox(new QCheckBox(QStringLiteral("Reopen automatically from now on")));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, open](int result) {
        if (ReconnectOffer == box) ReconnectOffer = nullptr;
        if (result != QMessageBox::Yes) return;
        if (box->checkBox()->isChecked()) SetReopenAutomatically(true);
        open();
    });
    ReconnectOffer = box;
    box->show();
}

void TForm1::DismissReconnectOffer()
{
    if (!ReconnectOffer) return;
    QMessageBox* box = ReconnectOffer;
    ReconnectOffer = nullptr;
    box->close();
}

void TForm1::Comm1RequestHangup(TObject*)
{
    if (!Comm1->IsOpen()) return;  // closed already: nothing was lost
    if (Runner) Runner->LineLost(TextOfBytes(Comm1->CommName()));
    Timer3->setEnabled(false);
    Timer4->setEnabled(false);
    Exchange.PortOpen = false;
    Button1->setText(QStringLiteral("Open"));
    Button6->setEnabled(false);
    Comm1->ClosePort();
    // Watched before the message, which waits for the operator: the port may
    // come back meanwhile.
    PortWatcher->Watch(TextOfBytes(DevicePathFor(Comm1->CommName())), openedById_);
    ShowInformation(QStringLiteral("The serial port %1 was disconnected.").arg(TextOfBytes(Comm1->CommName())));
}

void TForm1::RefreshPortList()
{
    constexpr int kFixedItems = 12;  // "COM1" to "COM12"
    QComboBox* box = SPREALCOM;
    const QString text = box->currentText();
    const int index = box->currentIndex();
    const QSignalBlocker quiet(box);
    while (box->count() > kFixedItems) box->removeItem(box->count() - 1);
    for (const PortItem& item : PortListItems(PresentPorts())) {
        box->addItem(QString::fromStdString(item.text));
        box->setItemData(box->count() - 1, QString::fromStdString(item.toolTip), Qt::ToolTipRole);
    }
    // What the operator chose stays chosen, what they typed stays typed.
    const int again = index < 0 ? -1 : index < kFixedItems ? index : box->findText(text, Qt::MatchExactly);
    box->setCurrentIndex(again);
    if (again < 0) box->setEditText(text);
}

void TForm1::Button6Click()
{
    ClearBuffers();
    SendCommand(CommunicationQueryCommand());
}

void TForm1::Button23Click()
{
    ClearBuffers();
    SendCommand(SystemParametersQueryCommand());
}

void TForm1::Edit14Change() { Edit18->setText(Edit14->text()); }

void TForm1::Comm1ReceiveData(TObject*, const void* Buffer, uint16_t BufferLength)
{
    // Live Values or a File menu plan has the line: its replies are its own.
    if (LiveValues && LiveValues->InFlight()) {
        LiveValues->TakeChunk(static_cast<const uint8_t*>(Buffer), BufferLength);
        return;
    }
    if (Runner && Runner->Busy()) {
        Runner->TakeChunk(static_cast<const uint8_t*>(Buffer), BufferLength);
        return;
    }
    // The user interface is held before a chunk is looked at, so that a reply
    // still arriving has time to follow it into the queue.
    const auto holdMs = static_cast<unsigned long>(std::lround(kReceiveHoldMs * OneShotTimer::TimeScale()));
    if (holdMs > 0) QThread::msleep(holdMs);

    StoreChunk(Exchange, std::span<const uint8_t>(static_cast<const uint8_t*>(Buffer), BufferLength));
    const ReceivePlan plan = PlanReceive(Exchange.PendingCode);
    Memo10->setPlainText(TextOfBytes(ReceiveBufferText(Exchange, plan.view)));
    Timer3->setEnabled(false);
    if (plan.startParseTick) Timer2->setEnabled(true);
    if (plan.clearPending) Exchange.PendingCode = 0;
}

void TForm1::Timer2Timer()
{
    Timer2->setEnabled(false);
    const TickPlan plan = PlanTick(Exchange.PendingCode);
    if (plan.clearPending) Exchange.PendingCode = 0;
    if (plan.clearTimeoutKind) Exchange.TimeoutKind = 0;
    if (plan.stopReplyTimer) Timer3->setEnabled(false);
    switch (plan.decoder) {
    case Decoder::None: break;
    case Decoder::HartDevice: DecodeHartIdentityReply(Exchange, Hart, Fields); break;
    case Decoder::HartVariables: DecodeHartVariablesReply(Exchange, Fields, DecimalSeparator()); break;
    case Decoder::CommQuery:
        if (DecodeCommunicationQuery(Exchange.RxText)) {
            for (const char* name : kCommunicationQueryEnables) Fields.Control(name)->setEnabled(true);
            ModuleFirmware = QString::fromStdString(
                profile::FirmwareOfReply(std::vector<uint8_t>(Exchange.RxText.begin(), Exchange.RxText.end())));
        }
        break;
    case Decoder::SystemParams: DecodeSystemParameters(Exchange.RxText, Fields); break;
    case Decoder::ModbusParams: DecodeModbusParamsReply(Exchange.RxText, Fields); break;
    case Decoder::Monitoring: DecodeMonitoringReply(Exchange.RxText, Fields); break;
    }
}

void TForm1::Timer3Timer()
{
    Timer3->setEnabled(false);
    const TimeoutPlan plan = PlanTimeout(Exchange.TimeoutKind);
    if (plan.setLabel68) Label68->setText(TextOfBytes(plan.label68));
    if (!plan.message.empty()) ShowMessage(plan.message);
}

void TForm1::Timer4Timer()
{
    Timer4->setEnabled(false);
    Exchange.PortOpen = false;
    Button1->setText(QStringLiteral("Open"));
    Button6->setEnabled(false);
    Comm1->ClosePort();
}
