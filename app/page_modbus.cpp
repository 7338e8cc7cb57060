// Page "MODBUS Parameter Configuration": the selected device's parameters on
// top; below, custom HART parsing, the diagnostic tools (MODBUS test and IEEE
// 754 calculator) and the module-wide settings (mode and coefficients).
#include <QGridLayout>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "choice_lists.h"
#include "form_build.h"
#include "tform1.h"

using namespace ortiva::build;

namespace {
QStringList Formats(size_t list)  // FAMOUT1, FAMOUT3, then the other three
{
    return Items(std::span(ortiva::kOutputFormatItems).first(static_cast<size_t>(ortiva::kOutputFormatCounts[list])));
}
}  // namespace

void TForm1::BuildModbusPage()
{
    QWidget* page = Page(DESIGN(TabSheet3), PageControl1, QStringLiteral("MODBUS Parameter Configuration"));
    // Lists that several fields share, built once per window.
    const QStringList otherFormats = Formats(2);
    const QStringList openFlags = Items(ortiva::kOpenFlagItems);

    // ---- The selected device: polling parameters, register map, formats.
    Group(DESIGN(GroupBox3), page, QString());
    {
        QWidget* b = GroupBox3;
        Label(DESIGN(Label38), b, QStringLiteral("Meter ID:"));
        List(DESIGN(ComboBox41), b, Items({"Device 0", "Device 1", "Device 2", "Device 3", "Device 4"}), 0, 0);
        Label(DESIGN(Label15), b, QStringLiteral("Enabled:"));
        List(DESIGN(ComboBox6), b, Items(ortiva::kDeviceEnabledItems), 0, 0);
        Label(DESIGN(Label63), b, QStringLiteral("Device Mode:"));
        List(DESIGN(ComboBox16), b, Items(ortiva::kDeviceModeItems), 0, 0);
        Label(DESIGN(Label64), b, QStringLiteral("Meter Type:"));
        List(DESIGN(ComboBox17), b, Items(ortiva::kMeterTypeItems), 0, 0);
        Label(DESIGN(Label48), b, QStringLiteral("Preamble Lengh:"));
        List(DESIGN(ComboBox34), b, Items(ortiva::kPreambleLengthItems), 0, 0);
        Label(DESIGN(Label58), b, QStringLiteral("Buffer Clear Time:"));
        Edit(DESIGN(Edit1), b, QStringLiteral("060"), 4);
        Label(DESIGN(Label59), b, QStringLiteral("S"));
        Button(DESIGN(Button10), b, QStringLiteral("Set"));
        Buddy(Label38, ComboBox41);
        Buddy(Label15, ComboBox6);
        Buddy(Label63, ComboBox16);
        Buddy(Label64, ComboBox17);
        Buddy(Label48, ComboBox34);
        Buddy(Label58, Edit1);
        Describe(Button10, QStringLiteral("Set the device's HART polling parameters"));

        auto* polling = new QHBoxLayout;
        polling->setSpacing(5);
        const std::pair<QLabel*, QWidget*> pairs[] = {{Label38, ComboBox41}, {Label15, ComboBox6},
                                                      {Label63, ComboBox16}, {Label64, ComboBox17},
                                                      {Label48, ComboBox34}, {Label58, Edit1}};
        bool first = true;
        for (const auto& [label, field] : pairs) {
            if (!first) polling->addSpacing(4);
            first = false;
            polling->addWidget(label);
            polling->addWidget(field);
        }
        polling->addWidget(Label59);
        polling->addStretch(1);
        polling->addWidget(Button10);

        // Register map: five columns, each a caption with its register
        // address, the format list and the last value read.
        Label(DESIGN(Label68), b, QStringLiteral("current(RTU_ADR)"));
        Label(DESIGN(Label19), b, QStringLiteral("40001:"));
        Label(DESIGN(Label69), b, QStringLiteral("Variable_1(RTU_ADR)"));
        Label(DESIGN(Label24), b, QStringLiteral("40003:"));
        Label(DESIGN(Label70), b, QStringLiteral("Variable_2(RTU_ADR)"));
        Label(DESIGN(Label27), b, QStringLiteral("40005:"));
        Label(DESIGN(Label71), b, QStringLiteral("Variable_3(RTU_ADR)"));
        Label(DESIGN(Label28), b, QStringLiteral("40007:"));
        Label(DESIGN(Label72), b, QStringLiteral("Variable_4(RTU_ADR)"));
        Label(DESIGN(Label29), b, QStringLiteral("40009:"));
        List(DESIGN(FAMOUT1), b, Formats(0), 0, 0);
        List(DESIGN(FAMOUT3), b, Formats(1), 0, 0);
        List(DESIGN(FAMOUT5), b, otherFormats, 0, 0);
        List(DESIGN(FAMOUT7), b, otherFormats, 0, 0);
        List(DESIGN(FAMOUT9), b, otherFormats, 0, 0);
        Button(DESIGN(Button21), b, QStringLiteral("Set"));
        Describe(Button21, QStringLiteral("Set the device's output formats"));
        Label(DESIGN(HLabel1), b, QStringLiteral("00000"));
        Label(DESIGN(HLabel2), b, QStringLiteral("00000"));
        Label(DESIGN(HLabel3), b, QStringLiteral("00000"));
        Label(DESIGN(HLabel4), b, QStringLiteral("00000"));
        Label(DESIGN(HLabel5), b, QStringLiteral("00000"));

        struct Column {
            QLabel* caption;
            QLabel* address;
            QComboBox* format;
            QLabel* value;
        };
        const Column columns[] = {{Label68, Label19, FAMOUT1, HLabel1},
                                  {Label69, Label24, FAMOUT3, HLabel2},
                                  {Label70, Label27, FAMOUT5, HLabel3},
                                  {Label71, Label28, FAMOUT7, HLabel4},
                                  {Label72, Label29, FAMOUT9, HLabel5}};
        auto* map = new QGridLayout;
        map->setHorizontalSpacing(8);
        map->setVerticalSpacing(2);
        int c = 0;
        for (const Column& col : columns) {
            auto* heading = new QHBoxLayout;
            heading->setSpacing(4);
            heading->addWidget(col.caption);
            heading->addWidget(col.address);
            heading->addStretch(1);
            map->addLayout(heading, 0, c);
            map->addWidget(col.format, 1, c);
            map->addWidget(col.value, 2, c);
            col.format->setAccessibleName(col.caption->text() + QStringLiteral(" output format"));
            map->setColumnStretch(c, 1);
            ++c;
        }
        map->addWidget(Button21, 1, c);

        auto* v = new QVBoxLayout(b);
        v->setContentsMargins(8, 6, 8, 4);
        v->setSpacing(4);
        v->addLayout(polling);
        v->addLayout(map);
    }

    // ---- Custom HART command parsing (shown for meter type 0 only).
    Group(DESIGN(GroupBox13), page, QStringLiteral("Custom HART Command Parsing"));
    {
        QWidget* b = GroupBox13;
        QGridLayout* g = Grid(b);
        Label(DESIGN(Label9), b, QStringLiteral("Read Meter Command 1:"));
        List(DESIGN(ComboBox28), b, openFlags, 0, 0);
        Edit(DESIGN(Edit4), b, QString(), 0);
        Button(DESIGN(Button17), b, QStringLiteral("Set"));
        Label(DESIGN(Label10), b, QStringLiteral("Read Meter Command 2:"));
        List(DESIGN(ComboBox29), b, openFlags, 0, 0);
        Edit(DESIGN(Edit5), b, QString(), 0);
        Button(DESIGN(Button18), b, QStringLiteral("Set"));
        Buddy(Label9, Edit4);
        Buddy(Label10, Edit5);
        ComboBox28->setAccessibleName(QStringLiteral("Read Meter Command 1 open"));
        ComboBox29->setAccessibleName(QStringLiteral("Read Meter Command 2 open"));
        Describe(Button17, QStringLiteral("Set read meter command 1"));
        Describe(Button18, QStringLiteral("Set read meter command 2"));
        g->addWidget(Label9, 0, 0);
        g->addWidget(ComboBox28, 0, 1);
        g->addWidget(Edit4, 0, 2);
        g->addWidget(Button17, 0, 3);
        g->addWidget(Label10, 1, 0);
        g->addWidget(ComboBox29, 1, 1);
        g->addWidget(Edit5, 1, 2);
        g->addWidget(Button18, 1, 3);
        g->setColumnStretch(2, 1);

        Group(DESIGN(GroupBox16), b, QStringLiteral("Custom HART Data Parsing Format"));
        QGridLayout* f = Grid(GroupBox16);
        f->setVerticalSpacing(3);
        Label(DESIGN(Label23), GroupBox16, QStringLiteral("Command Number"));
        Label(DESIGN(Label20), GroupBox16, QStringLiteral("Start Adr"));
        Label(DESIGN(Label21), GroupBox16, QStringLiteral("Data Length"));
        f->addWidget(Label23, 0, 1);
        f->addWidget(Label20, 0, 2);
        f->addWidget(Label21, 0, 3);
        struct Row {
            QLabel** label;
            const char* labelName;
            const char* text;
            QComboBox** command;
            const char* commandName;
            QLineEdit** start;
            const char* startName;
            QComboBox** length;
            const char* lengthName;
        };
        const Row rows[] = {
            {&Label85, "Label85", "Variable_1:", &RADCOM1, "RADCOM1", &READADR1, "READADR1", &READLG1, "READLG1"},
            {&Label84, "Label84", "Variable_2:", &RADCOM3, "RADCOM3", &READADR3, "READADR3", &READLG3, "READLG3"},
            {&Label53, "Label53", "Variable_3:", &RADCOM5, "RADCOM5", &READADR5, "READADR5", &READLG5, "READLG5"},
            {&Label22, "Label22", "Variable_4:", &RADCOM7, "RADCOM7", &READADR7, "READADR7", &READLG7, "READLG7"},
        };
        int r = 1;
        for (const Row& row : rows) {
            QLabel* label = Label(*row.label, row.labelName, GroupBox16, QString::fromLatin1(row.text));
            QComboBox* command =
                List(*row.command, row.commandName, GroupBox16, Items(ortiva::kParsingCommandItems), 0, 0);
            QLineEdit* start = Edit(*row.start, row.startName, GroupBox16, QString(), 3);
            QComboBox* length = List(*row.length, row.lengthName, GroupBox16, Items(ortiva::kDataLengthItems), 0, 0);
            Buddy(label, command);
            start->setAccessibleName(label->text() + QStringLiteral(" start address"));
            length->setAccessibleName(label->text() + QStringLiteral(" data length"));
            f->addWidget(label, r, 0);
            f->addWidget(command, r, 1);
            f->addWidget(start, r, 2);
            f->addWidget(length, r, 3);
            ++r;
        }

        Label(DESIGN(Label33), b, QStringLiteral("Address Bits:"));
        List(DESIGN(ComboBox15), b, Items(ortiva::kAddressBitsItems), 5, 0);
        Button(DESIGN(Button12), b, QStringLiteral("Set"));
        Buddy(Label33, ComboBox15);
        Describe(Button12, QStringLiteral("Set the custom HART data parsing format"));
        // Address bits beside the format grid; the format's Set button at the
        // right edge, under the two Set buttons above it.
        auto* bits = new QGridLayout;
        bits->setHorizontalSpacing(6);
        bits->addWidget(Label33, 0, 0);
        bits->addWidget(ComboBox15, 0, 1);
        bits->setRowStretch(1, 1);
        bits->addWidget(Button12, 2, 0, 1, 2, Qt::AlignRight);
        auto* format = new QHBoxLayout;
        format->setSpacing(10);
        format->addWidget(GroupBox16);
        format->addStretch(1);
        format->addLayout(bits);
        g->addLayout(format, 2, 0, 1, 4);
    }

    // ---- MODBUS RTU communication test.
    Group(DESIGN(GroupBox19), page, QStringLiteral("Modbus Communication Test"));
    {
        QWidget* b = GroupBox19;
        QGridLayout* g = Grid(b);
        Label(DESIGN(Label65), b, QStringLiteral("MODBUS Slave Address:"));
        Edit(DESIGN(Edit18), b, QStringLiteral("001"), 4);
        Label(DESIGN(Label66), b, QStringLiteral("MODBUS Start Address:"));
        Edit(DESIGN(Edit19), b, QStringLiteral("00"), 4);
        Label(DESIGN(Label67), b, QStringLiteral("Read Data Length:"));
        Edit(DESIGN(Edit20), b, QStringLiteral("10"), 4);
        Button(DESIGN(Button4), b, QStringLiteral("MODBUS Comm Test"));
        Buddy(Label65, Edit18);
        Buddy(Label66, Edit19);
        Buddy(Label67, Edit20);
        g->addWidget(Label65, 0, 0);
        g->addWidget(Edit18, 0, 1);
        g->addWidget(Label66, 1, 0);
        g->addWidget(Edit19, 1, 1);
        g->addWidget(Label67, 2, 0);
        g->addWidget(Edit20, 2, 1);
        g->addWidget(Button4, 2, 3);
        g->setColumnStretch(2, 1);
    }

    // ---- Module-wide settings.
    Group(DESIGN(GroupBox11), page, QStringLiteral("Module Operation Mode"));
    {
        QGridLayout* g = Grid(GroupBox11);
        List(DESIGN(ComboBox14), GroupBox11, Items(ortiva::kModuleOperationModeItems), 0, 0);
        Button(DESIGN(Button22), GroupBox11, QStringLiteral("Set"));
        ComboBox14->setAccessibleName(QStringLiteral("Module Operation Mode"));
        Describe(Button22, QStringLiteral("Set the module operation mode"));
        g->addWidget(ComboBox14, 0, 0);
        g->addWidget(Button22, 0, 1);
        g->setColumnStretch(0, 1);
    }
    Group(DESIGN(GroupBox12), page, QStringLiteral("IEE754 calculation"));
    {
        QGridLayout* g = Grid(GroupBox12);
        Label(DESIGN(Label30), GroupBox12, QStringLiteral("Data Format HEX(FF FF FF FF):"));
        Edit(DESIGN(Edit7), GroupBox12, QString(), 12);
        Button(DESIGN(Button13), GroupBox12, QStringLiteral("Calculation"));
        Label(DESIGN(Label31), GroupBox12, QStringLiteral("value:"));
        Edit(DESIGN(Edit22), GroupBox12, QString(), 12);
        Buddy(Label30, Edit7);
        Buddy(Label31, Edit22);
        g->addWidget(Label30, 0, 0, 1, 2);
        g->addWidget(Edit7, 1, 0);
        g->addWidget(Button13, 1, 1);
        g->addWidget(Label31, 2, 0, 1, 2);
        g->addWidget(Edit22, 3, 0);
    }
    Group(DESIGN(GroupBox17), page, QStringLiteral("Variable 1 Coefficient"));
    {
        QGridLayout* g = Grid(GroupBox17);
        // Designed with no selection while reading "0 close"; the window's
        // creation selects it.
        List(DESIGN(ComboBox18), GroupBox17, Items(ortiva::kCoefficientModeItems), -1, 22);
        Label(DESIGN(Label6), GroupBox17, QStringLiteral("Coefficient:"));
        Edit(DESIGN(Beilv), GroupBox17, QStringLiteral("0.001"), 7);
        Button(DESIGN(Button2), GroupBox17, QStringLiteral("Set"));
        ComboBox18->setAccessibleName(QStringLiteral("Variable 1 Coefficient mode"));
        Buddy(Label6, Beilv);
        Describe(Button2, QStringLiteral("Set the variable 1 coefficient"));
        g->addWidget(ComboBox18, 0, 0, 1, 4);
        g->addWidget(Label6, 1, 0);
        g->addWidget(Beilv, 1, 1);
        g->addWidget(Button2, 1, 3);
        g->setColumnStretch(2, 1);
    }
    Group(DESIGN(GroupBox23), page, QString());
    {
        QGridLayout* g = Grid(GroupBox23);
        Label(DESIGN(Label5), GroupBox23, QStringLiteral("variable 2 coefficient"));
        Edit(DESIGN(xishu2), GroupBox23, QStringLiteral("1.000"), 7);
        Label(DESIGN(Label34), GroupBox23, QStringLiteral("variable 3 coefficient"));
        Edit(DESIGN(xishu3), GroupBox23, QStringLiteral("1.000"), 7);
        Label(DESIGN(Label35), GroupBox23, QStringLiteral("variable 4 coefficient"));
        Edit(DESIGN(xishu4), GroupBox23, QStringLiteral("1.000"), 7);
        Button(DESIGN(Button19), GroupBox23, QStringLiteral("Set"));
        Buddy(Label5, xishu2);
        Buddy(Label34, xishu3);
        Buddy(Label35, xishu4);
        Describe(Button19, QStringLiteral("Set the variable 2 to 4 coefficients"));
        g->addWidget(Label5, 0, 0);
        g->addWidget(xishu2, 0, 1);
        g->addWidget(Label34, 1, 0);
        g->addWidget(xishu3, 1, 1);
        g->addWidget(Label35, 2, 0);
        g->addWidget(xishu4, 2, 1);
        g->addWidget(Button19, 2, 3);
        g->setColumnStretch(2, 1);
    }
    Button(DESIGN(Button31), page, QStringLiteral("MODBUS Parameter Query"));

    SameWidth({Button17, Button18, Button12});
    SameWidth({Button22, Button2, Button19});

    // Left: custom parsing of the selected device. Middle: the two
    // diagnostic tools, the MODBUS test above the calculator that reads its
    // values. Right: settings of the module as a whole.
    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addWidget(GroupBox13);
    left->addStretch(1);

    auto* middle = new QVBoxLayout;
    middle->setSpacing(6);
    middle->addWidget(GroupBox19);
    middle->addWidget(GroupBox12);
    middle->addStretch(1);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addWidget(GroupBox11);
    right->addWidget(GroupBox17);
    right->addWidget(GroupBox23);
    right->addStretch(1);
    right->addWidget(Button31, 0, Qt::AlignRight);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(8);
    columns->addLayout(left, 1);
    columns->addLayout(middle);
    columns->addLayout(right);

    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(4, 4, 4, 4);
    pageLayout->setSpacing(6);
    pageLayout->addWidget(GroupBox3);
    pageLayout->addLayout(columns, 1);
}
