// Opening the line, the two system queries, the timeouts and the delayed close,
// a line that goes away, tool against the simulated module.
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>

#include "tcomm.h"

#include "bench.h"

using ortiva::sim::SimOptions;

class LinkEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void openCloseAndCommunicationQuery()
    {
        Bench b;
        QVERIFY(b.Open());
        QVERIFY(b.form->Button6->isEnabled());
        // The query re-enables the command buttons it names.
        b.form->Button16->setEnabled(false);
        b.form->Button31->setEnabled(false);
        b.form->Button6->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("QQQ#QV#"));
        QVERIFY(Bench::WaitFor([&] { return b.form->Button16->isEnabled() && b.form->Button31->isEnabled(); }));
        QVERIFY(b.ReceiveBuffer().contains(QLatin1String("QV:")));
        QCOMPARE(b.form->Exchange.PendingCode, 0);
        QVERIFY(b.messages.Texts().isEmpty());

        b.form->Button1->click();
        QCOMPARE(b.form->Button1->text(), QStringLiteral("Open"));
        QVERIFY(!b.form->Button6->isEnabled());
        QVERIFY(!b.form->Exchange.PortOpen);
        // And once more, at the top rate: a fresh open of the same line works.
        b.form->ComboBox11->setCurrentIndex(7);
        QVERIFY(b.Open());
        QCOMPARE(b.form->Comm1->BaudRate(), 115200u);
        b.form->Button23->click();
        QVERIFY(Bench::WaitFor([&] { return b.ReceiveBuffer().contains(QLatin1String("QX")); }));
    }

    void systemParametersFillThePage()
    {
        Bench b;
        b.sim.WithModule([](ortiva::sim::Module& m) {
            m.system.baudA = 7;
            m.system.parityA = 2;
            m.system.baudB = 1;
            m.system.parityB = 1;
            m.system.mode = 4;
            m.system.slaveAddress = 247;
            m.system.returnTimeA = 0;
            m.system.returnTimeB = 5;
            m.system.pollInterval = 50;
            m.system.baseA = 100;
            m.system.baseB = 200;
        });
        QVERIFY(b.Open());
        b.form->Button23->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("QQQ#QX#"));
        QVERIFY(Bench::WaitFor([&] { return b.form->BBadr->text() == QLatin1String("00200"); }));
        QCOMPARE(b.form->ComboBox2->currentText(), QStringLiteral("115200"));
        QCOMPARE(b.form->ComboBox4->currentText(), QStringLiteral("Even"));
        QCOMPARE(b.form->ComboBox8->currentText(), QStringLiteral("2400"));
        QCOMPARE(b.form->ComboBox9->currentText(), QStringLiteral("Odd"));
        QCOMPARE(b.form->ComboBox7->currentIndex(), 4);
        QCOMPARE(b.form->ComboBox14->currentIndex(), -1);  // three items only
        QCOMPARE(b.form->Edit14->text(), QStringLiteral("247"));
        QCOMPARE(b.form->Edit18->text(), QStringLiteral("247"));  // follows the slave address
        QCOMPARE(b.form->RS485ADY->currentIndex(), 0);
        QCOMPARE(b.form->RS485BDY->currentIndex(), 5);
        QCOMPARE(b.form->Edit6->text(), QStringLiteral("050"));
        QCOMPARE(b.form->ABadr->text(), QStringLiteral("00100"));
        QCOMPARE(b.form->Exchange.PendingCode, 202);  // stays: a later chunk is decoded again
        QVERIFY(b.messages.Texts().isEmpty());
    }

    void eachTimeoutReport()
    {
        SimOptions o;
        o.line.noReply = true;
        Bench b(o);
        QVERIFY(b.Open());
        b.form->Button6->click();
        QVERIFY(b.WaitForMessage(QStringLiteral("Connection timed out!")));
        b.form->Button23->click();
        QVERIFY(b.WaitForMessage(QStringLiteral("Parameter Query Timeout!")));
        QCOMPARE(b.form->Label68->text(), QString());
        b.form->Button30->click();
        QVERIFY(b.WaitForMessage(QStringLiteral("!")));
        QCOMPARE(b.form->Label68->text(), QStringLiteral("Set timeout"));
        QCOMPARE(b.messages.Texts(), (QStringList{"Connection timed out!", "Parameter Query Timeout!", "!"}));
    }

    void aSecondCommandKeepsTheEarlierDeadline()
    {
        SimOptions o;
        o.line.noReply = true;
        Bench b(o);
        QVERIFY(b.Open());
        b.form->Button30->click();  // a set command, timeout kind 3
        QVERIFY(b.WaitForRequests(1));
        Bench::Settle(1500);
        const int left = b.form->Timer3->remainingTime();
        b.form->Button23->click();  // a query while the reply timeout still runs
        QVERIFY(b.form->Timer3->remainingTime() <= left);
        // It fires at the first command's deadline with the report of the latest command.
        QVERIFY(b.WaitForMessage(QStringLiteral("Parameter Query Timeout!")));
        QCOMPARE(b.messages.Texts(), QStringList{QStringLiteral("Parameter Query Timeout!")});
    }

    void overlongReplyIsReadByItsFirst255Characters()
    {
        SimOptions o;
        o.line.longReply = true;  // 600 bytes in one chunk
        Bench b(o);
        b.sim.WithModule([](ortiva::sim::Module& m) { m.system.slaveAddress = 88; });
        QVERIFY(b.Open());
        b.form->Button23->click();
        QVERIFY(Bench::WaitFor([&] { return b.form->Edit14->text() == QLatin1String("088"); }));
        QCOMPARE(b.ReceiveBuffer().size(), 255);
        QCOMPARE(b.form->Exchange.RxText.size(), size_t(255));
    }

    void queriesOnAClosedPortTimeOut()
    {
        Bench b;
        b.form->Button23->click();  // never opened: the bytes are refused
        QVERIFY(b.WaitForMessage(QStringLiteral("Parameter Query Timeout!")));
        QCOMPARE(b.sim.RequestsHandled(), size_t(0));
    }

    void lateReplyIsStillDecoded()
    {
        SimOptions o;
        o.line.delayMs = int(3000 * kTimeScale) + 400;  // well after the reply timeout
        Bench b(o);
        b.sim.WithModule([](ortiva::sim::Module& m) { m.system.slaveAddress = 42; });
        QVERIFY(b.Open());
        b.form->Button23->click();
        QVERIFY(b.WaitForMessage(QStringLiteral("Parameter Query Timeout!")));
        QVERIFY(Bench::WaitFor([&] { return b.form->Edit14->text() == QLatin1String("042"); }));
    }

    void splitReplyIsDecodedFromOneChunk()
    {
        SimOptions o;
        o.line.splitMs = 400;  // well over the 100 ms that ends a chunk
        Bench b(o);
        b.sim.WithModule([](ortiva::sim::Module& m) {
            m.system.slaveAddress = 9;
            m.system.baseB = 777;
        });
        const QString edit14Before = b.form->Edit14->text();
        QVERIFY(b.Open());
        b.form->Button23->click();
        // The Receive Buffer shows the latest chunk only: the reply's second half.
        QVERIFY(Bench::WaitFor([&] { return b.ReceiveBuffer().endsWith(QLatin1String("#")); }));
        Bench::Settle(1500);
        QVERIFY(!b.ReceiveBuffer().startsWith(QLatin1String("QX")));
        // Neither half holds both "QX" and the base addresses at its end.
        QVERIFY(b.form->BBadr->text() != QLatin1String("00777"));
        QVERIFY(b.messages.Texts().isEmpty() ||
                b.messages.Texts().first().contains(QLatin1String("not a valid integer")));
        Q_UNUSED(edit14Before);
    }

    void conversionErrorKeepsWhatWasFilled()
    {
        SimOptions o;
        o.module.badDigit = true;  // a letter in the XY1 field
        Bench b(o);
        b.sim.WithModule([](ortiva::sim::Module& m) {
            m.system.slaveAddress = 12;
            m.system.pollInterval = 77;
        });
        QVERIFY(b.Open());
        b.form->Button23->click();
        QVERIFY(Bench::WaitFor([&] { return !b.messages.Texts().isEmpty(); }));
        const auto& shown = b.messages.Messages().front();
        QCOMPARE(shown.kind, ortiva::RecordedMessage::Kind::Error);
        QVERIFY2(shown.text.endsWith(QLatin1String("is not a valid integer value.")), qPrintable(shown.text));
        QCOMPARE(b.form->Edit14->text(), QStringLiteral("012"));  // before XY1: applied
        QVERIFY(b.form->Edit6->text() != QLatin1String("077"));   // after XY1: untouched
    }

    // The module's line vanishes, once while a query waits for its reply and
    // once while idle: one message names the port, the tool is back at
    // "Open" with no timeout report after it, and a module back on the same
    // path opens again and answers.
    void lineLostIsNoticedAtOnceAndOpensAgain()
    {
        SimOptions o;
        o.line.noReply = true;  // the query stays unanswered until the line goes
        Bench b(o);
        const QString link = QStringLiteral("/tmp/ortiva-e2e-line-%1").arg(QCoreApplication::applicationPid());
        const QString lost = QStringLiteral("The serial port %1 was disconnected.").arg(link);
        b.sim.MakeLink(link.toStdString());
        b.form->SPREALCOM->setEditText(link);
        b.form->Button1->click();
        QVERIFY(b.form->Exchange.PortOpen);

        for (const bool pending : {true, false}) {
            const char* when = pending ? "query pending" : "idle";
            b.messages.Clear();
            if (pending) {
                b.form->Button23->click();
                QVERIFY(b.WaitForRequests(1));
                QVERIFY(b.form->Timer3->isEnabled());
            }
            b.sim.Stop();  // the other end of the line disappears, and the path with it
            QVERIFY2(b.WaitForMessage(lost), when);
            QCOMPARE(b.messages.Messages().front().kind, ortiva::RecordedMessage::Kind::Information);
            QCOMPARE(b.form->Button1->text(), QStringLiteral("Open"));
            QVERIFY2(!b.form->Button6->isEnabled(), when);
            QVERIFY2(!b.form->Exchange.PortOpen, when);
            QVERIFY2(!b.form->Comm1->IsOpen(), when);
            Bench::Settle(4000);  // past the 3000 ms reply timeout
            QCOMPARE(b.messages.Texts(), QStringList{lost});

            // The module comes back on the same path and answers from now on.
            // The window offers to open it again; the first time the operator
            // opens it by hand (the offer goes), the second time takes the
            // offer and asks for it to happen by itself from now on.
            b.sim.SetOptions({});
            b.sim.Start();
            b.sim.MakeLink(link.toStdString());
            QVERIFY2(Bench::WaitFor([&] { return b.form->ReconnectOffer != nullptr; }), when);
            QCOMPARE(b.form->ReconnectOffer->text(), QStringLiteral("The serial port %1 is back. Open it?").arg(link));
            QVERIFY2(!b.form->Comm1->IsOpen(), when);
            b.messages.Clear();
            if (pending) {
                b.form->Button1->click();
                QVERIFY(b.form->ReconnectOffer == nullptr);
            } else {
                b.form->ReconnectOffer->checkBox()->setChecked(true);
                b.form->ReconnectOffer->button(QMessageBox::Yes)->click();
                QVERIFY(b.form->ReconnectOffer == nullptr);
            }
            QCOMPARE(b.form->Button1->text(), QStringLiteral("Close"));
            QVERIFY2(b.form->Button6->isEnabled(), when);
            b.form->Button6->click();
            QVERIFY2(Bench::WaitFor([&] { return b.ReceiveBuffer().contains(QLatin1String("QV:")); }), when);
            QVERIFY2(b.messages.Texts().isEmpty(), when);
        }

        // Asked for once, the port is opened again as soon as it is back.
        b.messages.Clear();
        b.sim.Stop();
        QVERIFY(b.WaitForMessage(lost));
        b.sim.Start();
        b.sim.MakeLink(link.toStdString());
        QVERIFY(Bench::WaitFor([&] { return b.form->Exchange.PortOpen; }));
        QVERIFY(b.form->ReconnectOffer == nullptr);
        QCOMPARE(b.form->Button1->text(), QStringLiteral("Close"));
        Bench::ForgetRemembered();
    }

    // The line of the last opening is put back at the next start, and not
    // opened; with nothing remembered the window's own defaults stand.
    void lineIsRememberedBetweenStarts()
    {
        Bench b;
        Bench::ForgetRemembered();
        b.form = std::make_unique<TForm1>();
        const QString defaults[] = {b.form->SPREALCOM->currentText(), b.form->ComboBox11->currentText(),
                                    b.form->ComboBox10->currentText()};
        QCOMPARE(defaults[0], QStringLiteral("COM1"));
        const QString port = QString::fromStdString(b.sim.SlavePath());
        b.form->ComboBox11->setEditText(QStringLiteral("19200"));
        b.form->ComboBox10->setCurrentIndex(2);
        b.form->CheckBox1->setChecked(true);
        QVERIFY(b.Open());
        b.form = std::make_unique<TForm1>();
        QCOMPARE(b.form->SPREALCOM->currentText(), port);
        QCOMPARE(b.form->ComboBox11->currentText(), QStringLiteral("19200"));
        QCOMPARE(b.form->ComboBox10->currentIndex(), 2);
        QVERIFY(b.form->CheckBox1->isChecked());
        QVERIFY(!b.form->CheckBox2->isChecked());
        QVERIFY(!b.form->Comm1->IsOpen());
        Bench::ForgetRemembered();
        b.form = std::make_unique<TForm1>();
        QCOMPARE(b.form->SPREALCOM->currentText(), defaults[0]);
        QCOMPARE(b.form->ComboBox11->currentText(), defaults[1]);
        QCOMPARE(b.form->ComboBox10->currentText(), defaults[2]);
    }

    // The text stays the fixed one; beneath it, the path tried, the system's
    // reason and what to do.
    void openFailuresAreReported()
    {
        Bench b;
        b.form->SPREALCOM->setEditText(QStringLiteral("/dev/ortiva-no-such-port"));
        b.form->Button1->click();
        QCOMPARE(b.messages.Texts(), QStringList{QStringLiteral("Error opening serial port.")});
        QVERIFY2(b.messages.Messages().front().details.startsWith(
                     QLatin1String("Port: /dev/ortiva-no-such-port\nReason: No such file or directory (ENOENT).\n"
                                   "This port does not exist")),
                 qPrintable(b.messages.Messages().front().details));
        QCOMPARE(b.form->Button1->text(), QStringLiteral("Open"));
        QVERIFY(!b.form->Exchange.PortOpen);

        // The module's line held by another opener.
        {
            TComm other;
            other.SetCommName(b.sim.SlavePath());
            other.OpenPort();
            b.messages.Clear();
            QVERIFY(!b.Open());
            QCOMPARE(b.messages.Texts(), QStringList{QStringLiteral("Error opening serial port.")});
            const QString details = b.messages.Messages().front().details;
            const QString holder =
                QStringLiteral("(EBUSY).\nAnother program has the port open: link_e2e_tests (process %1).")
                    .arg(QCoreApplication::applicationPid());
            QVERIFY2(details.contains(holder), qPrintable(details));
        }

        b.messages.Clear();
        b.form->ComboBox11->setEditText(QStringLiteral("96OO"));
        QVERIFY(!b.Open());
        QCOMPARE(b.messages.Texts(), QStringList{QStringLiteral("'96OO' is not a valid integer value.")});
        QVERIFY(b.messages.Messages().front().details.isEmpty());
    }

    void serialSetClosesThePortTwoSecondsLater()
    {
        Bench b;
        QVERIFY(b.Open());
        b.form->ComboBox8->setCurrentIndex(7);
        b.form->ComboBox9->setCurrentIndex(2);
        b.form->Button9->click();
        QCOMPARE(b.SendBuffer(), QStringLiteral("QQS#BA2:72#"));
        QVERIFY(Bench::WaitFor([&] { return !b.form->Exchange.PortOpen; }));
        QCOMPARE(b.form->Button1->text(), QStringLiteral("Open"));
        QVERIFY(!b.form->Button6->isEnabled());
        QVERIFY(b.form->Button23->isEnabled());
        QCOMPARE(b.sim.WithModule([](ortiva::sim::Module& m) { return m.system.baudB * 10 + m.system.parityB; }), 72);
    }
};

QTEST_MAIN(LinkEndToEnd)
#include "link_e2e_test.moc"
