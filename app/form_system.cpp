// System parameter set commands, the serial-number command and the two hidden header commands.
#include <QComboBox>
#include <QLineEdit>

#include "system_commands.h"
#include "tform1.h"

using namespace ortiva;

void TForm1::Button5Click()
{
    ClearBuffers();
    SendCommand(SetSerialACommand(ComboBox2->currentIndex(), ComboBox4->currentIndex()));
}

void TForm1::Button9Click()
{
    ClearBuffers();
    SendCommand(SetSerialBCommand(ComboBox8->currentIndex(), ComboBox9->currentIndex()));
}

void TForm1::Button29Click()
{
    ClearBuffers();
    SendCommand(SetSlaveAddressCommand(BytesOfText(Edit14->text())));
}

void TForm1::Button24Click()
{
    ClearBuffers();
    SendCommand(SetModeCommand(ComboBox7->currentIndex()));
}

void TForm1::Button22Click()
{
    ClearBuffers();
    SendCommand(SetModeCommand(ComboBox14->currentIndex()));
}

void TForm1::Button15Click()
{
    ClearBuffers();
    SendCommand(SetReturnTimeACommand(RS485ADY->currentIndex()));
}

void TForm1::Button33Click()
{
    ClearBuffers();
    SendCommand(SetReturnTimeBCommand(RS485BDY->currentIndex()));
}

void TForm1::Button27Click()
{
    ClearBuffers();
    SendCommand(SetPollingIntervalCommand(BytesOfText(Edit6->text())));
}

void TForm1::Button28Click()
{
    ClearBuffers();
    SendCommand(SetBaseAddressACommand(BytesOfText(ABadr->text())));
}

void TForm1::Button32Click()
{
    ClearBuffers();
    SendCommand(SetBaseAddressBCommand(BytesOfText(BBadr->text())));
}

void TForm1::Button30Click()
{
    ClearBuffers();
    SendCommand(ParameterInitializationCommand());
}

void TForm1::Label8DblClick()
{
    ClearBuffers();
    SendCommand(Label8Command());
}

void TForm1::Label51DblClick()
{
    ClearBuffers();
    SendCommand(Label51Command());
}

void TForm1::Button60Click()
{
    // Its own sequence: the buffers keep their text and no reply is awaited.
    SendCommand(SerialNumberCommand(BytesOfText(PCBSN->text()), BytesOfText(JIANZHI->currentText())));
}
