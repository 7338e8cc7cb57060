// The main window after creation: names, captions, item lists, defaults,
// the creation reset, what is hidden, "Clear Buffer", a tidy layout, the
// window on the screen it opens on, keyboard order, and the port list.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>

#include <memory>

#include "messages.h"
#include "one_shot_timer.h"
#include "private_settings.h"
#include "tcomm.h"
#include "tform1.h"

namespace {

// Every control the design names, page by page.
const QStringList kDesignNames = {
    // header, pages, bottom strip
    "Image1", "Label41", "Label77", "Label76", "Label82", "Label52", "Label8", "Label51", "PageControl1", "TabSheet1",
    "TabSheet2", "TabSheet3", "TabSheet10", "TabSheet4", "TabSheet5", "Label40", "Edit8", "Label60", "Memo10",
    "Button26",
    // System Parameter
    "GroupBox1", "Label14", "SPREALCOM", "Label26", "ComboBox11", "Label25", "ComboBox10", "Button1", "Button6",
    "GroupBox4", "Label17", "ComboBox2", "Label18", "ComboBox4", "Button5", "GroupBox18", "Label54", "ComboBox8",
    "Label56", "ComboBox9", "Button9", "GroupBox14", "Label11", "Edit6", "Label12", "Button27", "Label89", "PCBSN",
    "Label94", "JIANZHI", "Button60", "GroupBox21", "Label16", "CheckBox1", "CheckBox2", "GroupBox7", "Label1",
    "ComboBox7", "Button24", "GroupBox15", "Label2", "Edit14", "Button29", "GroupBox2", "Label32", "RS485ADY",
    "Button15", "Label4", "RS485BDY", "Button33", "GroupBox24", "Label36", "ABadr", "Button28", "Label37", "BBadr",
    "Button32", "Button30", "Button23",
    // Transparent Mode
    "GroupBox5", "Label39", "Edit9", "Label3", "ComboBox30", "Label49", "ComboBox42", "GroupBox8", "Label46", "Edit28",
    "Label45", "Edit29", "Label47", "Edit31", "Label44", "Edit32", "Button7", "GroupBox10", "Label43", "Edit25",
    "Label50", "ComboBox3", "Label42", "Edit26", "Label79", "ComboBox31", "Label78", "Edit27", "Label80", "ComboBox32",
    "Label55", "Edit30", "Label57", "ComboBox33", "Button16", "GroupBox6", "Label7", "ComboBox27", "Button14",
    "GroupBox20", "Label61", "Edit10", "Label13", "Label62", "Button20",
    // MODBUS Parameter Configuration
    "GroupBox3", "Label38", "ComboBox41", "Label15", "ComboBox6", "Label63", "ComboBox16", "Label64", "ComboBox17",
    "Label48", "ComboBox34", "Label58", "Edit1", "Label59", "Button10", "Label68", "Label19", "Label69", "Label24",
    "Label70", "Label27", "Label71", "Label28", "Label72", "Label29", "FAMOUT1", "FAMOUT3", "FAMOUT5", "FAMOUT7",
    "FAMOUT9", "Button21", "HLabel1", "HLabel2", "HLabel3", "HLabel4", "HLabel5", "GroupBox13", "Label9", "ComboBox28",
    "Edit4", "Button17", "Label10", "ComboBox29", "Edit5", "Button18", "GroupBox16", "Label23", "Label20", "Label21",
    "Label85", "RADCOM1", "READADR1", "READLG1", "Label84", "RADCOM3", "READADR3", "READLG3", "Label53", "RADCOM5",
    "READADR5", "READLG5", "Label22", "RADCOM7", "READADR7", "READLG7", "Label33", "ComboBox15", "Button12",
    "GroupBox19", "Label65", "Edit18", "Label66", "Edit19", "Label67", "Edit20", "Button4", "GroupBox11", "ComboBox14",
    "Button22", "GroupBox12", "Label30", "Edit7", "Button13", "Label31", "Edit22", "GroupBox17", "ComboBox18", "Label6",
    "Beilv", "Button2", "GroupBox23", "Label5", "xishu2", "Label34", "xishu3", "Label35", "xishu4", "Button19",
    "Button31",
    // Monitoring Command
    "GroupBox9", "ONECHECK01", "ONECMAD01", "Button3", "Button8", "ONECHECK02", "ONECMAD02", "Button25", "Button11",
    "ONECHECK03", "ONECMAD03", "Button35", "Button41", "ONECHECK04", "ONECMAD04", "Button42", "Button43", "GroupBox22",
    "RUNCHEAK1", "RUNCAMD1", "Button68", "Button69", "RUNCHEAK2", "RUNCAMD2", "Button72", "Button73",
    // wiring pages
    "Image2", "Image3"};

// Created hidden and never shown.
const QStringList kHiddenNames = {"ONECHECK03", "ONECMAD03", "Button35", "Button41",  "ONECHECK04",
                                  "ONECMAD04",  "Button42",  "Button43", "GroupBox22"};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> form;
    template <class W>
    W* control(const QString& name)
    {
        W* w = form->findChild<W*>(name);
        if (!w) qFatal("no control %s", qPrintable(name));
        return w;
    }

private slots:
    void init() { form = std::make_unique<TForm1>(); }
    void cleanup() { form.reset(); }

    void everyDesignNameExistsExactlyOnce();
    void windowAndPages();
    void clearedByCreation();
    void listDefaults_data();
    void listDefaults();
    void listsThatShowAnItemHaveItSelected();
    void editAndLabelDefaults_data();
    void editAndLabelDefaults();
    void itemListsKeepTheirOddities();
    void whichListsTakeTypedText();
    void checkBoxesStartUncheckedButtonsEnabled();
    void hiddenSlotsNeverShow();
    void timersExchangeAndPortAtStart();
    void clearBufferKeepsTheSendBuffer();
    void picturesAreShown();
    void themeColours_data();
    void themeColours();
    void layoutIsTidy();
    void fitsTheScreen();
    void tabOrderIsReadingOrder_data();
    void tabOrderIsReadingOrder();
    void portListOffersThePresentDevices();
};

void WindowTest::everyDesignNameExistsExactlyOnce()
{
    for (const QString& name : kDesignNames) {
        const auto found = form->findChildren<QWidget*>(name);
        QVERIFY2(found.size() == 1, qPrintable(QStringLiteral("%1 found %2 times").arg(name).arg(found.size())));
    }
    QCOMPARE(form->Label8->objectName(), QStringLiteral("Label8"));
    QCOMPARE(form->PageControl1->widget(3), form->TabSheet10);
}

void WindowTest::windowAndPages()
{
    QCOMPARE(form->windowTitle(), QStringLiteral("Ortiva"));
    // The design size on a screen with room for it (the registered run has
    // one; placement on other screens: fitsTheScreen).
    if (form->screen()->availableGeometry().width() >= 1200 && form->screen()->availableGeometry().height() >= 700)
        QCOMPARE(form->size(), QSize(1110, 651 + form->MenuBar->sizeHint().height()));  // the menu bar above
    const QStringList captions = {"System Parameter",   "Transparent Mode",   "MODBUS Parameter Configuration",
                                  "Monitoring Command", "2-Wire Instruments", "4-Wire Instruments"};
    const QStringList pages = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet10", "TabSheet4", "TabSheet5"};
    QCOMPARE(form->PageControl1->count(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(form->PageControl1->tabText(i), captions[i]);
        QCOMPARE(form->PageControl1->widget(i)->objectName(), pages[i]);
    }
    QCOMPARE(form->PageControl1->currentIndex(), 0);
}

void WindowTest::clearedByCreation()
{
    // The per-device fields start blank although they have design values.
    for (const char* name :
         {"ComboBox6", "RADCOM1", "RADCOM3", "RADCOM5", "RADCOM7", "READLG1", "READLG3", "READLG5", "READLG7",
          "FAMOUT1", "FAMOUT3", "FAMOUT5", "FAMOUT7", "FAMOUT9", "ComboBox28", "ComboBox29"}) {
        auto* box = control<QComboBox>(name);
        QVERIFY2(box->currentIndex() == -1, name);
        QVERIFY2(box->currentText().isEmpty(), name);
    }
    for (const char* name : {"Edit1", "READADR1", "READADR3", "READADR5", "READADR7", "Edit4", "Edit5"})
        QVERIFY2(control<QLineEdit>(name)->text().isEmpty(), name);
}

void WindowTest::listDefaults_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("SPREALCOM") << "SPREALCOM" << 0 << "COM1" << 12;
    QTest::newRow("ComboBox11") << "ComboBox11" << 3 << "9600" << 8;
    QTest::newRow("ComboBox10") << "ComboBox10" << 0 << "None" << 3;
    QTest::newRow("ComboBox2") << "ComboBox2" << 3 << "9600" << 8;
    QTest::newRow("ComboBox4") << "ComboBox4" << 0 << "None" << 3;
    QTest::newRow("ComboBox8") << "ComboBox8" << 3 << "9600" << 8;
    QTest::newRow("ComboBox9") << "ComboBox9" << 0 << "None" << 3;
    QTest::newRow("RS485ADY") << "RS485ADY" << 3 << "3 300ms" << 6;
    QTest::newRow("RS485BDY") << "RS485BDY" << 3 << "3 300ms" << 6;
    QTest::newRow("JIANZHI") << "JIANZHI" << 0 << "001" << 13;
    QTest::newRow("ComboBox14") << "ComboBox14" << 0 << "0_Transparent Mode" << 3;
    QTest::newRow("ComboBox30") << "ComboBox30" << 0 << "0" << 16;
    QTest::newRow("ComboBox27") << "ComboBox27" << 0 << "0" << 9;
    QTest::newRow("ComboBox41") << "ComboBox41" << 0 << "Device 0" << 5;
    QTest::newRow("ComboBox16") << "ComboBox16" << 0 << "Secondary Master Device" << 2;
    QTest::newRow("ComboBox17") << "ComboBox17" << 0 << "0)Custom Meter" << 20;
    QTest::newRow("ComboBox34") << "ComboBox34" << 0 << "4" << 6;
    QTest::newRow("ComboBox15") << "ComboBox15" << 5 << "8" << 7;
    QTest::newRow("ComboBox6 items") << "ComboBox6" << -1 << "" << 2;
    QTest::newRow("FAMOUT1 items") << "FAMOUT1" << -1 << "" << 2;
    QTest::newRow("FAMOUT3 items") << "FAMOUT3" << -1 << "" << 4;
    QTest::newRow("FAMOUT7 items") << "FAMOUT7" << -1 << "" << 5;
    QTest::newRow("RADCOM5 items") << "RADCOM5" << -1 << "" << 3;
    QTest::newRow("READLG7 items") << "READLG7" << -1 << "" << 2;
    QTest::newRow("ComboBox28 items") << "ComboBox28" << -1 << "" << 2;
}

void WindowTest::listDefaults()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(int, count);
    auto* box = control<QComboBox>(name);
    QCOMPARE(box->currentIndex(), index);
    QCOMPARE(box->currentText(), text);
    QCOMPARE(box->count(), count);
}

void WindowTest::listsThatShowAnItemHaveItSelected()
{
    // Shown and sent agree: no "/" for a list that reads as a valid choice,
    // and the HART master bit for "Master Mode".
    QCOMPARE(form->ComboBox7->currentIndex(), 0);
    QCOMPARE(form->ComboBox7->currentText(), QStringLiteral("0_Transparent Mode"));
    QCOMPARE(form->ComboBox18->currentIndex(), 0);
    QCOMPARE(form->ComboBox18->currentText(), QStringLiteral("0 close"));
    QCOMPARE(form->ComboBox42->currentIndex(), 0);
    QCOMPARE(form->ComboBox42->currentText(), QStringLiteral("Master Mode"));
    QCOMPARE(form->Fields.Index("ComboBox42"), 0);
}

void WindowTest::editAndLabelDefaults_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const QList<QPair<const char*, const char*>> rows = {
        {"Edit14", "001"},
        {"Edit6", ""},
        {"ABadr", "00000"},
        {"BBadr", "00000"},
        {"PCBSN", "00000000"},
        {"Edit9", "6"},
        {"Edit10", ""},
        {"Edit18", "001"},
        {"Edit19", "00"},
        {"Edit20", "10"},
        {"Beilv", "0.001"},
        {"xishu2", "1.000"},
        {"xishu3", "1.000"},
        {"xishu4", "1.000"},
        {"Edit7", ""},
        {"Edit22", ""},
        {"Edit8", ""},
        {"Edit28", ""},
        {"Edit25", ""},
        {"ONECMAD01", ""},
        {"RUNCAMD2", ""},
        // labels
        {"Label77", "V6.0(Aug 20. 2024)"},
        {"Label12", " *10 ms"},
        {"Label48", "Preamble Lengh:"},
        {"Label68", "current(RTU_ADR)"},
        {"Label19", "40001:"},
        {"Label24", "40003:"},
        {"Label27", "40005:"},
        {"Label28", "40007:"},
        {"Label29", "40009:"},
        {"HLabel1", "00000"},
        {"HLabel5", "00000"},
        {"Label8", ""},
        {"Label51", ""},
        {"Label13", "HEX (76 89 FD AD)"},
        {"Label16", "Check the box when using USB to RS232 interface+RS232 interface to RS485 interface"}};
    for (const auto& [name, text] : rows) QTest::newRow(name) << name << text;
}

void WindowTest::editAndLabelDefaults()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget* w = control<QWidget>(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        QCOMPARE(edit->text(), text);
    else
        QCOMPARE(qobject_cast<QLabel*>(w)->text(), text);
}

void WindowTest::itemListsKeepTheirOddities()
{
    QCOMPARE(form->ComboBox11->itemText(7), QStringLiteral("115200"));  // the PC side matches the module's top rate
    QCOMPARE(form->ComboBox2->itemText(7), QStringLiteral("115200"));
    QCOMPARE(form->JIANZHI->itemText(5), QStringLiteral("006"));
    QCOMPARE(form->JIANZHI->itemText(6), QStringLiteral("006"));
    QCOMPARE(form->JIANZHI->findText(QStringLiteral("007")), -1);
    QCOMPARE(form->ComboBox17->itemText(18), QStringLiteral("18)EJX910 "));
    QCOMPARE(form->FAMOUT5->itemText(4), QString::fromUtf8("4 绝对值  (FF2 FF1 FF4 FF3)"));
    QCOMPARE(form->FAMOUT9->itemText(4), form->FAMOUT5->itemText(4));
    QCOMPARE(form->FAMOUT1->itemText(1), QStringLiteral("1 IEE754 (FF2 FF1 FF4 FF3)"));
    QCOMPARE(form->ComboBox18->itemText(3),
             QStringLiteral("3 Variable 1 coefficient * 100 rounded to the nearest integer"));
    QCOMPARE(form->RS485ADY->itemText(0), QStringLiteral("0 50ms"));
    QCOMPARE(form->ComboBox42->itemText(1), QStringLiteral("Secondary Master Mode"));
    // The four unit lists: 77 items each, differing only in items 12 and 13.
    QComboBox* units[] = {form->ComboBox3, form->ComboBox31, form->ComboBox32, form->ComboBox33};
    for (QComboBox* u : units) {
        QCOMPARE(u->count(), 77);
        QCOMPARE(u->itemText(0), QStringLiteral("inH20 "));
        QCOMPARE(u->itemText(76), QStringLiteral("other"));
    }
    QCOMPARE(form->ComboBox3->itemText(12), QString::fromUtf8("℃  "));
    QCOMPARE(form->ComboBox3->itemText(13), QString::fromUtf8("℉"));
    QCOMPARE(form->ComboBox31->itemText(13), QString::fromUtf8("℉ "));
    QCOMPARE(form->ComboBox32->itemText(13), QString::fromUtf8("℉   "));
    QCOMPARE(form->ComboBox33->itemText(12), QString::fromUtf8("℃"));
}

void WindowTest::whichListsTakeTypedText()
{
    for (const char* name :
         {"SPREALCOM", "ComboBox11", "ComboBox10", "JIANZHI", "ComboBox30", "ComboBox42", "ComboBox27"})
        QVERIFY2(control<QComboBox>(name)->isEditable(), name);
    for (const char* name : {"ComboBox17", "ComboBox41", "ComboBox7", "ComboBox2", "FAMOUT1", "ComboBox15"})
        QVERIFY2(!control<QComboBox>(name)->isEditable(), name);
}

void WindowTest::checkBoxesStartUncheckedButtonsEnabled()
{
    const auto checks = form->findChildren<QCheckBox*>();
    QCOMPARE(checks.size(), 8);
    for (QCheckBox* c : checks) QVERIFY2(!c->isChecked(), qPrintable(c->objectName()));
    QCOMPARE(form->CheckBox1->text(), QStringLiteral("COM_RTS"));
    QCOMPARE(form->CheckBox2->text(), QStringLiteral("COM_DTR"));
    QCOMPARE(form->RUNCHEAK2->text(), QStringLiteral("NO2_Command Number:"));
    for (QPushButton* b : form->findChildren<QPushButton*>()) QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(form->Button1->text(), QStringLiteral("Open"));
    QCOMPARE(form->Button26->text(), QStringLiteral("Clear Buffer"));
}

void WindowTest::hiddenSlotsNeverShow()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    for (int page = 0; page < form->PageControl1->count(); ++page) {
        form->PageControl1->setCurrentIndex(page);
        QCoreApplication::processEvents();
        QWidget* current = form->PageControl1->currentWidget();
        for (QWidget* w : current->findChildren<QWidget*>()) {
            if (w->objectName().isEmpty() || !kDesignNames.contains(w->objectName())) continue;
            const bool hidden = kHiddenNames.contains(w->objectName()) || w->parentWidget() == form->GroupBox22;
            QVERIFY2(w->isVisible() == !hidden, qPrintable(w->objectName()));
        }
    }
    QVERIFY(!form->GroupBox13->isHidden());
}

void WindowTest::timersExchangeAndPortAtStart()
{
    QVERIFY(!form->Timer2->isEnabled());
    QVERIFY(!form->Timer3->isEnabled());
    QVERIFY(!form->Timer4->isEnabled());
    QCOMPARE(form->Timer2->interval(), 300);
    QCOMPARE(form->Timer3->interval(), 1000);
    QCOMPARE(form->Exchange.PendingCode, 0);
    QCOMPARE(form->Exchange.TimeoutKind, 0);
    QVERIFY(!form->Exchange.PortOpen);
    QVERIFY(!form->Comm1->IsOpen());
    QCOMPARE(form->Comm1->CommName(), std::string("COM2"));
    QCOMPARE(form->Comm1->BaudRate(), 9600u);
    QVERIFY(form->Comm1->DtrControl() == TDtrControl::DtrDisable);
    QVERIFY(form->Comm1->RtsControl() == TRtsControl::RtsDisable);
    QVERIFY(!form->Comm1->Outx_XonXoffFlow());
    QVERIFY(!form->Comm1->Inx_XonXoffFlow());
    QVERIFY(static_cast<bool>(form->Comm1->OnReceiveData()));
}

void WindowTest::clearBufferKeepsTheSendBuffer()
{
    ortiva::MessageCapture capture;
    form->Edit8->setText(QStringLiteral("QQQ#QX#"));
    form->Memo10->setPlainText(QStringLiteral("QX BA1:30\nsecond line"));
    form->Button26->click();
    QVERIFY(form->Memo10->toPlainText().isEmpty());
    QCOMPARE(form->Edit8->text(), QStringLiteral("QQQ#QX#"));
    QVERIFY(capture.Messages().empty());
}

void WindowTest::picturesAreShown()
{
    const QPair<QLabel*, QSize> pictures[] = {
        {form->Image1, {105, 41}}, {form->Image2, {577, 337}}, {form->Image3, {577, 329}}};
    for (const auto& [label, size] : pictures) {
        QVERIFY2(!label->pixmap().isNull(), qPrintable(label->objectName()));
        QCOMPARE(label->pixmap().size(), size);
        QCOMPARE(label->size(), size);
    }
}

void WindowTest::themeColours_data()
{
    QTest::addColumn<QColor>("desktop");
    QTest::addColumn<QColor>("window");
    QTest::newRow("light desktop: silver") << QColor(0xEF, 0xEF, 0xEF) << QColor(0xC0, 0xC0, 0xC0);
    QTest::newRow("dark desktop keeps its colour") << QColor(0x35, 0x35, 0x35) << QColor(0x35, 0x35, 0x35);
}

void WindowTest::themeColours()
{
    QFETCH(QColor, desktop);
    QFETCH(QColor, window);
    const QPalette saved = QApplication::palette();
    QPalette theme(desktop);  // derives text colours that read on this window colour
    QApplication::setPalette(theme);
    TForm1 themed;
    QApplication::setPalette(saved);
    const QPalette pal = themed.palette();
    QCOMPARE(pal.color(QPalette::Window), window);
    QCOMPARE(pal.color(QPalette::WindowText), theme.color(QPalette::WindowText));
    // Text stays readable on the background it is drawn on.
    QVERIFY(std::abs(pal.color(QPalette::Window).lightness() - pal.color(QPalette::WindowText).lightness()) > 100);
    QVERIFY(std::abs(pal.color(QPalette::Base).lightness() - pal.color(QPalette::Text).lightness()) > 100);
}

// At the design size every page fits: no control smaller than it needs to
// show its text, none overlapping a sibling, none sticking out of its parent.
// Registered a second time at 150 % scaling.
void WindowTest::layoutIsTidy()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QStringList problems;
    // At the design size everything fits without scrolling.
    const bool designSize = form->ClientArea->size() == QSize(1110, 651);
    if (designSize &&
        (form->ClientArea->horizontalScrollBar()->isVisible() || form->ClientArea->verticalScrollBar()->isVisible())) {
        problems << QStringLiteral("the design size needs scrolling");
        for (int page = 0; page < form->PageControl1->count(); ++page) {
            const QWidget* w = form->PageControl1->widget(page);
            problems << QStringLiteral("%1 needs %2x%3")
                            .arg(w->objectName())
                            .arg(w->minimumSizeHint().width())
                            .arg(w->minimumSizeHint().height());
        }
    }
    for (int page = 0; page < form->PageControl1->count(); ++page) {
        form->PageControl1->setCurrentIndex(page);
        QCoreApplication::processEvents();
        const QList<QWidget*> widgets = form->findChildren<QWidget*>();
        for (qsizetype i = 0; i < widgets.size(); ++i) {
            QWidget* w = widgets[i];
            if (!w->isVisible() || !kDesignNames.contains(w->objectName())) continue;
            const QString name = w->objectName();
            auto* label = qobject_cast<QLabel*>(w);
            const bool wraps = label && label->wordWrap();
            QSize need = w->minimumSizeHint();
            if (label && !wraps) need = label->sizeHint();
            if (qobject_cast<QAbstractButton*>(w)) need = QSize(w->minimumWidth(), need.height());
            if (qobject_cast<QAbstractScrollArea*>(w)) need = QSize(0, 0);  // scrolls what does not fit
            if (w->width() < need.width() || w->height() < need.height())
                problems << QStringLiteral("%1 clipped: %2x%3 < %4x%5")
                                .arg(name)
                                .arg(w->width())
                                .arg(w->height())
                                .arg(need.width())
                                .arg(need.height());
            if (QWidget* parent = w->parentWidget(); parent && !parent->rect().contains(w->geometry()))
                problems << QStringLiteral("%1 sticks out of %2").arg(name, parent->objectName());
            for (qsizetype j = i + 1; j < widgets.size(); ++j) {
                QWidget* other = widgets[j];
                if (other->parentWidget() != w->parentWidget() || !other->isVisible() ||
                    !kDesignNames.contains(other->objectName()))
                    continue;
                if (w->geometry().intersects(other->geometry()))
                    problems << QStringLiteral("%1 overlaps %2").arg(name, other->objectName());
            }
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n"))));
}

// Run on screens of several sizes and scales (see CMakeLists.txt): the
// window lies inside the screen's available area, centred, at the design
// size when there is room; every button on every page can be scrolled into
// view and is clicked where it is shown.
void WindowTest::fitsTheScreen()
{
    ortiva::MessageCapture capture;
    form->SPREALCOM->setEditText(QStringLiteral("/dev/ortiva-no-such-port"));  // Open must not reach a real line
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QRect room = form->screen()->availableGeometry();
    const QRect frame = form->frameGeometry();
    QVERIFY2(room.contains(frame), qPrintable(QStringLiteral("frame %1,%2 %3x%4 outside %5x%6")
                                                  .arg(frame.x())
                                                  .arg(frame.y())
                                                  .arg(frame.width())
                                                  .arg(frame.height())
                                                  .arg(room.width())
                                                  .arg(room.height())));
    const QSize design(1110, 651 + form->MenuBar->height());  // the design's client area below the menu bar
    QCOMPARE(form->size(), design.boundedTo(room.size() - (frame.size() - form->size())));
    QVERIFY(std::abs((frame.left() - room.left()) - (room.right() - frame.right())) <= 1);
    QVERIFY(std::abs((frame.top() - room.top()) - (room.bottom() - frame.bottom())) <= 1);

    QWidget* viewport = form->ClientArea->viewport();
    int clicked = 0;
    for (int page = 0; page < form->PageControl1->count(); ++page) {
        form->PageControl1->setCurrentIndex(page);
        QCoreApplication::processEvents();
        for (QPushButton* button : form->findChildren<QPushButton*>()) {
            if (!button->isVisible()) continue;
            const QString name = button->objectName();
            form->ClientArea->ensureWidgetVisible(button, 0, 0);
            QCoreApplication::processEvents();
            const QRect shown(button->mapTo(viewport, QPoint(0, 0)), button->size());
            QVERIFY2(viewport->rect().contains(shown), qPrintable(name + QStringLiteral(" not wholly in view")));
            const QPoint centre = button->mapTo(form.get(), button->rect().center());
            QWidget* hit = form->childAt(centre);
            QVERIFY2(hit == button || button->isAncestorOf(hit), qPrintable(name + QStringLiteral(" covered")));
            QSignalSpy clicks(button, &QAbstractButton::clicked);
            QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, centre);
            QVERIFY2(clicks.count() == 1, qPrintable(name + QStringLiteral(" not clicked")));
            ++clicked;
        }
    }
    // 14 on the first page, 4, 11 and 4 on the next three, "Clear Buffer" on all six.
    QCOMPARE(clicked, 14 + 4 + 11 + 4 + 6);
}

void WindowTest::tabOrderIsReadingOrder_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("System Parameter") << 0
                                      << QStringList{"SPREALCOM", "ComboBox11", "ComboBox10", "Button1", "Button6",
                                                     // left column
                                                     "ComboBox2", "ComboBox4", "Button5", "ComboBox8", "ComboBox9",
                                                     "Button9", "Edit6", "Button27", "PCBSN", "JIANZHI", "Button60",
                                                     "CheckBox1", "CheckBox2",
                                                     // right column
                                                     "ComboBox7", "Button24", "Edit14", "Button29", "RS485ADY",
                                                     "Button15", "RS485BDY", "Button33", "ABadr", "Button28", "BBadr",
                                                     "Button32", "Button30", "Button23"};
    QTest::newRow("Transparent Mode") << 1 << QStringList{"Edit9",    "ComboBox30", "ComboBox42", "Edit28",
                                                          "Edit29",   "Edit31",     "Edit32",     "Button7",
                                                          "Edit25",   "ComboBox3",  "Edit26",     "ComboBox31",
                                                          "Edit27",   "ComboBox32", "Edit30",     "ComboBox33",
                                                          "Button16", "ComboBox27", "Button14",   "Edit10",
                                                          "Button20"};
    QTest::newRow("MODBUS Parameter Configuration")
        << 2
        << QStringList{"ComboBox41", "ComboBox6", "ComboBox16", "ComboBox17", "ComboBox34", "Edit1", "Button10",
                       "FAMOUT1", "FAMOUT3", "FAMOUT5", "FAMOUT7", "FAMOUT9", "Button21",
                       // left: custom parsing
                       "ComboBox28", "Edit4", "Button17", "ComboBox29", "Edit5", "Button18", "RADCOM1", "READADR1",
                       "READLG1", "RADCOM3", "READADR3", "READLG3", "RADCOM5", "READADR5", "READLG5", "RADCOM7",
                       "READADR7", "READLG7", "ComboBox15", "Button12",
                       // middle: MODBUS test, then the calculator
                       "Edit18", "Edit19", "Edit20", "Button4", "Edit7", "Button13", "Edit22",
                       // right: operation mode, coefficients
                       "ComboBox14", "Button22", "ComboBox18", "Beilv", "Button2", "xishu2", "xishu3", "xishu4",
                       "Button19", "Button31"};
    QTest::newRow("Monitoring Command") << 3 << QStringList{"ONECHECK01", "ONECMAD01", "Button3",  "Button8",
                                                            "ONECHECK02", "ONECMAD02", "Button25", "Button11"};
    QTest::newRow("2-Wire Instruments") << 4 << QStringList{};
    QTest::newRow("4-Wire Instruments") << 5 << QStringList{};
}

// From the page's tab, Tab goes through the page's controls in reading order
// and then on to the Send Buffer.
void WindowTest::tabOrderIsReadingOrder()
{
    QFETCH(int, page);
    QFETCH(QStringList, order);
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->PageControl1->setCurrentIndex(page);
    form->PageControl1->tabBar()->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    const auto named = [](QWidget* w) {
        while (w && !kDesignNames.contains(w->objectName())) w = w->parentWidget();
        return w ? w->objectName() : QStringLiteral("(none)");
    };
    QCOMPARE(named(QApplication::focusWidget()), QStringLiteral("PageControl1"));
    QStringList seen;
    QWidget* current = form->PageControl1->currentWidget();
    for (int presses = 0; presses < 100; ++presses) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        if (!current->isAncestorOf(focus)) {
            QCOMPARE(named(focus), QStringLiteral("Edit8"));
            break;
        }
        seen << named(focus);
    }
    QCOMPARE(seen, order);
}

// "COM1" to "COM12" first, then the devices present, found anew each time
// the list opens; the operator's typed text or choice stays.
void WindowTest::portListOffersThePresentDevices()
{
    std::vector<ortiva::PortRecord> present = {
        {"/dev/ttyUSB0", "USB UART", "Maker A", "A1", "/dev/serial/by-id/usb-Maker_A_USB_UART_A1-if00-port0"},
        {"/dev/ttyACM0", "", "", "", ""},
    };
    form->PresentPorts = [&present] { return present; };
    QComboBox* box = form->SPREALCOM;
    const auto items = [box] {
        QStringList all;
        for (int i = 0; i < box->count(); ++i) all << box->itemText(i);
        return all;
    };
    QStringList fixed;
    for (int n = 1; n <= 12; ++n) fixed << QStringLiteral("COM%1").arg(n);

    const struct {
        const char* what;
        std::function<void()> before;  // the operator's doing, before the list opens
        int index;
        QString text;
    } steps[] = {
        {"at start", [] {}, 0, QStringLiteral("COM1")},
        {"a device chosen", [box] { box->setCurrentIndex(13); }, 13, QStringLiteral("/dev/ttyUSB0")},
        {"the chosen device now listed later",
         [&present] {
             present.insert(present.begin(), {"/dev/ttyACM1", "", "", "", ""});
         },
         14, QStringLiteral("/dev/ttyUSB0")},
        {"the chosen device gone",
         [&present] {
             present = {{"/dev/ttyACM0", "", "", "", ""}};
         },
         -1, QStringLiteral("/dev/ttyUSB0")},
        {"a path typed",
         [box] {
             box->setCurrentIndex(-1);
             box->setEditText(QStringLiteral("/dev/pts/7"));
         },
         -1, QStringLiteral("/dev/pts/7")},
        {"a fixed item chosen", [box] { box->setCurrentIndex(4); }, 4, QStringLiteral("COM5")},
    };
    for (const auto& step : steps) {
        step.before();
        box->showPopup();
        box->hidePopup();
        QStringList expected = fixed;
        for (const ortiva::PortItem& item : ortiva::PortListItems(present))
            expected << QString::fromStdString(item.text);
        QVERIFY2(items() == expected, step.what);
        QVERIFY2(box->currentIndex() == step.index, step.what);
        QVERIFY2(box->currentText() == step.text, step.what);
    }
    present = {{"/dev/ttyUSB0", "USB UART", "Maker A", "A1", "/dev/serial/by-id/usb-Maker_A_USB_UART_A1-if00-port0"}};
    box->showPopup();
    box->hidePopup();
    QCOMPARE(box->itemData(12, Qt::ToolTipRole).toString(),
             QStringLiteral("USB UART\nManufacturer: Maker A\nSerial number: A1\n"
                            "/dev/serial/by-id/usb-Maker_A_USB_UART_A1-if00-port0"));
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
