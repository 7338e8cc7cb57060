#include "one_shot_timer.h"

#include <algorithm>
#include <cmath>

namespace {
double g_timeScale = 1.0;
}

OneShotTimer::OneShotTimer(int intervalMs, QObject* parent) : QObject(parent), interval_(intervalMs)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &OneShotTimer::onTimeout);
}

void OneShotTimer::SetTimeScale(double scale) { g_timeScale = scale > 0 ? scale : 1.0; }

double OneShotTimer::TimeScale() { return g_timeScale; }

void OneShotTimer::start()
{
    const double scaled = std::max(0, interval_) * g_timeScale;
    timer_.start(static_cast<int>(std::lround(scaled)));
}

void OneShotTimer::setEnabled(bool enabled)
{
    if (enabled == enabled_) return;  // a running timer keeps its deadline
    enabled_ = enabled;
    if (enabled_)
        start();
    else
        timer_.stop();
}

void OneShotTimer::setInterval(int ms)
{
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) start();  // a new interval counts from now
}

int OneShotTimer::remainingTime() const
{
    if (!enabled_) return -1;
    const int real = timer_.remainingTime();
    return real < 0 ? -1 : static_cast<int>(std::lround(real / g_timeScale));
}

void OneShotTimer::onTimeout()
{
    enabled_ = false;
    emit fired();
    if (handler_) handler_();
}
