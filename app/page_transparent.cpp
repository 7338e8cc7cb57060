// Page "Transparent Mode": HART frames through the module.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "form_build.h"
#include "hart_units.h"
#include "tform1.h"

using namespace ortiva::build;

namespace {
QStringList UnitItems(int slot)
{
    QStringList out;
    for (const std::string& item : ortiva::HartUnitItems(slot)) out << QString::fromStdString(item);
    return out;
}
}  // namespace

void TForm1::BuildTransparentPage()
{
    QWidget* page = Page(DESIGN(TabSheet2), PageControl1, QStringLiteral("Transparent Mode"));

    Group(DESIGN(GroupBox5), page, QString());
    QWidget* box = GroupBox5;

    Label(DESIGN(Label39), box, QStringLiteral("Preamble Length:"));
    Edit(DESIGN(Edit9), box, QStringLiteral("6"), 4);
    Label(DESIGN(Label3), box, QStringLiteral("HART Address:"));
    TypableList(DESIGN(ComboBox30), box, Numbers(0, 15), 0, 3);
    Label(DESIGN(Label49), box, QStringLiteral("HART Command Mode:"));
    // Designed with no selection while reading "Master Mode"; the window's
    // creation selects it.
    TypableList(DESIGN(ComboBox42), box, Items({"Master Mode", "Secondary Master Mode"}), -1, 20);
    ComboBox42->setEditText(QStringLiteral("Master Mode"));
    Buddy(Label39, Edit9);
    Buddy(Label3, ComboBox30);
    Buddy(Label49, ComboBox42);
    auto* settings = new QHBoxLayout;
    settings->setSpacing(6);
    settings->addWidget(Label39);
    settings->addWidget(Edit9);
    settings->addSpacing(20);
    settings->addWidget(Label3);
    settings->addWidget(ComboBox30);
    settings->addSpacing(20);
    settings->addWidget(Label49);
    settings->addWidget(ComboBox42);
    settings->addStretch(1);

    Group(DESIGN(GroupBox8), box, QStringLiteral("HART Device Basic Parameters"));
    {
        QGridLayout* g = Grid(GroupBox8);
        Label(DESIGN(Label46), GroupBox8, QStringLiteral("Manufacturing ID:"));
        Edit(DESIGN(Edit28), GroupBox8, QString(), 10);
        Label(DESIGN(Label45), GroupBox8, QStringLiteral("Sensor type:"));
        Edit(DESIGN(Edit29), GroupBox8, QString(), 10);
        Label(DESIGN(Label47), GroupBox8, QStringLiteral("Preamble Byte Count:"));
        Edit(DESIGN(Edit31), GroupBox8, QString(), 10);
        Label(DESIGN(Label44), GroupBox8, QStringLiteral("Sensor Serial Number:"));
        Edit(DESIGN(Edit32), GroupBox8, QString(), 10);
        Button(DESIGN(Button7), GroupBox8, QStringLiteral("HART Device Parameter Query"));
        int row = 0;
        for (auto [label, edit] : {std::pair{Label46, Edit28}, std::pair{Label45, Edit29}, std::pair{Label47, Edit31},
                                   std::pair{Label44, Edit32}}) {
            Buddy(label, edit);
            g->addWidget(label, row, 0);
            g->addWidget(edit, row, 1);
            ++row;
        }
        g->setRowStretch(row++, 1);
        g->addWidget(Button7, row, 0, 1, 2, Qt::AlignRight);
    }

    Group(DESIGN(GroupBox10), box, QStringLiteral("Universal HART Real-Time Data"));
    {
        QGridLayout* g = Grid(GroupBox10);
        Label(DESIGN(Label43), GroupBox10, QStringLiteral("Current_Variable_1:"));
        Edit(DESIGN(Edit25), GroupBox10, QString(), 11);
        Label(DESIGN(Label50), GroupBox10, QStringLiteral("Unit:"));
        List(DESIGN(ComboBox3), GroupBox10, UnitItems(0), -1, 14);
        Label(DESIGN(Label42), GroupBox10, QStringLiteral("Current_Variable_2:"));
        Edit(DESIGN(Edit26), GroupBox10, QString(), 11);
        Label(DESIGN(Label79), GroupBox10, QStringLiteral("Unit:"));
        List(DESIGN(ComboBox31), GroupBox10, UnitItems(1), -1, 14);
        Label(DESIGN(Label78), GroupBox10, QStringLiteral("Current_Variable_3:"));
        Edit(DESIGN(Edit27), GroupBox10, QString(), 11);
        Label(DESIGN(Label80), GroupBox10, QStringLiteral("Unit:"));
        List(DESIGN(ComboBox32), GroupBox10, UnitItems(2), -1, 14);
        Label(DESIGN(Label55), GroupBox10, QStringLiteral("Current_Variable_4:"));
        Edit(DESIGN(Edit30), GroupBox10, QString(), 11);
        Label(DESIGN(Label57), GroupBox10, QStringLiteral("Unit:"));
        List(DESIGN(ComboBox33), GroupBox10, UnitItems(3), -1, 14);
        Button(DESIGN(Button16), GroupBox10, QStringLiteral("HART Command Query"));
        struct Row {
            QLabel* name;
            QLineEdit* value;
            QLabel* unitLabel;
            QComboBox* unit;
        };
        int row = 0;
        for (const Row& r : {Row{Label43, Edit25, Label50, ComboBox3}, Row{Label42, Edit26, Label79, ComboBox31},
                             Row{Label78, Edit27, Label80, ComboBox32}, Row{Label55, Edit30, Label57, ComboBox33}}) {
            Buddy(r.name, r.value);
            Buddy(r.unitLabel, r.unit);
            r.unit->setAccessibleName(r.name->text() + QStringLiteral(" unit"));
            g->addWidget(r.name, row, 0);
            g->addWidget(r.value, row, 1);
            g->addWidget(r.unitLabel, row, 2);
            g->addWidget(r.unit, row, 3);
            ++row;
        }
        g->setRowStretch(row++, 1);
        g->addWidget(Button16, row, 0, 1, 4, Qt::AlignRight);
    }

    Group(DESIGN(GroupBox6), box, QStringLiteral("HART Address Configuration"));
    {
        QGridLayout* g = Grid(GroupBox6);
        Label(DESIGN(Label7), GroupBox6, QStringLiteral("HART Address:"));
        TypableList(DESIGN(ComboBox27), GroupBox6, Numbers(0, 8), 0, 3);
        Button(DESIGN(Button14), GroupBox6, QStringLiteral("Set"));
        Buddy(Label7, ComboBox27);
        Describe(Button14, QStringLiteral("Set the instrument's HART polling address"));
        g->addWidget(Label7, 0, 0);
        g->addWidget(ComboBox27, 0, 1);
        g->addWidget(Button14, 0, 3);
        g->setColumnStretch(2, 1);
        g->setRowStretch(1, 1);
    }

    auto* groups = new QHBoxLayout;
    groups->setSpacing(10);
    groups->addWidget(GroupBox8);
    groups->addWidget(GroupBox10);
    auto* addressColumn = new QVBoxLayout;
    addressColumn->addWidget(GroupBox6);
    addressColumn->addStretch(1);
    groups->addLayout(addressColumn);
    groups->addStretch(1);

    auto* inner = new QVBoxLayout(GroupBox5);
    inner->setContentsMargins(10, 8, 10, 10);
    inner->setSpacing(8);
    inner->addLayout(settings);
    inner->addLayout(groups);

    Group(DESIGN(GroupBox20), page, QString());
    {
        QGridLayout* g = Grid(GroupBox20);
        Label(DESIGN(Label61), GroupBox20, QStringLiteral("Manual HART Command:"));
        Edit(DESIGN(Edit10), GroupBox20, QString(), 0);
        Edit10->setMinimumWidth(Edit10->fontMetrics().horizontalAdvance(QString(48, QLatin1Char('0'))));
        Label(DESIGN(Label13), GroupBox20, QStringLiteral("HEX (76 89 FD AD)"));
        Label(DESIGN(Label62), GroupBox20, QStringLiteral("(Auto Generate Checksum)"));
        Button(DESIGN(Button20), GroupBox20, QStringLiteral("Send"));
        Buddy(Label61, Edit10);
        Edit10->setAccessibleDescription(Label13->text() + QLatin1Char(' ') + Label62->text());
        g->addWidget(Label61, 0, 0);
        g->addWidget(Edit10, 0, 1);
        g->addWidget(Button20, 0, 2);
        auto* hints = new QHBoxLayout;
        hints->addWidget(Label13);
        hints->addStretch(1);
        hints->addWidget(Label62);
        g->addLayout(hints, 1, 1);
        g->setColumnStretch(3, 1);
    }

    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(8, 8, 8, 8);
    pageLayout->setSpacing(8);
    pageLayout->addWidget(GroupBox5);
    pageLayout->addWidget(GroupBox20);
    pageLayout->addStretch(1);
}
