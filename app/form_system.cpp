// System parameter set commands, the module operation mode, the board serial number and the header commands.
#include "tform1.h"

void TForm1::Button5Click() {}

void TForm1::Button9Click() {}

void TForm1::Button29Click() {}

void TForm1::Button24Click() {}

void TForm1::Button22Click() {}

void TForm1::Button15Click() {}

void TForm1::Button33Click() {}

void TForm1::Button27Click() {}

void TForm1::Button28Click() {}

void TForm1::Button32Click() {}

void TForm1::Button30Click() {}

void TForm1::Label8DblClick() {}

void TForm1::Label51DblClick() {}

void TForm1::Button60Click() {}
