// Page "Monitoring Command": the module's monitoring command slots. Slots 3
// to 6 (and the "Loop Instruction" group) exist with their handlers but are
// created hidden and never shown.
#include <QGridLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "form_build.h"
#include "tform1.h"

using namespace ortiva::build;

namespace {
struct Slot {
    QCheckBox* check;
    QLineEdit* bytes;
    QPushButton* set;
    QPushButton* query;
};

void AddSlot(QGridLayout* g, int row, const Slot& s, bool shown)
{
    s.bytes->setAccessibleName(s.check->text() + QStringLiteral(" command bytes"));
    s.set->setAccessibleDescription(QStringLiteral("Set ") + s.check->text().chopped(1));
    s.query->setAccessibleDescription(QStringLiteral("Query ") + s.check->text().chopped(1));
    g->addWidget(s.check, row, 0);
    g->addWidget(s.bytes, row, 1);
    g->addWidget(s.set, row, 2);
    g->addWidget(s.query, row, 3);
    if (!shown) {
        for (QWidget* w : {static_cast<QWidget*>(s.check), static_cast<QWidget*>(s.bytes), static_cast<QWidget*>(s.set),
                           static_cast<QWidget*>(s.query)})
            w->hide();
    }
}
}  // namespace

void TForm1::BuildMonitoringPage()
{
    QWidget* page = Page(DESIGN(TabSheet10), PageControl1, QStringLiteral("Monitoring Command"));
    // Room for 14 command bytes as hex text.
    const int bytesChars = 44;

    Group(DESIGN(GroupBox9), page, QStringLiteral("Monitoring command"));
    {
        QWidget* b = GroupBox9;
        QGridLayout* g = Grid(b);
        g->setVerticalSpacing(6);
        Check(DESIGN(ONECHECK01), b, QStringLiteral("NO1_Command Number:"));
        Edit(DESIGN(ONECMAD01), b, QString(), bytesChars);
        Button(DESIGN(Button3), b, QStringLiteral("Set"));
        Button(DESIGN(Button8), b, QStringLiteral("Query"));
        Check(DESIGN(ONECHECK02), b, QStringLiteral("NO2_Command Number:"));
        Edit(DESIGN(ONECMAD02), b, QString(), bytesChars);
        Button(DESIGN(Button25), b, QStringLiteral("Set"));
        Button(DESIGN(Button11), b, QStringLiteral("Query"));
        Check(DESIGN(ONECHECK03), b, QStringLiteral("NO3_Command Number:"));
        Edit(DESIGN(ONECMAD03), b, QString(), bytesChars);
        Button(DESIGN(Button35), b, QStringLiteral("Set"));
        Button(DESIGN(Button41), b, QStringLiteral("Query"));
        Check(DESIGN(ONECHECK04), b, QStringLiteral("NO4_Command Number:"));
        Edit(DESIGN(ONECMAD04), b, QString(), bytesChars);
        Button(DESIGN(Button42), b, QStringLiteral("Set"));
        Button(DESIGN(Button43), b, QStringLiteral("Query"));
        AddSlot(g, 0, {ONECHECK01, ONECMAD01, Button3, Button8}, true);
        AddSlot(g, 1, {ONECHECK02, ONECMAD02, Button25, Button11}, true);
        AddSlot(g, 2, {ONECHECK03, ONECMAD03, Button35, Button41}, false);
        AddSlot(g, 3, {ONECHECK04, ONECMAD04, Button42, Button43}, false);
        g->setColumnStretch(4, 1);
    }

    Group(DESIGN(GroupBox22), page, QStringLiteral("Loop Instruction"));
    {
        QWidget* b = GroupBox22;
        QGridLayout* g = Grid(b);
        Check(DESIGN(RUNCHEAK1), b, QStringLiteral("NO1_Command Number:"));
        Edit(DESIGN(RUNCAMD1), b, QString(), bytesChars);
        Button(DESIGN(Button68), b, QStringLiteral("Set"));
        Button(DESIGN(Button69), b, QStringLiteral("Query"));
        Check(DESIGN(RUNCHEAK2), b, QStringLiteral("NO2_Command Number:"));
        Edit(DESIGN(RUNCAMD2), b, QString(), bytesChars);
        Button(DESIGN(Button72), b, QStringLiteral("Set"));
        Button(DESIGN(Button73), b, QStringLiteral("Query"));
        AddSlot(g, 0, {RUNCHEAK1, RUNCAMD1, Button68, Button69}, false);
        AddSlot(g, 1, {RUNCHEAK2, RUNCAMD2, Button72, Button73}, false);
        g->setColumnStretch(4, 1);
        GroupBox22->hide();
    }

    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(8, 8, 8, 8);
    pageLayout->setSpacing(8);
    pageLayout->addWidget(GroupBox9);
    pageLayout->addWidget(GroupBox22);
    pageLayout->addStretch(1);
}
