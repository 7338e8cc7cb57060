// Page "System Parameter": the PC's serial port on top, the module's serial
// settings and board data on the left, its MODBUS settings on the right.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "choice_lists.h"
#include "form_build.h"
#include "tform1.h"

using namespace ortiva::build;

void TForm1::BuildSystemPage()
{
    QWidget* page = Page(DESIGN(TabSheet1), PageControl1, QStringLiteral("System Parameter"));
    // Lists that several fields share, built once per window.
    const QStringList parities = Items(ortiva::kParityItems);
    const QStringList moduleBauds = Items(ortiva::kModuleBaudItems);
    const QStringList returnTimes = Items(ortiva::kReturnTimeItems);

    // The PC's own port; used only when it is opened.
    Group(DESIGN(GroupBox1), page, QStringLiteral("Serial Parameters"));
    {
        auto* row = new QHBoxLayout(GroupBox1);
        row->setContentsMargins(8, 4, 8, 6);
        row->setSpacing(6);
        Label(DESIGN(Label14), GroupBox1, QStringLiteral("Serial Port:"));
        // "COM1" to "COM12" first; the devices present follow, found anew
        // each time the list opens.
        TypableRefreshingList(
            DESIGN(SPREALCOM), GroupBox1,
            Items({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10", "COM11", "COM12"}),
            0, 12)
            ->beforeOpening = [this] { RefreshPortList(); };
        Label(DESIGN(Label26), GroupBox1, QStringLiteral("Baud:"));
        // The PC's own rates; the last is the module's top rate, 115200.
        TypableList(DESIGN(ComboBox11), GroupBox1,
                    Items({"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}), 3, 7);
        Label(DESIGN(Label25), GroupBox1, QStringLiteral("Parity:"));
        TypableList(DESIGN(ComboBox10), GroupBox1, parities, 0, 5);
        Button(DESIGN(Button1), GroupBox1, QStringLiteral("Open"));
        Button(DESIGN(Button6), GroupBox1, QStringLiteral("Communication Query"));
        Buddy(Label14, SPREALCOM);
        Buddy(Label26, ComboBox11);
        Buddy(Label25, ComboBox10);
        Button1->setMinimumWidth(80);
        row->addWidget(Label14);
        row->addWidget(SPREALCOM);
        row->addSpacing(14);
        row->addWidget(Label26);
        row->addWidget(ComboBox11);
        row->addSpacing(14);
        row->addWidget(Label25);
        row->addWidget(ComboBox10);
        row->addSpacing(24);
        row->addWidget(Button1);
        row->addWidget(Button6);
        row->addStretch(1);
    }

    // ---- Left column: the module's serial sides and board data.
    Group(DESIGN(GroupBox4), page, QStringLiteral("RS232 / RS485A Serial Port Parameters"));
    {
        Label(DESIGN(Label17), GroupBox4, QStringLiteral("Baud:"));
        List(DESIGN(ComboBox2), GroupBox4, moduleBauds, 3, 7);
        Label(DESIGN(Label18), GroupBox4, QStringLiteral("Parity:"));
        List(DESIGN(ComboBox4), GroupBox4, parities, 0, 5);
        Button(DESIGN(Button5), GroupBox4, QStringLiteral("Set"));
        Buddy(Label17, ComboBox2);
        Buddy(Label18, ComboBox4);
        Describe(Button5, QStringLiteral("Set the RS232 / RS485A baud rate and parity"));
        SetRow(GroupBox4, {Label17, ComboBox2, Label18, ComboBox4}, Button5);
    }
    Group(DESIGN(GroupBox18), page, QStringLiteral("RS485B Serial Port Parameters"));
    {
        Label(DESIGN(Label54), GroupBox18, QStringLiteral("Baud:"));
        List(DESIGN(ComboBox8), GroupBox18, moduleBauds, 3, 7);
        Label(DESIGN(Label56), GroupBox18, QStringLiteral("Parity:"));
        List(DESIGN(ComboBox9), GroupBox18, parities, 0, 5);
        Button(DESIGN(Button9), GroupBox18, QStringLiteral("Set"));
        Buddy(Label54, ComboBox8);
        Buddy(Label56, ComboBox9);
        Describe(Button9, QStringLiteral("Set the RS485B baud rate and parity"));
        SetRow(GroupBox18, {Label54, ComboBox8, Label56, ComboBox9}, Button9);
    }
    Group(DESIGN(GroupBox14), page, QString());
    {
        Label(DESIGN(Label11), GroupBox14, QStringLiteral("Meter Polling Interval:"));
        Edit(DESIGN(Edit6), GroupBox14, QString(), 5);
        Label(DESIGN(Label12), GroupBox14, QStringLiteral(" *10 ms"));
        Button(DESIGN(Button27), GroupBox14, QStringLiteral("Set"));
        Buddy(Label11, Edit6);
        Describe(Button27, QStringLiteral("Set the meter polling interval"));
        SetRow(GroupBox14, {Label11, Edit6, Label12}, Button27);
    }
    Group(DESIGN(GroupBoxPCBSN), page, QString());
    {
        QFont arial = GroupBoxPCBSN->font();
        arial.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                           QStringLiteral("Helvetica")});
        GroupBoxPCBSN->setFont(arial);
        Label(DESIGN(Label89), GroupBoxPCBSN, QStringLiteral("PCBSN:"));
        Edit(DESIGN(PCBSN), GroupBoxPCBSN, QStringLiteral("00000000"), 10);
        Label(DESIGN(Label94), GroupBoxPCBSN, QStringLiteral("Inspector:"));
        TypableList(DESIGN(JIANZHI), GroupBoxPCBSN,
                    Items({"001", "002", "003", "004", "005", "006", "006", "008", "009", "101", "102", "103", "104"}),
                    0, 4);
        Button(DESIGN(Button60), GroupBoxPCBSN, QStringLiteral("Set"));
        Buddy(Label89, PCBSN);
        Buddy(Label94, JIANZHI);
        Describe(Button60, QStringLiteral("Set the board serial number and inspector"));
        SetRow(GroupBoxPCBSN, {Label89, PCBSN, Label94, JIANZHI}, Button60);
    }
    Group(DESIGN(GroupBox21), page, QString());
    {
        QGridLayout* g = Grid(GroupBox21);
        Label(DESIGN(Label16), GroupBox21,
              QStringLiteral("Check the box when using USB to RS232 interface+RS232 interface to RS485 interface"));
        Label16->setWordWrap(true);
        Check(DESIGN(CheckBox1), GroupBox21, QStringLiteral("COM_RTS"));
        Check(DESIGN(CheckBox2), GroupBox21, QStringLiteral("COM_DTR"));
        g->addWidget(Label16, 0, 0, 1, 3);
        g->addWidget(CheckBox1, 1, 0);
        g->addWidget(CheckBox2, 1, 1);
        g->setColumnStretch(2, 1);
    }

    // ---- Right column: the module's MODBUS side.
    Group(DESIGN(GroupBox7), page, QString());
    {
        Label(DESIGN(Label1), GroupBox7, QStringLiteral("Working Mode:"));
        // Created as designed, showing no selection; the window's creation
        // selects the item it shows.
        List(DESIGN(ComboBox7), GroupBox7, Items(ortiva::kWorkingModeItems), -1, 26);
        Button(DESIGN(Button24), GroupBox7, QStringLiteral("Set"));
        Buddy(Label1, ComboBox7);
        Describe(Button24, QStringLiteral("Set the working mode"));
        SetRow(GroupBox7, {Label1, ComboBox7}, Button24);
    }
    Group(DESIGN(GroupBox15), page, QString());
    {
        Label(DESIGN(Label2), GroupBox15, QStringLiteral("MODBUS_Slave_Adr:"));
        Edit(DESIGN(Edit14), GroupBox15, QStringLiteral("001"), 5);
        Button(DESIGN(Button29), GroupBox15, QStringLiteral("Set"));
        Buddy(Label2, Edit14);
        Describe(Button29, QStringLiteral("Set the MODBUS slave address"));
        SetRow(GroupBox15, {Label2, Edit14}, Button29);
    }
    Group(DESIGN(GroupBox2), page, QString());
    {
        QGridLayout* g = Grid(GroupBox2);
        Label(DESIGN(Label32), GroupBox2, QStringLiteral("RS485A Data Return Time:"));
        List(DESIGN(RS485ADY), GroupBox2, returnTimes, 3, 8);
        Button(DESIGN(Button15), GroupBox2, QStringLiteral("Set"));
        Label(DESIGN(Label4), GroupBox2, QStringLiteral("RS485B Data Return Time:"));
        List(DESIGN(RS485BDY), GroupBox2, returnTimes, 3, 8);
        Button(DESIGN(Button33), GroupBox2, QStringLiteral("Set"));
        Buddy(Label32, RS485ADY);
        Buddy(Label4, RS485BDY);
        Describe(Button15, QStringLiteral("Set the RS485A data return time"));
        Describe(Button33, QStringLiteral("Set the RS485B data return time"));
        AddSetRow(g, 0, {Label32, RS485ADY}, Button15);
        AddSetRow(g, 1, {Label4, RS485BDY}, Button33);
    }
    Group(DESIGN(GroupBox24), page, QString());
    {
        QGridLayout* g = Grid(GroupBox24);
        Label(DESIGN(Label36), GroupBox24, QStringLiteral("RS232/RS485A Data Base Address:"));
        Edit(DESIGN(ABadr), GroupBox24, QStringLiteral("00000"), 7);
        Button(DESIGN(Button28), GroupBox24, QStringLiteral("Set"));
        Label(DESIGN(Label37), GroupBox24, QStringLiteral("RS485B data base Address:"));
        Edit(DESIGN(BBadr), GroupBox24, QStringLiteral("00000"), 7);
        Button(DESIGN(Button32), GroupBox24, QStringLiteral("Set"));
        Buddy(Label36, ABadr);
        Buddy(Label37, BBadr);
        Describe(Button28, QStringLiteral("Set the RS232/RS485A data base address"));
        Describe(Button32, QStringLiteral("Set the RS485B data base address"));
        AddSetRow(g, 0, {Label36, ABadr}, Button28);
        AddSetRow(g, 1, {Label37, BBadr}, Button32);
    }
    Button(DESIGN(Button30), page, QStringLiteral("Parameter Initialization"));
    Button(DESIGN(Button23), page, QStringLiteral("System Parameters"));

    // Labels of a column share one width so the fields line up.
    SameWidth({Label17, Label18, Label54, Label56});
    SameWidth({Label1, Label2, Label32, Label4, Label36, Label37});
    // Set buttons of a column line up at the right edge.
    SameWidth({Button5, Button9, Button27, Button60, Button24, Button29, Button15, Button33, Button28, Button32});

    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    for (QWidget* w :
         {static_cast<QWidget*>(GroupBox4), static_cast<QWidget*>(GroupBox18), static_cast<QWidget*>(GroupBox14),
          static_cast<QWidget*>(GroupBoxPCBSN), static_cast<QWidget*>(GroupBox21)})
        left->addWidget(w);
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    for (QWidget* w : {static_cast<QWidget*>(GroupBox7), static_cast<QWidget*>(GroupBox15),
                       static_cast<QWidget*>(GroupBox2), static_cast<QWidget*>(GroupBox24)})
        right->addWidget(w);
    right->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button30);
    buttons->addWidget(Button23);
    right->addLayout(buttons);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(10);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(8, 8, 8, 8);
    pageLayout->setSpacing(6);
    pageLayout->addWidget(GroupBox1);
    pageLayout->addLayout(columns, 1);
}
