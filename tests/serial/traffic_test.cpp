// Bytes through the line: how received bytes are cut into chunks, sending,
// the empty-queue notice, closing under load and losing the device.
#include "serial_test_support.h"

using namespace serial_test;

namespace {

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return bytes;
}

// The test thread sends the pieces and sleeps between them without running
// the event loop, so the user-interface thread is busy for the whole time,
// and the receive handler holds it another 300 ms per chunk when asked to.
TEST(CommReceive, ChunksEndAfterTheReadIntervalOfSilence)
{
    struct Piece {
        std::string bytes;
        int pauseAfterMs;
    };
    const struct {
        const char* what;
        std::vector<Piece> pieces;
        std::vector<std::string> chunks;
        int holdMs;
    } cases[] = {
        {"no pause", {{"0123456789", 0}}, {"0123456789"}, 0},
        {"pause after the 4th byte", {{"0123", 500}, {"456789", 0}}, {"0123", "456789"}, 0},
        {"binary bytes and zeros",
         {{std::string("\x00\x13\x11\xff\r\n", 6), 0}},
         {std::string("\x00\x13\x11\xff\r\n", 6)},
         0},
        {"busy user-interface thread",
         {{"AAAA", 500}, {"BBBB", 500}, {"CCCC", 500}, {"DDDD", 0}},
         {"AAAA", "BBBB", "CCCC", "DDDD"},
         300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Pty pty;
        PumpedComm comm;
        Recorder seen;
        seen.Attach(comm);
        seen.holdMs = c.holdMs;
        OpenOn(comm, pty);
        size_t total = 0;
        for (const Piece& piece : c.pieces) {
            pty.Write(piece.bytes);
            total += piece.bytes.size();
            Sleep(piece.pauseAfterMs);
        }
        ASSERT_TRUE(PumpUntil([&] { return seen.Joined().size() >= total; }));
        Pump(300);
        EXPECT_EQ(seen.chunks, c.chunks);
    }
}

TEST(CommReceive, ALongStreamArrivesInOrderInChunksOfAtMost2048Bytes)
{
    const struct {
        size_t size;
        size_t leastChunks;
    } cases[] = {{2048, 1}, {3000, 2}, {20000, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        Pty pty;
        PumpedComm comm;
        Recorder seen;
        seen.Attach(comm);
        OpenOn(comm, pty);
        const std::string sent = Pattern(c.size);
        pty.Write(sent);
        ASSERT_TRUE(PumpUntil([&] { return seen.Joined().size() >= sent.size(); }));
        EXPECT_EQ(seen.Joined(), sent);
        EXPECT_GE(seen.chunks.size(), c.leastChunks);
        for (const std::string& chunk : seen.chunks) {
            EXPECT_LE(chunk.size(), 2048u);
            EXPECT_FALSE(chunk.empty());
        }
    }
}

// A handler that runs the event loop itself (as a message box does) while
// more chunks arrive: the chunks already taken over come first, then the new
// one, each once, whether the nested loop or the outer delivery raises them.
TEST(CommReceive, ANestedEventLoopInAHandlerKeepsTheChunksInOrder)
{
    Pty pty;
    PumpedComm comm;
    std::vector<std::string> chunks;
    int depth = 0;
    int deepest = 0;
    comm.SetOnReceiveData([&](TObject*, const void* buffer, uint16_t length) {
        chunks.emplace_back(static_cast<const char*>(buffer), length);
        deepest = std::max(deepest, depth);
        if (chunks.size() == 1) {
            pty.Write("DDDD");
            Sleep(500);  // DDDD becomes a chunk of its own and is posted meanwhile
            ++depth;
            Pump(300);
            --depth;
        }
    });
    OpenOn(comm, pty);
    for (const char* piece : {"AAAA", "BBBB", "CCCC"}) {
        pty.Write(piece);
        Sleep(400);  // the event loop is not run: the chunks wait together
    }
    ASSERT_TRUE(PumpUntil([&] { return chunks.size() >= 4; }));
    Pump(300);
    EXPECT_EQ(chunks, (std::vector<std::string>{"AAAA", "BBBB", "CCCC", "DDDD"}));
    EXPECT_EQ(deepest, 1) << "the later chunks are raised by the nested loop";
}

TEST(CommSend, ResultOfSendData)
{
    Pty pty;
    PumpedComm comm;
    const char frame[] = "QQS#ADR:001#";
    EXPECT_FALSE(comm.SendData(frame, 12)) << "closed";
    OpenOn(comm, pty);
    EXPECT_FALSE(comm.SendData(frame, 0)) << "nothing to send";
    EXPECT_FALSE(comm.SendData(nullptr, 12)) << "no buffer";
    EXPECT_TRUE(comm.SendData(frame, 12));
    EXPECT_EQ(pty.Read(12), "QQS#ADR:001#");
    comm.ClosePort();
    EXPECT_FALSE(comm.SendData(frame, 12)) << "closed again";
}

TEST(CommSend, BlocksAreWrittenWholeAndInOrder)
{
    Pty pty;
    PumpedComm comm;
    OpenOn(comm, pty);
    // The large block does not fit into the line at once, so the transmit
    // thread has to wait for room in the middle of it.
    const std::vector<std::string> blocks = {"first", Pattern(65535), "third", std::string(1, '\0'), "last"};
    std::string expected;
    for (const std::string& block : blocks) {
        EXPECT_TRUE(comm.SendData(block.data(), static_cast<uint16_t>(block.size())));
        expected += block;
    }
    EXPECT_EQ(pty.Read(expected.size()), expected);
}

#ifdef __linux__
// Holding the line's output back needs a second hold of a pseudo-terminal.
TEST(CommSend, SendDataEmptyOnceAtStartAndOnceEachTimeTheQueueRunsDry)
{
    Pty pty;
    pty.HoldSlave();
    PumpedComm comm;
    Recorder seen;
    seen.Attach(comm);
    OpenOn(comm, pty);
    ASSERT_TRUE(PumpUntil([&] { return seen.empties == 1; }));

    // Output held: three blocks are queued before the first one is out.
    pty.StopOutput();
    for (const char* block : {"one", "two", "six"}) {
        EXPECT_TRUE(comm.SendData(block, 3));
    }
    Pump(300);
    EXPECT_EQ(seen.empties, 1);
    pty.StartOutput();
    EXPECT_EQ(pty.Read(9), "onetwosix");
    ASSERT_TRUE(PumpUntil([&] { return seen.empties == 2; }));

    EXPECT_TRUE(comm.SendData("again", 5));
    EXPECT_EQ(pty.Read(5), "again");
    ASSERT_TRUE(PumpUntil([&] { return seen.empties == 3; }));
    Pump(300);
    EXPECT_EQ(seen.empties, 3);
    EXPECT_EQ(seen.hangups, 0);
}

TEST(CommSend, ClosingWhileAWriteWaitsForTheLineEndsWithoutAHangup)
{
    Pty pty;
    pty.HoldSlave();
    const int descriptors = OpenDescriptors();
    PumpedComm comm;
    Recorder seen;
    seen.Attach(comm);
    OpenOn(comm, pty);
    ASSERT_TRUE(PumpUntil([&] { return seen.empties == 1; }));
    pty.StopOutput();
    const std::string block = Pattern(4000);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(comm.SendData(block.data(), static_cast<uint16_t>(block.size())));
    }
    Sleep(200);  // lets the transmit thread start on the first block
    comm.ClosePort();
    EXPECT_TRUE(NoWorkerThreads());
    EXPECT_EQ(OpenDescriptors(), descriptors);
    Pump(300);
    EXPECT_EQ(seen.hangups, 0);
    EXPECT_EQ(seen.empties, 1);
}

TEST(CommSend, AFullQueueRefusesRequestsAndClosingReleasesTheQueued)
{
    Pty pty;
    pty.HoldSlave();
    PumpedComm comm;
    OpenOn(comm, pty);
    pty.StopOutput();
    int accepted = 0;
    int refused = 0;
    for (int i = 0; i < 20000; ++i) {
        (comm.SendData("x", 1) ? accepted : refused) += 1;
    }
    EXPECT_GT(accepted, 100);
    EXPECT_GT(refused, 0);
    comm.ClosePort();  // every queued copy is released here
    EXPECT_TRUE(NoWorkerThreads());
}

#endif

TEST(CommDeviceLoss, OneHangupThenTheReceiveThreadIsGone)
{
    Pty pty;
    PumpedComm comm;
    Recorder seen;
    seen.Attach(comm);
    OpenOn(comm, pty);
    ASSERT_TRUE(PumpUntil([&] { return seen.empties == 1; }));

    pty.Hangup();
#ifdef __linux__
    ASSERT_TRUE(PumpUntil([&] { return seen.hangups == 1 && ThreadsNamed("TReadThread") == 0; }));
#else
    ASSERT_TRUE(PumpUntil([&] { return seen.hangups == 1; }));
#endif
    Pump(500);
    EXPECT_EQ(seen.hangups, 1);
#ifdef __linux__
    EXPECT_EQ(ThreadsNamed("TWriteThread"), 1);  // idle, waiting for requests
#endif
    EXPECT_TRUE(comm.IsOpen());

    // The transmit thread learns of the loss with its next write, and ends.
    EXPECT_TRUE(comm.SendData("lost", 4));
#ifdef __linux__
    ASSERT_TRUE(PumpUntil([&] { return seen.hangups == 2 && NoWorkerThreads(); }));
#else
    ASSERT_TRUE(PumpUntil([&] { return seen.hangups == 2; }));
    Pump(200);  // the thread ends right after posting its notice
#endif
    EXPECT_FALSE(comm.SendData("lost", 4));

    comm.ClosePort();
    EXPECT_FALSE(comm.IsOpen());
}

}  // namespace
