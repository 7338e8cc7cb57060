// HART transparent mode: address change, typed frames, the device and variables queries.
#include <QComboBox>
#include <QLineEdit>

#include "device_commands.h"
#include "hart_decoders.h"
#include "hart_frames.h"
#include "messages.h"
#include "tcomm.h"
#include "tform1.h"

using namespace ortiva;

namespace {
HartAddressChoice Choice(const QComboBox* box) { return {box->currentIndex(), BytesOfText(box->currentText())}; }
}  // namespace

void TForm1::Button14Click()
{
    Comm1->SetRtsControl(TRtsControl::RtsEnable);
    ClearBuffers();
    SendCommand(
        HartAddressSetCommand(Hart, BytesOfText(Edit9->text()), ComboBox42->currentIndex(), Choice(ComboBox27)));
}

void TForm1::Button20Click()
{
    ClearBuffers();
    const HartManualResult r = HartManualCommand(BytesOfText(Edit10->text()), BytesOfText(Edit9->text()));
    if (!r.ok()) {
        ShowMessage(r.message);
        return;
    }
    SendCommand(r.command);
}

void TForm1::ComboBox30Change()
{
    // Runs on every keystroke in the editable list: text that is not an
    // address yet changes nothing and raises nothing.
    int address = -1;
    try {
        address = HartAddressFromList(Choice(ComboBox30), kHartPollAddressMax, "HART address");
    } catch (const std::exception&) {
        return;
    }
    ApplyHartAddressChoice(Fields, address);
}

void TForm1::Button7Click()
{
    ClearBuffers();
    for (const char* edit : kHartIdentityEdits) Fields.SetText(edit, "");
    SendCommand(
        HartDeviceQueryCommand(Hart, BytesOfText(Edit9->text()), ComboBox42->currentIndex(), Choice(ComboBox30)));
}

void TForm1::Button16Click()
{
    ClearBuffers();
    SendCommand(HartVariablesQueryCommand(Hart, BytesOfText(Edit9->text()), ComboBox42->currentIndex()));
}
