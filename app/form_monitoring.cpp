// Monitoring command slots: set and query of the six slots (3 to 6 are hidden but work).
#include <QCheckBox>
#include <QLineEdit>

#include "messages.h"
#include "monitoring.h"
#include "tform1.h"

using namespace ortiva;

namespace {

void SetSlot(TForm1& form, int slot)
{
    const MonitoringSlotControls& c = MonitoringSlot(slot);
    const auto* check = static_cast<QCheckBox*>(form.Fields.Control(c.checkBox));
    const auto* edit = static_cast<QLineEdit*>(form.Fields.Control(c.edit));
    form.ClearBuffers();
    const MonitoringSetResult r = MonitoringSetCommand(slot, check->isChecked(), BytesOfText(edit->text()));
    if (!r.ok()) {
        ShowMessage(r.message);
        return;
    }
    form.SendCommand(r.command);
}

void QuerySlot(TForm1& form, int slot)
{
    form.ClearBuffers();
    form.SendCommand(MonitoringQueryCommand(slot));
}

}  // namespace

void TForm1::Button3Click() { SetSlot(*this, 1); }
void TForm1::Button25Click() { SetSlot(*this, 2); }
void TForm1::Button35Click() { SetSlot(*this, 3); }
void TForm1::Button42Click() { SetSlot(*this, 4); }
void TForm1::Button68Click() { SetSlot(*this, 5); }
void TForm1::Button72Click() { SetSlot(*this, 6); }

void TForm1::Button8Click() { QuerySlot(*this, 1); }
void TForm1::Button11Click() { QuerySlot(*this, 2); }
void TForm1::Button41Click() { QuerySlot(*this, 3); }
void TForm1::Button43Click() { QuerySlot(*this, 4); }
void TForm1::Button69Click() { QuerySlot(*this, 5); }
void TForm1::Button73Click() { QuerySlot(*this, 6); }
