// Opening, closing and reopening a line, and every way an opening can fail.
#include "serial_test_support.h"

#include <sys/file.h>
#include <sys/resource.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <set>

using namespace serial_test;

namespace {

std::string OpenError(TComm& comm)
{
    try {
        comm.OpenPort();
    } catch (const ECommsError& error) {
        return error.what();
    }
    return "(opened)";
}

TEST(CommOpenClose, FreshThreadsAtEachOpeningAndNothingLeftAfterClosing)
{
    Pty pty;
    const int descriptors = OpenDescriptors();
    TComm comm;
    Recorder seen;
    seen.Attach(comm);
    comm.ClosePort();  // closed already: nothing happens
    EXPECT_FALSE(comm.IsOpen());

    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        OpenOn(comm, pty);
        ASSERT_TRUE(comm.IsOpen());
        EXPECT_EQ(ThreadsNamed("TReadThread"), 1);
        EXPECT_EQ(ThreadsNamed("TWriteThread"), 1);
        // A new transmit thread reports its empty queue once.
        ASSERT_TRUE(PumpUntil([&] { return seen.empties == opening; }));

        const std::string frame = "QQQ#QX#" + std::to_string(opening);
        EXPECT_TRUE(comm.SendData(frame.data(), static_cast<uint16_t>(frame.size())));
        EXPECT_EQ(pty.Read(frame.size()), frame);
        pty.Write("ok" + std::to_string(opening));
        ASSERT_TRUE(PumpUntil([&] { return seen.chunks.size() == static_cast<size_t>(opening); }));
        EXPECT_EQ(seen.chunks.back(), "ok" + std::to_string(opening));

        comm.ClosePort();
        EXPECT_FALSE(comm.IsOpen());
        EXPECT_TRUE(NoWorkerThreads());
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
    EXPECT_EQ(seen.hangups, 0);
}

TEST(CommOpenClose, OpeningAnOpenComponentLeavesTheLineWorking)
{
    Pty pty;
    TComm comm;
    Recorder seen;
    seen.Attach(comm);
    OpenOn(comm, pty);
    EXPECT_EQ(OpenError(comm), "This serial port already opened");
    ASSERT_TRUE(comm.IsOpen());
    EXPECT_TRUE(comm.SendData("abc", 3));
    EXPECT_EQ(pty.Read(3), "abc");
    pty.Write("xyz");
    ASSERT_TRUE(PumpUntil([&] { return !seen.chunks.empty(); }));
    EXPECT_EQ(seen.Joined(), "xyz");
}

// Each case makes a name that cannot be opened as a line; afterwards the
// component is closed, holds nothing, and opens the free line at once.
struct FailingName {
    const char* what;
    std::function<std::string(Pty& pty, std::vector<std::unique_ptr<TComm>>& others, int& lockFd)> make;
    const char* error;
};

class CommOpenFailure : public ::testing::TestWithParam<FailingName> {};

TEST_P(CommOpenFailure, RaisesItsTextAndLeavesNothingOpen)
{
    Pty pty;
    std::vector<std::unique_ptr<TComm>> others;
    int lockFd = -1;
    const std::string name = GetParam().make(pty, others, lockFd);
    const int descriptors = OpenDescriptors();
    const int readers = ThreadsNamed("TReadThread");

    TComm comm;
    comm.SetCommName(name);
    EXPECT_EQ(OpenError(comm), GetParam().error);
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(ThreadsNamed("TReadThread"), readers);

    if (lockFd >= 0) {
        ::close(lockFd);
    }
    others.clear();
    OpenOn(comm, pty);
    EXPECT_TRUE(comm.IsOpen());
}

std::string TempFile()
{
    char path[] = "/tmp/ortiva-serial-XXXXXX";
    const int fd = ::mkstemp(path);
    EXPECT_GE(fd, 0);
    ::close(fd);
    return path;
}

const FailingName kFailingNames[] = {
    {"MissingDevice", [](Pty&, auto&, int&) { return std::string("/dev/ortiva-no-such-line"); },
     "Error opening serial port"},
    {"ComNameWithoutDevice", [](Pty&, auto&, int&) { return std::string("COM4000"); },
     "Error opening serial port"},
    {"RegularFile", [](Pty&, auto&, int&) { return TempFile(); }, "File handle is not a comm handle "},
    {"CharacterDeviceThatIsNoLine", [](Pty&, auto&, int&) { return std::string("/dev/null"); },
     "File handle is not a comm handle "},
    {"LineHeldByAnotherComponent",
     [](Pty& pty, std::vector<std::unique_ptr<TComm>>& others, int&) {
         others.push_back(std::make_unique<TComm>());
         OpenOn(*others.back(), pty);
         return pty.Path();
     },
     "Error opening serial port"},
    {"LineLockedByAnotherProgram",
     [](Pty& pty, auto&, int& lockFd) {
         lockFd = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
         EXPECT_EQ(::flock(lockFd, LOCK_EX | LOCK_NB), 0);
         return pty.Path();
     },
     "Error opening serial port"},
};

INSTANTIATE_TEST_SUITE_P(Names, CommOpenFailure, ::testing::ValuesIn(kFailingNames),
                         [](const auto& info) { return std::string(info.param.what); });

// Lowers the descriptor limit so that exactly `free` more descriptors can be
// made, and restores it when it goes out of scope.
class DescriptorLimit {
public:
    explicit DescriptorLimit(int free)
    {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        std::set<int> used;
        if (DIR* dir = ::opendir("/proc/self/fd")) {
            const int own = ::dirfd(dir);
            while (const dirent* entry = ::readdir(dir)) {
                if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != own) {
                    used.insert(std::atoi(entry->d_name));
                }
            }
            ::closedir(dir);
        }
        rlim_t limit = 0;
        for (int left = free; left > 0 || used.count(static_cast<int>(limit)) != 0; ++limit) {
            if (used.count(static_cast<int>(limit)) == 0) {
                --left;
            }
        }
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

TEST(CommOpenClose, RunningOutOfDescriptorsPartWayUndoesTheEarlierSteps)
{
    const struct {
        int free;
        const char* error;
    } cases[] = {
        {0, "Error opening serial port"},
        {1, "Unable to create event"},         // the line takes the last one
        {2, "Unable to create write thread"},  // no room for the transmit queue
    };
    Pty pty;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const int descriptors = OpenDescriptors();
        TComm comm;
        comm.SetCommName(pty.Path());
        // Looked at once the limit is gone: sanitizer checks need descriptors too.
        std::exception_ptr failure;
        {
            DescriptorLimit limit(c.free);
            try {
                comm.OpenPort();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        ASSERT_TRUE(failure);
        try {
            std::rethrow_exception(failure);
        } catch (const ECommsError& error) {
            EXPECT_STREQ(error.what(), c.error);
        }
        EXPECT_FALSE(comm.IsOpen());
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_TRUE(PumpUntil(NoWorkerThreads));
        // Nothing was left locked: the line opens now.
        comm.OpenPort();
        EXPECT_TRUE(comm.IsOpen());
    }
}

TEST(CommOpenClose, DestroyingAnOpenComponentStopsItsThreadsAndDropsPendingNotices)
{
    Pty pty;
    const int descriptors = OpenDescriptors();
    int raised = 0;
    {
        TComm comm;
        comm.SetOnReceiveData([&](QObject*, const void*, uint16_t) { ++raised; });
        OpenOn(comm, pty);
        pty.Write("unread reply");
        Sleep(400);  // the chunk is posted but never handled
    }
    EXPECT_TRUE(NoWorkerThreads());
    EXPECT_EQ(OpenDescriptors(), descriptors);
    Pump(50);
    EXPECT_EQ(raised, 0);
}

TEST(CommDevicePath, ComNamesMapToSerialDevicesOtherNamesAreKept)
{
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},   {"COM2", "/dev/ttyS1"},        {"COM12", "/dev/ttyS11"},
        {"com3", "/dev/ttyS2"},   {"COM0", "COM0"},              {"COM01", "COM01"},
        {"COM", "COM"},           {"COM1x", "COM1x"},            {"COMX", "COMX"},
        {"", ""},                 {"/dev/ttyUSB0", "/dev/ttyUSB0"}, {"/dev/pts/7", "/dev/pts/7"},
        {"COM123456", "COM123456"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ortiva::DevicePathFor(c.name), c.path) << c.name;
    }
}

}  // namespace
