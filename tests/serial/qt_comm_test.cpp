// The window's adapter: the component's events raised by Qt's event loop on
// the thread the adapter belongs to, with one posted wake-up per stretch.
#include "qt_comm.h"
#include "serial_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

using namespace serial_test;

namespace {

bool QtPumpUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kDeadlineMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        Sleep(2);
    }
    return true;
}

void QtPump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        Sleep(2);
    }
}

// Counts the wake-up events that reach the adapter.
class WakeCounter : public QObject {
public:
    int wakes = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == ortiva::QtComm::kWakeEvent) {
            ++wakes;
        }
        return false;
    }
};

// A handler that runs the event loop itself (as a message box does) while
// more chunks arrive: the chunks already taken over come first, then the new
// one, each once, whether the nested loop or the outer delivery raises them.
// The chunks that waited together cost one wake-up.
TEST(QtComm, ANestedEventLoopInAHandlerKeepsTheChunksInOrder)
{
    Pty pty;
    ortiva::QtComm host;
    TComm& comm = host.Comm();
    WakeCounter counter;
    host.installEventFilter(&counter);
    std::vector<std::string> chunks;
    int depth = 0;
    int deepest = 0;
    comm.SetOnReceiveData([&](TObject* sender, const void* buffer, uint16_t length) {
        EXPECT_EQ(sender, &comm);
        chunks.emplace_back(static_cast<const char*>(buffer), length);
        deepest = std::max(deepest, depth);
        if (chunks.size() == 1) {
            pty.Write("DDDD");
            Sleep(500);  // DDDD becomes a chunk of its own and is posted meanwhile
            ++depth;
            QtPump(300);
            --depth;
        }
    });
    OpenOn(comm, pty);
    QtPump(100);  // the empty-queue notice of the new transmit thread
    const int wakesAtStart = counter.wakes;
    for (const char* piece : {"AAAA", "BBBB", "CCCC"}) {
        pty.Write(piece);
        Sleep(400);  // the event loop is not run: the chunks wait together
    }
    ASSERT_TRUE(QtPumpUntil([&] { return chunks.size() >= 4; }));
    QtPump(300);
    EXPECT_EQ(chunks, (std::vector<std::string>{"AAAA", "BBBB", "CCCC", "DDDD"}));
    EXPECT_EQ(deepest, 1) << "the later chunks are raised by the nested loop";
    EXPECT_EQ(counter.wakes - wakesAtStart, 2) << "one for the three chunks, one for DDDD";
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
