// Monitoring command slots: set and query.
#include "tform1.h"

void TForm1::Button3Click() {}

void TForm1::Button25Click() {}

void TForm1::Button35Click() {}

void TForm1::Button42Click() {}

void TForm1::Button68Click() {}

void TForm1::Button72Click() {}

void TForm1::Button8Click() {}

void TForm1::Button11Click() {}

void TForm1::Button41Click() {}

void TForm1::Button43Click() {}

void TForm1::Button69Click() {}

void TForm1::Button73Click() {}
