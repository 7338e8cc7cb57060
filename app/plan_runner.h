// Runs a profile plan (a read, a restore) over the window's Comm1 without
// holding up the event loop: sends a step's frame, collects its reply from
// Comm1's receive events, hands it to the step, goes on with the next.
//
// A reply ends as ortiva-cli ends one: when the line has stayed silent for
// a while after the last chunk (here 50 ms after Comm1 handed a chunk over,
// which it does after its own 100 ms inter-byte interval), or fails when no
// byte came within 3000 ms. Nothing is retried.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "exchange_rules.h"

class TComm;

namespace ortiva {

class PlanRunner : public QObject {
    Q_OBJECT
public:
    struct Step {
        std::string caption;  // "Device 2: output formats"
        Command command;
        bool write = false;  // a write: counted among the groups written once acknowledged
        // Told the reply; an exception stops the run, its message naming what failed.
        std::function<void(const std::vector<uint8_t>& reply)> take;
    };
    struct Outcome {
        enum class End { Done, Cancelled, Failed };
        End end = End::Done;
        QString message;                   // Failed: what went wrong, at which step
        std::vector<std::string> written;  // captions of the writes acknowledged, in order
    };

    PlanRunner(TComm* comm, QObject* parent);

    // Starts the steps; `finished` is called once, on the event loop.
    void Run(std::vector<Step> steps, std::function<void(const Outcome&)> finished);
    bool Busy() const { return busy_; }
    // Stops once the step on the line has been answered (or has failed).
    void Cancel() { cancelled_ = true; }
    // A chunk from Comm1 while busy.
    void TakeChunk(const uint8_t* data, size_t length);
    // The line went away.
    void LineLost(const QString& port);

    int silenceMs = 50;
    int timeoutMs = 3000;

signals:
    // Before each step's frame goes out (number from 1).
    void StepStarted(int number, int count, const QString& caption);

private:
    void SendCurrent();
    void ReplyEnded();
    void Finish(Outcome::End end, const QString& message = {});

    TComm* comm_;
    std::vector<Step> steps_;
    size_t current_ = 0;
    std::vector<uint8_t> reply_;
    QTimer silence_;
    QTimer deadline_;
    bool busy_ = false;
    bool cancelled_ = false;
    std::vector<std::string> written_;
    std::function<void(const Outcome&)> finished_;
};

}  // namespace ortiva
