#include "plan_runner.h"

#include <exception>
#include <utility>

#include "tcomm.h"

namespace ortiva {

PlanRunner::PlanRunner(TComm* comm, QObject* parent) : QObject(parent), comm_(comm)
{
    silence_.setSingleShot(true);
    deadline_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this, [this] { ReplyEnded(); });
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (!reply_.empty()) return;  // the silence timer ends it
        Finish(Outcome::End::Failed, QStringLiteral("No reply to %1 within %2 ms.")
                                         .arg(QString::fromStdString(steps_[current_].caption))
                                         .arg(timeoutMs));
    });
}

void PlanRunner::Run(std::vector<Step> steps, std::function<void(const Outcome&)> finished)
{
    steps_ = std::move(steps);
    finished_ = std::move(finished);
    current_ = 0;
    written_.clear();
    cancelled_ = false;
    busy_ = true;
    if (steps_.empty()) {
        // Told on the event loop, as for a plan that runs.
        QTimer::singleShot(0, this, [this] { Finish(Outcome::End::Done); });
        return;
    }
    SendCurrent();
}

void PlanRunner::SendCurrent()
{
    const Step& step = steps_[current_];
    emit StepStarted(static_cast<int>(current_ + 1), static_cast<int>(steps_.size()),
                     QString::fromStdString(step.caption));
    reply_.clear();
    deadline_.start(timeoutMs);
    if (!comm_->SendData(step.command.bytes.data(), static_cast<uint16_t>(step.command.bytes.size())))
        Finish(Outcome::End::Failed,
               QStringLiteral("The serial port refused the frame for %1.").arg(QString::fromStdString(step.caption)));
}

void PlanRunner::TakeChunk(const uint8_t* data, size_t length)
{
    if (!busy_) return;
    reply_.insert(reply_.end(), data, data + length);
    silence_.start(silenceMs);
}

void PlanRunner::LineLost(const QString& port)
{
    if (!busy_) return;
    Finish(Outcome::End::Failed, QStringLiteral("The serial port %1 was disconnected during %2.")
                                     .arg(port, QString::fromStdString(steps_[current_].caption)));
}

void PlanRunner::ReplyEnded()
{
    if (!busy_) return;
    deadline_.stop();
    const Step& step = steps_[current_];
    try {
        if (step.take) step.take(reply_);
    } catch (const std::exception& e) {
        Finish(Outcome::End::Failed,
               QStringLiteral("%1: %2").arg(QString::fromStdString(step.caption), QString::fromLocal8Bit(e.what())));
        return;
    }
    if (step.write) written_.push_back(step.caption);
    if (++current_ == steps_.size()) {
        Finish(Outcome::End::Done);
        return;
    }
    if (cancelled_) {
        Finish(Outcome::End::Cancelled);
        return;
    }
    SendCurrent();
}

void PlanRunner::Finish(Outcome::End end, const QString& message)
{
    silence_.stop();
    deadline_.stop();
    busy_ = false;
    Outcome outcome{end, message, std::move(written_)};
    written_.clear();
    auto finished = std::move(finished_);
    finished_ = nullptr;
    if (finished) finished(outcome);
}

}  // namespace ortiva
