// The serial component of a Qt window: a QObject in the window's object tree
// that owns a TComm and is its notifier. The worker threads' wake-up becomes
// one posted event per stretch; on it the component's notices are delivered
// on the thread the object belongs to (the user-interface thread), oldest
// first. A handler that runs a nested event loop sees later notices there,
// after the ones before them.
#pragma once

#include "comm_notifier.h"
#include "tcomm.h"

#include <QEvent>
#include <QObject>

#include <atomic>
#include <memory>

namespace ortiva {

class QtComm final : public QObject, public CommNotifier {
public:
    explicit QtComm(QObject* parent = nullptr);
    // Closes the line first; notices not yet delivered are dropped.
    ~QtComm() override;
    QtComm(const QtComm&) = delete;
    QtComm& operator=(const QtComm&) = delete;

    TComm& Comm() { return *FComm; }

    // From a worker thread: posts the wake-up event made ahead of time.
    void Wake() override;

    // The type of the wake-up event.
    static constexpr QEvent::Type kWakeEvent = static_cast<QEvent::Type>(NoticeReceiveData - 1);

protected:
    bool event(QEvent* e) override;

private:
    // The wake-up event the next stretch posts. Made on this object's thread
    // ahead of time, so that a worker thread never allocates one. None while
    // the one posted has not been handled yet: a stretch that starts then is
    // delivered by it (it delivers everything posted before it is handled).
    std::atomic<QEvent*> FSpareWake{nullptr};
    std::unique_ptr<TComm> FComm;
};

}  // namespace ortiva
