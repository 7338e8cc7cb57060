// A timer that fires once per enabling, with the semantics the exchange relies on.
//
// - setEnabled(true) on a timer that already runs does not restart it;
// - setInterval() with the interval it already has does not restart it;
// - setInterval() with a different interval restarts a running timer;
// - when it fires it first becomes disabled, then runs its handler.
//
// Tests may shrink every interval with SetTimeScale (the nominal interval
// stays what interval() reports).
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class OneShotTimer : public QObject {
    Q_OBJECT
public:
    explicit OneShotTimer(int intervalMs, QObject* parent = nullptr);

    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }

    void setInterval(int ms);
    int interval() const { return interval_; }

    // Nominal milliseconds until it fires, -1 when disabled.
    int remainingTime() const;

    // Runs after the timer has disabled itself (besides the fired() signal).
    void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

    // Process-wide factor applied to every interval when a timer starts.
    static void SetTimeScale(double scale);
    static double TimeScale();

signals:
    void fired();

private:
    void start();
    void onTimeout();

    QTimer timer_;
    int interval_;
    bool enabled_ = false;
    std::function<void()> handler_;
};
