// HART transparent mode: address set, manual command, HART address choice, device and variables queries.
#include "tform1.h"

void TForm1::Button14Click() {}

void TForm1::Button20Click() {}

void TForm1::ComboBox30Change() {}

void TForm1::Button7Click() {}

void TForm1::Button16Click() {}
