// Link control and the exchange engine: open/close, the two system queries, the receive path and the timers.
#include "tform1.h"

void TForm1::Button1Click() {}

void TForm1::Button6Click() {}

void TForm1::Button23Click() {}

void TForm1::Edit14Change() {}

void TForm1::Comm1ReceiveData(QObject*, const void*, uint16_t) {}

void TForm1::Timer2Timer() {}

void TForm1::Timer3Timer() {}

void TForm1::Timer4Timer() {}
