// System set commands, monitoring slots, the MODBUS test and the calculator,
// tool against the simulated module.
#include <QCheckBox>
#include <QLabel>

#include "bench.h"

class SettingsEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void setThenReadBack()
    {
        Bench b;
        QVERIFY(b.Open());
        size_t sent = 0;
        struct Step {
            std::function<void(TForm1&)> prepare;
            QPushButton* TForm1::*button;
            const char* frame;
        };
        const Step steps[] = {
            {[](TForm1& f) { f.Edit14->setText("17"); }, &TForm1::Button29, "QQS#ADR:017#"},
            {[](TForm1& f) { f.ComboBox7->setCurrentIndex(2); }, &TForm1::Button24, "QQS#MD:2#"},
            {[](TForm1& f) { f.RS485ADY->setCurrentIndex(1); }, &TForm1::Button15, "QQS#XY1:1#"},
            {[](TForm1& f) { f.RS485BDY->setCurrentIndex(4); }, &TForm1::Button33, "QQS#XY2:4#"},
            {[](TForm1& f) { f.Edit6->setText("50"); }, &TForm1::Button27, "QQS#JTM:050#"},
            {[](TForm1& f) { f.ABadr->setText("40001"); }, &TForm1::Button28, "QQS#AADR:40001#"},
            {[](TForm1& f) { f.BBadr->setText("0"); }, &TForm1::Button32, "QQS#BADR:00000#"},
        };
        for (const auto& s : steps) {
            s.prepare(*b.form);
            (b.form.get()->*s.button)->click();
            QCOMPARE(b.SendBuffer(), QString::fromLatin1(s.frame));
            QVERIFY(b.WaitForRequests(++sent));
            // The acknowledgement is shown, not judged, and the exchange is idle again.
            QVERIFY(Bench::WaitFor([&] { return b.form->Exchange.PendingCode == 0 && !b.ReceiveBuffer().isEmpty(); }));
        }
        // Wipe the page, then read it back from the module.
        b.form->Edit14->clear();
        b.form->ComboBox7->setCurrentIndex(0);
        b.form->Edit6->clear();
        b.form->ABadr->clear();
        b.form->Button23->click();
        QVERIFY(Bench::WaitFor([&] {
            return b.form->BBadr->text() == QLatin1String("00000") && b.form->ABadr->text() == QLatin1String("40001");
        }));
        QCOMPARE(b.form->Edit14->text(), QStringLiteral("017"));
        QCOMPARE(b.form->ComboBox7->currentIndex(), 2);
        QCOMPARE(b.form->ComboBox14->currentIndex(), 2);
        QCOMPARE(b.form->RS485ADY->currentIndex(), 1);
        QCOMPARE(b.form->RS485BDY->currentIndex(), 4);
        QCOMPARE(b.form->Edit6->text(), QStringLiteral("050"));
        QVERIFY(b.messages.Texts().isEmpty());
    }

    void refusedInputSendsNothing()
    {
        Bench b;
        QVERIFY(b.Open());
        b.form->Edit8->setText("old");
        b.form->Edit14->setText("1000");
        b.form->Button29->click();
        b.form->Edit6->clear();
        b.form->Button27->click();
        QCOMPARE(b.messages.Texts(), (QStringList{"MODBUS slave address: '1000' is outside 0 to 999.",
                                                  "'' is not a valid integer value."}));
        QCOMPARE(b.SendBuffer(), QString());  // emptied before the refusal
        QCOMPARE(b.form->Exchange.PendingCode, 0);
        QVERIFY(!b.form->Timer3->isEnabled());
        Bench::Settle(500);
        QCOMPARE(b.sim.RequestsHandled(), size_t(0));
    }

    void serialNumberAndHeaderCommands()
    {
        Bench b;
        QVERIFY(b.Open());
        b.form->PCBSN->setText("12345678");
        b.form->JIANZHI->setEditText("101");
        b.form->Memo10->setPlainText("kept");
        b.form->Button60->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("KAVORN#PCBSN:12345678,101#"));
        QCOMPARE(b.ReceiveBuffer(), QStringLiteral("kept"));  // its own sequence: no clearing
        QVERIFY(!b.form->Timer3->isEnabled());
        QVERIFY(b.WaitForRequests(1));
        QCOMPARE(b.sim.WithModule([](ortiva::sim::Module& m) { return m.production.serial; }), std::string("12345678"));

        ortiva::Guarded([&] { b.form->Label51DblClick(); });
        QCOMPARE(b.SendBuffer(), QStringLiteral("QQS#YB:2#"));
        QVERIFY(b.WaitForRequests(2));
        QCOMPARE(b.sim.WithModule([](ortiva::sim::Module& m) { return m.system.yb; }), 2);
    }

    void monitoringSlotRoundTrip()
    {
        Bench b;
        QVERIFY(b.Open());
        b.form->ONECHECK02->setChecked(true);
        b.form->ONECMAD02->setText("10 20 0A");
        b.form->Button25->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("51 51 53 23 57 43 41 44 30 32 3A 31 3C 30 33 2C 10 20 0A "));
        QVERIFY(b.WaitForRequests(1));
        QVERIFY(Bench::WaitFor([&] { return b.form->Exchange.PendingCode == 0; }));
        b.form->ONECHECK02->setChecked(false);
        b.form->ONECMAD02->clear();
        b.form->Button11->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("51 51 51 23 52 43 41 44 30 32 23 "));
        QVERIFY(Bench::WaitFor([&] { return b.form->ONECMAD02->text() == QLatin1String("10 20 0A"); }));
        QVERIFY(b.form->ONECHECK02->isChecked());
        QCOMPARE(b.form->Exchange.PendingCode, 501);

        // A hidden slot works the same way.
        b.form->RUNCAMD2->setText("01");
        b.form->Button72->click();
        QVERIFY(b.WaitForRequests(3));
        b.form->RUNCAMD2->clear();
        b.form->Button73->click();
        QVERIFY(Bench::WaitFor([&] { return b.form->RUNCAMD2->text() == QLatin1String("01"); }));
        QVERIFY(!b.form->RUNCAMD2->isVisible());

        b.form->ONECMAD01->setText("1G");
        b.form->Button3->click();
        QCOMPARE(b.messages.Texts(), QStringList{QStringLiteral("Data eeore!")});
    }

    void modbusTestShowsTheReplyAsHex()
    {
        Bench b;
        QVERIFY(b.Open());
        b.form->Button4->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("01 03 00 00 00 0A C5 CD "));
        QVERIFY(Bench::WaitFor([&] { return b.ReceiveBuffer().startsWith(QLatin1String("01 03 14 ")); }));
        QCOMPARE(b.ReceiveBuffer().size(), 25 * 3);
        QCOMPARE(b.form->Exchange.PendingCode, 302);

        // A slave address the module does not have: no reply, the connection timeout.
        b.form->Edit18->setText("9");
        b.form->Button4->click();
        QVERIFY(b.WaitForMessage(QStringLiteral("Connection timed out!")));

        // The calculator reads the first register pair of that reply.
        b.form->Edit7->setText("41 40 00 00");
        b.form->Button13->click();
        QCOMPARE(b.form->Edit22->text(), QStringLiteral("12"));
    }
};

QTEST_MAIN(SettingsEndToEnd)
#include "settings_e2e_test.moc"
