// Per-device MODBUS parameters and custom HART parsing round-trip through
// the simulated module.
#include <QGroupBox>
#include <QLabel>

#include "bench.h"

namespace {

void ChooseDevice(Bench& b, int device)
{
    b.form->ComboBox41->setCurrentIndex(device);
    emit b.form->ComboBox41->activated(device);  // the operator's choice
}

void ChooseMeterType(Bench& b, int type)
{
    b.form->ComboBox17->setCurrentIndex(type);
    emit b.form->ComboBox17->activated(type);
}

}  // namespace

class DeviceEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void everyGroupOfDevice2RoundTrips()
    {
        Bench b;
        QVERIFY(b.Open());
        size_t requests = 0;
        ChooseDevice(b, 2);
        QCOMPARE(b.SendBuffer(), QStringLiteral("QQQ#QQ2#"));
        QCOMPARE(b.form->Label19->text(), QStringLiteral("40021"));
        QCOMPARE(b.form->Edit19->text(), QStringLiteral("20"));
        QVERIFY(b.WaitForRequests(++requests));
        QVERIFY(Bench::WaitFor([&] { return b.form->Edit1->text() == QLatin1String("060"); }));
        QVERIFY(!b.form->GroupBox13->isHidden());  // meter type 0 shows the custom parsing

        TForm1& f = *b.form;
        f.ComboBox6->setCurrentIndex(1);
        f.ComboBox16->setCurrentIndex(0);
        ChooseMeterType(b, 0);
        f.ComboBox34->setCurrentIndex(3);
        f.Edit1->setText("45");
        f.FAMOUT1->setCurrentIndex(1);
        f.FAMOUT3->setCurrentIndex(3);
        f.FAMOUT5->setCurrentIndex(4);
        f.FAMOUT7->setCurrentIndex(2);
        f.FAMOUT9->setCurrentIndex(0);
        f.ComboBox18->setCurrentIndex(2);
        f.Beilv->setText("0.250");
        f.xishu2->setText("2.500");
        f.xishu3->setText("0.125");
        f.xishu4->setText("9.999");
        f.ComboBox28->setCurrentIndex(1);
        f.Edit4->setText("01 03 00 02");
        f.ComboBox29->setCurrentIndex(0);
        f.Edit5->setText("03");
        f.ComboBox15->setCurrentIndex(6);
        f.RADCOM1->setCurrentIndex(1);
        f.READADR1->setText("3");
        f.READLG1->setCurrentIndex(0);
        f.RADCOM3->setCurrentIndex(2);
        f.READADR3->setText("12");
        f.READLG3->setCurrentIndex(1);
        f.RADCOM5->setCurrentIndex(0);
        f.READADR5->setText("0");
        f.READLG5->setCurrentIndex(0);
        f.RADCOM7->setCurrentIndex(1);
        f.READADR7->setText("99");
        f.READLG7->setCurrentIndex(1);

        const struct {
            QPushButton* TForm1::*button;
            const char* echo;
        } sets[] = {
            {&TForm1::Button10, "QQS#HART2:1,0,00,7,045#"},
            {&TForm1::Button21, "QQS#DFOT2:13420#"},
            {&TForm1::Button2, "QQS#FMW:2,0.250#"},
            {&TForm1::Button19, "QQS#FMU:2.500,0.125,9.999#"},
            {&TForm1::Button17, "51 51 53 23 43 41 4D 44 32 31 3A 31 3C 30 34 2C 01 03 00 02 "},
            {&TForm1::Button18, "51 51 53 23 43 41 4D 44 32 32 3A 30 3C 30 31 2C 03 "},
            {&TForm1::Button12, "QQS#MDBS2:9,1030,2121,0000,1991#"},
        };
        for (const auto& s : sets) {
            (f.*s.button)->click();
            QCOMPARE(b.SendBuffer(), QString::fromLatin1(s.echo));
            QVERIFY(b.WaitForRequests(++requests));
            QVERIFY(Bench::WaitFor([&] { return f.Exchange.PendingCode == 0 && !b.ReceiveBuffer().isEmpty(); }));
            QVERIFY2(b.ReceiveBuffer().contains(QLatin1String("OK")), qPrintable(b.ReceiveBuffer()));
        }

        // Another device empties the page and fills it with that device's record.
        ChooseDevice(b, 0);
        QCOMPARE(f.Edit4->text(), QString());
        QVERIFY(b.WaitForRequests(++requests));
        QVERIFY(Bench::WaitFor([&] { return f.Edit1->text() == QLatin1String("060"); }));
        QCOMPARE(f.Edit4->text(), QString());

        ChooseDevice(b, 2);
        QVERIFY(b.WaitForRequests(++requests));
        QVERIFY(Bench::WaitFor([&] { return f.Edit1->text() == QLatin1String("045"); }));
        QVERIFY(Bench::WaitFor([&] { return f.Edit5->text() == QLatin1String("03"); }));
        QCOMPARE(f.ComboBox6->currentIndex(), 1);
        QCOMPARE(f.ComboBox16->currentIndex(), 0);
        QCOMPARE(f.ComboBox17->currentIndex(), 0);
        QCOMPARE(f.ComboBox34->currentText(), QStringLiteral("7"));
        const QComboBox* formats[] = {f.FAMOUT1, f.FAMOUT3, f.FAMOUT5, f.FAMOUT7, f.FAMOUT9};
        const int formatIndexes[] = {1, 3, 4, 2, 0};
        for (int i = 0; i < 5; ++i) QCOMPARE(formats[i]->currentIndex(), formatIndexes[i]);
        QCOMPARE(f.ComboBox18->currentIndex(), 2);
        QCOMPARE(f.Beilv->text(), QStringLiteral("0.250"));
        QCOMPARE(f.xishu2->text(), QStringLiteral("2.500"));
        QCOMPARE(f.xishu3->text(), QStringLiteral("0.125"));
        QCOMPARE(f.xishu4->text(), QStringLiteral("9.999"));
        QCOMPARE(f.ComboBox28->currentIndex(), 1);
        QCOMPARE(f.Edit4->text(), QStringLiteral("01 03 00 02"));
        QCOMPARE(f.ComboBox29->currentIndex(), 0);
        QCOMPARE(f.ComboBox15->currentText(), QStringLiteral("9"));
        QCOMPARE(f.RADCOM1->currentIndex(), 1);
        QCOMPARE(f.READADR1->text(), QStringLiteral("03"));
        QCOMPARE(f.READLG3->currentIndex(), 1);
        QCOMPARE(f.READADR3->text(), QStringLiteral("12"));
        QCOMPARE(f.RADCOM3->currentIndex(), 2);
        QCOMPARE(f.READADR7->text(), QStringLiteral("99"));
        QCOMPARE(f.RADCOM7->currentIndex(), 1);
        QVERIFY(!f.GroupBox13->isHidden());
        QVERIFY(b.messages.Texts().isEmpty());
    }

    void otherMeterTypesHideTheCustomParsing()
    {
        ortiva::sim::SimOptions o;
        o.module.meterType = 7;
        Bench b(o);
        QVERIFY(b.Open());
        b.form->GroupBox13->setVisible(true);
        b.form->Button31->click();
        QVERIFY(Bench::WaitFor([&] { return b.form->ComboBox17->currentIndex() == 7; }));
        QVERIFY(Bench::WaitFor([&] { return b.form->GroupBox13->isHidden(); }));

        o.module.meterType = 25;  // not in the list: no selection, hidden as well
        b.sim.SetOptions(o);
        b.form->GroupBox13->setVisible(true);
        b.form->Button31->click();
        QVERIFY(Bench::WaitFor([&] { return b.form->ComboBox17->currentIndex() == -1; }));
        QVERIFY(Bench::WaitFor([&] { return b.form->GroupBox13->isHidden(); }));
    }

    void deviceChoiceWithThePortClosedChangesNothing()
    {
        Bench b;
        b.form->Edit1->setText("123");
        ChooseDevice(b, 3);
        QCOMPARE(b.form->Edit1->text(), QStringLiteral("123"));
        QCOMPARE(b.form->Label19->text(), QStringLiteral("40001:"));
        QCOMPARE(b.SendBuffer(), QString());
        // The query button does not look at the port: it times out.
        b.form->Button31->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("QQQ#QQ3#"));
        QVERIFY(b.WaitForMessage(QStringLiteral("Parameter Query Timeout!")));
    }
};

QTEST_MAIN(DeviceEndToEnd)
#include "device_e2e_test.moc"
