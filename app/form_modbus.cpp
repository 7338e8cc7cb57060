// MODBUS conversion configuration (device selection, per-device parameters,
// custom HART parsing) and the two diagnostic tools.
#include <QComboBox>
#include <QLineEdit>

#include "device_commands.h"
#include "ieee754_calc.h"
#include "messages.h"
#include "modbus_test.h"
#include "tform1.h"

using namespace ortiva;

namespace {
std::string Latin1(const QString& s) { return s.toLatin1().toStdString(); }
}  // namespace

void TForm1::ComboBox41Change()
{
    if (!Exchange.PortOpen) return;
    const int device = ComboBox41->currentIndex();
    ApplyDeviceSelection(Fields, device);
    ClearBuffers();
    SendCommand(ModbusParamsQueryCommand(device));
}

void TForm1::Button31Click()
{
    ClearBuffers();
    SendCommand(ModbusParamsQueryCommand(ComboBox41->currentIndex()));
}

void TForm1::Button10Click()
{
    ClearBuffers();
    SendCommand(HartPollingCommand(ComboBox41->currentIndex(), ComboBox6->currentIndex(), ComboBox16->currentIndex(),
                                   ComboBox17->currentIndex(), ComboBox34->currentIndex(), Latin1(Edit1->text())));
}

void TForm1::Button21Click()
{
    ClearBuffers();
    SendCommand(OutputFormatsCommand(ComboBox41->currentIndex(),
                                     {FAMOUT1->currentIndex(), FAMOUT3->currentIndex(), FAMOUT5->currentIndex(),
                                      FAMOUT7->currentIndex(), FAMOUT9->currentIndex()}));
}

void TForm1::Button2Click()
{
    ClearBuffers();
    SendCommand(Variable1CoefficientCommand(ComboBox18->currentIndex(), Latin1(Beilv->text())));
}

void TForm1::Button19Click()
{
    ClearBuffers();
    SendCommand(VariableCoefficientsCommand(Latin1(xishu2->text()), Latin1(xishu3->text()), Latin1(xishu4->text())));
}

void TForm1::ComboBox17Change()
{
    ApplyMeterTypeChange(Fields, ComboBox17->currentIndex());
}

void TForm1::Button17Click()
{
    ClearBuffers();
    const ReadMeterCommandResult r =
        ReadMeterCommand(ComboBox41->currentIndex(), 1, ComboBox28->currentIndex(), Latin1(Edit4->text()));
    if (!r.ok()) {
        ShowMessage(r.message);
        return;
    }
    SendCommand(r.command);
}

void TForm1::Button18Click()
{
    ClearBuffers();
    const ReadMeterCommandResult r =
        ReadMeterCommand(ComboBox41->currentIndex(), 2, ComboBox29->currentIndex(), Latin1(Edit5->text()));
    if (!r.ok()) {
        ShowMessage(r.message);
        return;
    }
    SendCommand(r.command);
}

void TForm1::Button12Click()
{
    ClearBuffers();
    const std::array<ParsingRow, 4> rows = {{
        {RADCOM1->currentIndex(), Latin1(READADR1->text()), READLG1->currentIndex()},
        {RADCOM3->currentIndex(), Latin1(READADR3->text()), READLG3->currentIndex()},
        {RADCOM5->currentIndex(), Latin1(READADR5->text()), READLG5->currentIndex()},
        {RADCOM7->currentIndex(), Latin1(READADR7->text()), READLG7->currentIndex()},
    }};
    SendCommand(ParsingFormatCommand(ComboBox41->currentIndex(), ComboBox15->currentIndex(), rows));
}

void TForm1::Button4Click()
{
    ClearBuffers();
    SendCommand(ModbusTestCommand(Latin1(Edit18->text()), Latin1(Edit19->text()), Latin1(Edit20->text())));
}

void TForm1::Button13Click()
{
    // A local calculation: nothing is sent and the exchange is not touched.
    const CalculatorResult r = Calculate(Latin1(Edit7->text()), DecimalSeparator());
    if (!r.ok()) {
        ShowMessage(r.message);
        return;
    }
    Edit22->setText(QString::fromStdString(r.value));
}
