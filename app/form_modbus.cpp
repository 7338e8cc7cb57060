// MODBUS conversion configuration, custom HART parsing, the MODBUS test and the IEEE 754 calculator.
#include "tform1.h"

void TForm1::ComboBox41Change() {}

void TForm1::Button31Click() {}

void TForm1::Button10Click() {}

void TForm1::Button21Click() {}

void TForm1::Button2Click() {}

void TForm1::Button19Click() {}

void TForm1::ComboBox17Change() {}

void TForm1::Button17Click() {}

void TForm1::Button18Click() {}

void TForm1::Button12Click() {}

void TForm1::Button4Click() {}

void TForm1::Button13Click() {}
