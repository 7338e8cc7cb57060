// HART through the module in transparent mode: identity, variables, address
// change and a typed frame, tool against the simulated instrument.
#include <QCheckBox>
#include <QLabel>

#include "bench.h"

using ortiva::sim::SimOptions;

class HartEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void identityVariablesAndAddressChange()
    {
        Bench b;
        QVERIFY(b.Open());
        b.form->ComboBox42->setCurrentIndex(0);  // "Master Mode"
        b.form->Button7->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("FF FF FF FF FF FF FF 02 80 00 00 82 "));
        QVERIFY(Bench::WaitFor([&] { return b.form->Edit32->text() == QLatin1String("1193046"); }));
        QCOMPARE(b.form->Edit28->text(), QStringLiteral("38"));
        QCOMPARE(b.form->Edit29->text(), QStringLiteral("6"));
        QCOMPARE(b.form->Edit31->text(), QStringLiteral("5"));
        QCOMPARE(b.form->ComboBox27->currentIndex(), 0);
        QCOMPARE(b.form->Exchange.PendingCode, 0);

        b.form->Button16->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("FF FF FF FF FF FF FF 82 A6 06 12 34 56 03 00 51 "));
        QVERIFY(Bench::WaitFor([&] { return b.form->Edit30->text() == QLatin1String("997.5"); }));
        QCOMPARE(b.form->Edit25->text(), QStringLiteral("12.5"));
        QCOMPARE(b.form->Edit26->text(), QStringLiteral("1234.5"));
        QCOMPARE(b.form->Edit27->text(), QStringLiteral("21.25"));
        QCOMPARE(b.form->ComboBox3->currentIndex(), 19);   // unit 19
        QCOMPARE(b.form->ComboBox31->currentIndex(), 34);  // unit 43
        QCOMPARE(b.form->ComboBox32->currentIndex(), 12);  // unit 32
        QCOMPARE(b.form->ComboBox33->currentIndex(), 61);  // unit 92
        // Mirrored on the MODBUS page; the current's label is never written.
        QCOMPARE(b.form->HLabel2->text(), QStringLiteral("12.5"));
        QCOMPARE(b.form->HLabel5->text(), QStringLiteral("997.5"));
        QCOMPARE(b.form->HLabel1->text(), QStringLiteral("00000"));

        // Command 6 to address 3, then the identity query at the new address.
        b.form->ComboBox27->setCurrentIndex(3);
        b.form->Button14->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("FF FF FF FF FF FF FF 82 A6 06 12 34 56 06 01 03 56 "));
        QVERIFY(Bench::WaitFor(
            [&] { return b.sim.WithModule([](ortiva::sim::Module& m) { return int(m.hart.pollAddress); }) == 3; }));
        QVERIFY(Bench::WaitFor([&] { return !b.ReceiveBuffer().isEmpty(); }));
        QCOMPARE(b.form->Exchange.PendingCode, 106);

        b.form->ComboBox30->setCurrentIndex(3);
        b.form->Button7->click();
        QVERIFY(Bench::WaitFor([&] { return b.form->Edit32->text() == QLatin1String("1193046"); }));
        QCOMPARE(b.form->ComboBox27->currentIndex(), 3);
        QCOMPARE(b.form->Hart.PollAddress, uint8_t(3));
        QVERIFY(b.messages.Texts().isEmpty());
    }

    void typedFrameAndItsRefusals()
    {
        Bench b;
        QVERIFY(b.Open());
        b.form->Edit10->setText("02 80 00 00");
        b.form->Edit9->setText("5");
        b.form->Button20->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("FF FF FF FF FF FF 02 80 00 00 82 "));
        // The instrument answers command 0; the reply is shown as hex text and not decoded.
        QVERIFY(Bench::WaitFor([&] { return b.ReceiveBuffer().startsWith(QLatin1String("FF FF FF FF FF 06 ")); }));
        QCOMPARE(b.form->Exchange.PendingCode, 104);
        QCOMPARE(b.form->Edit28->text(), QString());

        const struct {
            const char* edit10;
            const char* edit9;
            const char* message;
        } refusals[] = {
            {"7689FDAD", "6", "NO SPACK"},
            {"76 89 fd ad", "6", "Data eeore!"},
            {"", "6", "NO SPACK"},
            {"02 80 00 00", "x", "'x' is not a valid integer value."},
            {"02 80 00 00", "-2", "Preamble length: '-2' is outside -1 to 498."},
        };
        for (const auto& r : refusals) {
            b.messages.Clear();
            b.form->Edit10->setText(r.edit10);
            b.form->Edit9->setText(r.edit9);
            b.form->Button20->click();
            QCOMPARE(b.messages.Texts(), QStringList{QString::fromLatin1(r.message)});
            QCOMPARE(b.SendBuffer(), QString());
        }
        Bench::Settle(500);
        QCOMPARE(b.sim.RequestsHandled(), size_t(1));
    }

    void noisyShortVariablesReply()
    {
        SimOptions o;
        o.module.hart.garbage = true;
        o.module.hart.preambles = 20;
        o.module.hart.variables = 2;  // byte count 16
        Bench b(o);
        QVERIFY(b.Open());
        b.form->Edit27->setText("kept");
        b.form->Button7->click();
        QVERIFY(Bench::WaitFor([&] { return b.form->Edit32->text() == QLatin1String("1193046"); }));
        b.form->Button16->click();
        QVERIFY(Bench::WaitFor([&] { return b.form->Edit26->text() == QLatin1String("1234.5"); }));
        QCOMPARE(b.form->Edit25->text(), QStringLiteral("12.5"));
        QCOMPARE(b.form->Edit27->text(), QStringLiteral("kept"));  // slot 3 not in this reply
    }

    void firstHartQueryTimesOutAfterTheInitialInterval()
    {
        SimOptions o;
        o.line.noReply = true;
        Bench b(o);
        QVERIFY(b.Open());
        b.form->Button7->click();
        QCOMPARE(b.form->Timer3->interval(), 1000);
        QVERIFY(b.WaitForMessage(QStringLiteral("!")));
        b.form->Button6->click();
        QCOMPARE(b.form->Timer3->interval(), 3000);
        b.form->Button7->click();
        QCOMPARE(b.form->Timer3->interval(), 3000);
    }
};

QTEST_MAIN(HartEndToEnd)
#include "hart_e2e_test.moc"
