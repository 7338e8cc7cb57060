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
                                   ComboBox17->currentIndex(), ComboBox34->currentIndex(), BytesOfText(Edit1->text())));
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
    SendCommand(Variable1CoefficientCommand(ComboBox18->currentIndex(), BytesOfText(Beilv->text())));
}

void TForm1::Button19Click()
{
    ClearBuffers();
    SendCommand(VariableCoefficientsCommand(BytesOfText(xishu2->text()), BytesOfText(xishu3->text()),
                                            BytesOfText(xishu4->text())));
}

void TForm1::ComboBox17Change() { ApplyMeterTypeChange(Fields, ComboBox17->currentIndex()); }

namespace {

// Read meter command 1 or 2 of the selected device.
void SetReadMeterCommand(TForm1& form, int command, const QComboBox* openFlag, const QLineEdit* bytes)
{
    form.ClearBuffers();
    const ReadMeterCommandResult r = ReadMeterCommand(form.ComboBox41->currentIndex(), command,
                                                      openFlag->currentIndex(), BytesOfText(bytes->text()));
    if (!r.ok()) {
        ShowMessage(r.message);
        return;
    }
    form.SendCommand(r.command);
}

}  // namespace

void TForm1::Button17Click() { SetReadMeterCommand(*this, 1, ComboBox28, Edit4); }

void TForm1::Button18Click() { SetReadMeterCommand(*this, 2, ComboBox29, Edit5); }

void TForm1::Button12Click()
{
    ClearBuffers();
    const std::array<ParsingRow, 4> rows = {{
        {RADCOM1->currentIndex(), BytesOfText(READADR1->text()), READLG1->currentIndex()},
        {RADCOM3->currentIndex(), BytesOfText(READADR3->text()), READLG3->currentIndex()},
        {RADCOM5->currentIndex(), BytesOfText(READADR5->text()), READLG5->currentIndex()},
        {RADCOM7->currentIndex(), BytesOfText(READADR7->text()), READLG7->currentIndex()},
    }};
    SendCommand(ParsingFormatCommand(ComboBox41->currentIndex(), ComboBox15->currentIndex(), rows));
}

void TForm1::Button4Click()
{
    ClearBuffers();
    SendCommand(
        ModbusTestCommand(BytesOfText(Edit18->text()), BytesOfText(Edit19->text()), BytesOfText(Edit20->text())));
}

void TForm1::Button13Click()
{
    // A local calculation: nothing is sent and the exchange is not touched.
    const CalculatorResult r = Calculate(BytesOfText(Edit7->text()), DecimalSeparator());
    if (!r.ok()) {
        ShowMessage(r.message);
        return;
    }
    Edit22->setText(QString::fromStdString(r.value));
}
