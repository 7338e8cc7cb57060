// The tool against the simulated module over a real pseudo-terminal.
//
// Every interval of the window's timers runs at about a third of its nominal
// length (3000 ms reply timeouts take 1050 ms, still far more than a reply
// needs on a loaded machine); the serial component's 100 ms inter-byte
// interval is real.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <functional>
#include <memory>

#include "../app/private_settings.h"
#include "messages.h"
#include "one_shot_timer.h"
#include "sim_server.h"
#include "tform1.h"

inline constexpr double kTimeScale = 0.35;
inline constexpr int kWaitMs = 8000;  // upper bound for a condition to come true, never a timing assertion

class Bench {
public:
    explicit Bench(ortiva::sim::SimOptions options = {}) : sim(options)
    {
        OneShotTimer::SetTimeScale(kTimeScale);
        sim.Start();
        form = std::make_unique<TForm1>();
    }
    ~Bench()
    {
        form.reset();
        sim.Stop();
    }

    // Opens the tool's port on the simulator's line; true when it opened.
    bool Open()
    {
        form->SPREALCOM->setEditText(QString::fromStdString(sim.SlavePath()));
        form->Button1->click();
        return form->Button1->text() == QLatin1String("Close") && form->Exchange.PortOpen;
    }

    // Runs the event loop until `done` holds (or the generous limit passes).
    static bool WaitFor(const std::function<bool()>& done, int limitMs = kWaitMs)
    {
        return QTest::qWaitFor(done, limitMs);
    }

    // Waits until the module has handled `count` requests in all, and the
    // tool has gone back to idle on its reply (no chunk or tick pending).
    bool WaitForRequests(size_t count) { return sim.WaitForRequests(count, std::chrono::milliseconds(kWaitMs)); }

    bool WaitForMessage(const QString& text, int limitMs = kWaitMs)
    {
        return WaitFor([&] { return messages.Texts().contains(text); }, limitMs);
    }

    // Lets queued chunks and ticks run for a while (nominal ms).
    static void Settle(int nominalMs = 1000) { QTest::qWait(int(nominalMs * kTimeScale)); }

    // Drops what the window remembers (the line, reopening by itself).
    static void ForgetRemembered()
    {
        QSettings(QStringLiteral("Ortiva"), QStringLiteral("Ortiva Parameter Configuration")).clear();
    }

    QString ReceiveBuffer() const { return form->Memo10->toPlainText(); }
    QString SendBuffer() const { return form->Edit8->text(); }

    ortiva::MessageCapture messages;
    ortiva::sim::SimServer sim;
    std::unique_ptr<TForm1> form;
};
