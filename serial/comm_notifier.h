// How the serial component tells its owner that notices wait.
//
// The worker threads queue their notices inside the component; the first one
// queued after the owner last took them (the start of a stretch) calls Wake()
// on the component's notifier, from the worker thread. The owner then calls
// TComm::DeliverNotices() on its own thread, which raises the events of every
// notice waiting. A program without an event loop of its own uses the
// component's built-in waiting instead (TComm::WaitForNotices).
#pragma once

namespace ortiva {

class CommNotifier {
public:
    // From a worker thread, once per stretch. Must not block, and should not
    // allocate: it runs on the receive thread between two reads.
    virtual void Wake() = 0;

protected:
    ~CommNotifier() = default;
};

}  // namespace ortiva
