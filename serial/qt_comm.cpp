#include "qt_comm.h"

#include <QCoreApplication>

namespace ortiva {

QtComm::QtComm(QObject* parent) : QObject(parent)
{
    FSpareWake.store(new QEvent(kWakeEvent), std::memory_order_relaxed);
    FComm = std::make_unique<TComm>(this);
}

QtComm::~QtComm()
{
    FComm.reset();
    // A wake-up event already posted is removed with the object by Qt.
    delete FSpareWake.exchange(nullptr, std::memory_order_acquire);
}

void QtComm::Wake()
{
    if (QEvent* wake = FSpareWake.exchange(nullptr, std::memory_order_acq_rel)) {
        QCoreApplication::postEvent(this, wake);
    }
}

bool QtComm::event(QEvent* e)
{
    if (e->type() == kWakeEvent) {
        // The spare first: a stretch that starts from here on posts it.
        if (FSpareWake.load(std::memory_order_relaxed) == nullptr) {
            FSpareWake.store(new QEvent(kWakeEvent), std::memory_order_release);
        }
        FComm->DeliverNotices();
        return true;
    }
    return QObject::event(e);
}

}  // namespace ortiva
