// Opening, closing and reopening a line, every way an opening can fail and
// what the operator is told about it, and the ports offered for opening.
#include "serial_test_support.h"

#ifdef __linux__
#include "port_catalog.h"

#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>

using namespace serial_test;

namespace {

std::string OpenError(TComm& comm, int* systemError = nullptr)
{
    try {
        comm.OpenPort();
    } catch (const ECommsError& error) {
        if (systemError) *systemError = error.SystemError();
        return error.what();
    }
    return "(opened)";
}

#ifdef __linux__
// This test program run again as another process (see serial_test_main.cpp),
// talking over its standard input and output.
class HelperProcess {
public:
    // prefix: a command that runs the program, e.g. as another user.
    // program: the copy to run ("" for this very program); environment: as
    // given (empty for this process's own).
    HelperProcess(std::vector<std::string> prefix, const std::vector<std::string>& args, std::string program = "",
                  std::vector<std::string> environment = {})
    {
        if (program.empty()) program = SelfPath();
        std::vector<std::string> all = std::move(prefix);
        all.push_back(program);
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);

        int in[2], out[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<char*> envp;
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        EXPECT_EQ(
            ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environment.empty() ? environ : envp.data()),
            0);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }
    ~HelperProcess()
    {
        if (toChild_ >= 0) ::close(toChild_);
        Wait();
        ::close(fromChild_);
    }
    pid_t Pid() const { return pid_; }

    // What the helper wrote up to and including the first line holding `until`
    // (everything when empty), until it ends or the deadline passes.
    std::string Read(const std::string& until = "")
    {
        const Clock::time_point start = Clock::now();
        while (ElapsedMs(start) < kDeadlineMs && (until.empty() || output_.find(until) == std::string::npos)) {
            pollfd wait{fromChild_, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fromChild_, buffer, sizeof buffer);
            if (n <= 0) break;
            output_.append(buffer, static_cast<size_t>(n));
        }
        return output_;
    }

    int Wait()
    {
        if (pid_ > 0) {
            ::waitpid(pid_, &status_, 0);
            pid_ = -pid_;
        }
        return status_;
    }

    static std::string SelfPath()
    {
        char self[4096] = {};
        EXPECT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
        return self;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    int status_ = -1;
    std::string output_;
};

// What a run of this program as another user needs, where that user can
// read it: the checkout may lie in a folder that only its owner can enter.
// A copy of the program in a folder open to all, and the environment with
// the sanitizer's suppressions (named by path in TSAN_OPTIONS) copied there.
class ForOtherUsers {
public:
    ForOtherUsers()
    {
        char folder[] = "/tmp/ortiva-other-user-XXXXXX";
        EXPECT_NE(::mkdtemp(folder), nullptr);
        folder_ = folder;
        ::chmod(folder, 0755);
        program_ = folder_ + "/serial_tests";
        Copy(HelperProcess::SelfPath(), program_, 0755);
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry = *e;
            const std::string key = "TSAN_OPTIONS=";
            if (entry.rfind(key, 0) == 0) {
                const std::string name = "suppressions=";
                const size_t at = entry.find(name);
                if (at != std::string::npos) {
                    const size_t from = at + name.size();
                    const size_t to = entry.find_first_of(" :", from);
                    const std::string copy = folder_ + "/tsan.supp";
                    Copy(entry.substr(from, to == std::string::npos ? std::string::npos : to - from), copy, 0644);
                    entry.replace(from, to == std::string::npos ? std::string::npos : to - from, copy);
                }
            }
            environment_.push_back(entry);
        }
    }
    ~ForOtherUsers()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& Program() const { return program_; }
    const std::vector<std::string>& Environment() const { return environment_; }

private:
    static void Copy(const std::string& from, const std::string& to, mode_t mode)
    {
        std::error_code error;
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
        EXPECT_FALSE(error) << from << ": " << error.message();
        ::chmod(to.c_str(), mode);
    }

    std::string folder_;
    std::string program_;
    std::vector<std::string> environment_;
};
#endif

TEST(CommOpenClose, FreshThreadsAtEachOpeningAndNothingLeftAfterClosing)
{
    Pty pty;
#ifdef __linux__
    const int descriptors = OpenDescriptors();
#endif
    PumpedComm comm;
    Recorder seen;
    seen.Attach(comm);
    comm.ClosePort();  // closed already: nothing happens
    EXPECT_FALSE(comm.IsOpen());

    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        OpenOn(comm, pty);
        ASSERT_TRUE(comm.IsOpen());
#ifdef __linux__
        EXPECT_EQ(ThreadsNamed("TReadThread"), 1);
        EXPECT_EQ(ThreadsNamed("TWriteThread"), 1);
#endif
        // A new transmit thread reports its empty queue once, and once more
        // when the queue has run dry after a write: two per opening.
        ASSERT_TRUE(PumpUntil([&] { return seen.empties == 2 * opening - 1; }));

        const std::string frame = "QQQ#QX#" + std::to_string(opening);
        EXPECT_TRUE(comm.SendData(frame.data(), static_cast<uint16_t>(frame.size())));
        EXPECT_EQ(pty.Read(frame.size()), frame);
        pty.Write("ok" + std::to_string(opening));
        ASSERT_TRUE(PumpUntil([&] { return seen.chunks.size() == static_cast<size_t>(opening); }));
        EXPECT_EQ(seen.chunks.back(), "ok" + std::to_string(opening));
        ASSERT_TRUE(PumpUntil([&] { return seen.empties == 2 * opening; }));

        comm.ClosePort();
        EXPECT_FALSE(comm.IsOpen());
#ifdef __linux__
        EXPECT_TRUE(NoWorkerThreads());
        EXPECT_EQ(OpenDescriptors(), descriptors);
#endif
    }
    EXPECT_EQ(seen.hangups, 0);
}

TEST(CommOpenClose, OpeningAnOpenComponentLeavesTheLineWorking)
{
    Pty pty;
    PumpedComm comm;
    Recorder seen;
    seen.Attach(comm);
    OpenOn(comm, pty);
    int systemError = -1;
    EXPECT_EQ(OpenError(comm, &systemError), "This serial port already opened");
    EXPECT_EQ(systemError, 0);
    ASSERT_TRUE(comm.IsOpen());
    EXPECT_TRUE(comm.SendData("abc", 3));
    EXPECT_EQ(pty.Read(3), "abc");
    pty.Write("xyz");
    ASSERT_TRUE(PumpUntil([&] { return !seen.chunks.empty(); }));
    EXPECT_EQ(seen.Joined(), "xyz");
}

// Each case makes a name that cannot be opened as a line; afterwards the
// component is closed, holds nothing, and opens the free line at once. The
// failure carries the system's error, and the lines shown beneath the text
// name the path tried, the reason and what to do.
struct FailingSetup {
    explicit FailingSetup(Pty& line) : pty(line) {}
    Pty& pty;
    std::vector<std::unique_ptr<TComm>> others;
#ifdef __linux__
    std::unique_ptr<HelperProcess> helper;
    int lockFd = -1;
#endif
};

struct FailingName {
    const char* what;
    std::function<std::string(FailingSetup&)> make;
    const char* error;
    int systemError;
    // Lines expected among the advice; "$PATH" stands for the device tried,
    // "$HOLDER" for the process holding it.
    std::vector<std::string> advice;
};

class CommOpenFailure : public ::testing::TestWithParam<FailingName> {};

#ifdef __linux__
std::string Filled(std::string text, const std::string& path, const std::string& holder)
{
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"$PATH", path}, {"$HOLDER", holder}}) {
        if (const size_t at = text.find(key); at != std::string::npos) text.replace(at, key.size(), value);
    }
    return text;
}
#endif

TEST_P(CommOpenFailure, RaisesItsTextAndLeavesNothingOpen)
{
    Pty pty;
    FailingSetup setup(pty);
    const std::string name = GetParam().make(setup);
#ifdef __linux__
    const int descriptors = OpenDescriptors();
    const int readers = ThreadsNamed("TReadThread");
#endif

    PumpedComm comm;
    comm.SetCommName(name);
    int systemError = -1;
    EXPECT_EQ(OpenError(comm, &systemError), GetParam().error);
    EXPECT_EQ(systemError, GetParam().systemError) << std::strerror(systemError);
    EXPECT_FALSE(comm.IsOpen());
#ifdef __linux__
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(ThreadsNamed("TReadThread"), readers);

    const std::string path = ortiva::DevicePathFor(name);
    const std::string holder = setup.helper ? "serial_tests (process " + std::to_string(setup.helper->Pid()) + ")"
                                            : "serial_tests (process " + std::to_string(::getpid()) + ")";
    const std::string advice = ortiva::OpenFailureAdvice(path, systemError);
    for (const std::string& line : GetParam().advice) {
        EXPECT_NE(advice.find(Filled(line, path, holder)), std::string::npos)
            << "missing: " << Filled(line, path, holder) << "\nin:\n"
            << advice;
    }

    if (setup.lockFd >= 0) {
        ::close(setup.lockFd);
    }
    setup.helper.reset();
#endif
    setup.others.clear();
    OpenOn(comm, pty);
    EXPECT_TRUE(comm.IsOpen());
}

#ifdef _WIN32
std::string TempFile()
{
    char folder[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    EXPECT_NE(::GetTempPathA(MAX_PATH, folder), 0u);
    EXPECT_NE(::GetTempFileNameA(folder, "ort", 0, path), 0u);
    return path;
}

const FailingName kFailingNames[] = {
    {"MissingDevice",
     [](FailingSetup&) { return std::string("\\\\.\\COM199"); },
     "Error opening serial port",
     ERROR_FILE_NOT_FOUND,
     {}},
    {"RegularFile", [](FailingSetup&) { return TempFile(); }, "File handle is not a comm handle ", 0, {}},
};
#else
std::string TempFile()
{
    char path[] = "/tmp/ortiva-serial-XXXXXX";
    const int fd = ::mkstemp(path);
    EXPECT_GE(fd, 0);
    ::close(fd);
    return path;
}

const FailingName kFailingNames[] = {
    {"MissingDevice",
     [](FailingSetup&) { return std::string("/dev/ortiva-no-such-line"); },
     "Error opening serial port",
     ENOENT,
     {"Port: $PATH\nReason: No such file or directory (ENOENT).", "does not exist"}},
    {"ComNameWithoutDevice",
     [](FailingSetup&) { return std::string("COM4000"); },
     "Error opening serial port",
     ENOENT,
     {"Port: /dev/ttyS3999\n", "(ENOENT)"}},
    {"RegularFile",
     [](FailingSetup&) { return TempFile(); },
     "File handle is not a comm handle ",
     ENOTTY,
     {"Port: $PATH\n", "(ENOTTY)", "not a serial port"}},
    {"CharacterDeviceThatIsNoLine",
     [](FailingSetup&) { return std::string("/dev/null"); },
     "File handle is not a comm handle ",
     ENOTTY,
     {"not a serial port"}},
    {"LineHeldByAnotherComponent",
     [](FailingSetup& setup) {
         setup.others.push_back(std::make_unique<PumpedComm>());
         OpenOn(*setup.others.back(), setup.pty);
         return setup.pty.Path();
     },
     "Error opening serial port",
     EBUSY,
     {"Port: $PATH\nReason: Device or resource busy (EBUSY).", "Another program has the port open: $HOLDER."}},
    {"LineLockedByAnotherProgram",
     [](FailingSetup& setup) {
         setup.lockFd = ::open(setup.pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
         EXPECT_EQ(::flock(setup.lockFd, LOCK_EX | LOCK_NB), 0);
         return setup.pty.Path();
     },
     "Error opening serial port",
     EBUSY,
     {"(EBUSY)", "Another program has the port open: $HOLDER."}},
    {"LineOpenInAnotherProcess",
     [](FailingSetup& setup) {
         setup.helper = std::make_unique<HelperProcess>(std::vector<std::string>{},
                                                        std::vector<std::string>{"--hold-line", setup.pty.Path()});
         EXPECT_NE(setup.helper->Read("held").find("held"), std::string::npos);
         return setup.pty.Path();
     },
     "Error opening serial port",
     EBUSY,
     {"(EBUSY)", "Another program has the port open: $HOLDER."}},
};
#endif

INSTANTIATE_TEST_SUITE_P(Names, CommOpenFailure, ::testing::ValuesIn(kFailingNames),
                         [](const auto& row) { return std::string(row.param.what); });

#ifdef __linux__
// A line of group dialout that the test's user may not open, opened by a
// second run of this program as user nobody.
TEST(CommOpenFailureAdvice, PermissionDeniedNamesTheGroupAndTheCommandThatAddsTheUser)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "not root: cannot run the opening as another user, and a line the own user is kept from "
                        "needs another owner";
    }
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr) {
        GTEST_SKIP() << "this system has no group dialout";
    }
    Pty pty;
    ASSERT_EQ(::chown(pty.Path().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(pty.Path().c_str(), 0660), 0);
    const ForOtherUsers shared;
    HelperProcess opener({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"},
                         {"--open-report", pty.Path()}, shared.Program(), shared.Environment());
    const std::string report = opener.Read();
    EXPECT_EQ(opener.Wait(), 0) << report;
    const std::string head = "Error opening serial port\n" + std::to_string(EACCES) + "\nPort: " + pty.Path() +
                             "\nReason: Permission denied (EACCES).\n";
    EXPECT_EQ(report.substr(0, head.size()), head);
    for (const char* line : {"The port belongs to the group \"dialout\", and user \"nobody\" is not in it.",
                             "\n    sudo usermod -aG dialout nobody\n", "log out and back in."}) {
        EXPECT_NE(report.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << report;
    }
}

TEST(PortCatalog, OneItemPerDeviceInNaturalOrderWithWhatTellsThemApart)
{
    const std::vector<ortiva::PortRecord> records = {
        {"/dev/ttyUSB10", "USB-Serial Controller", "Maker B", "", ""},
        {"/dev/ttyUSB2", "USB UART", "Maker A", "A50285BI",
         "/dev/serial/by-id/usb-Maker_A_USB_UART_A50285BI-if00-port0"},
        {"/dev/ttyACM0", "CDC Device", "", "", ""},
        {"/dev/ttyS4", "", "", "", ""},                                   // no description at all
        {"/dev/ttyUSB2", "Other name", "", "", ""},                       // the same device again
        {"/dev/ttyACM0", "", "Maker C", "7", "/dev/serial/by-id/usb-C"},  // adds what the first one lacked
        {"", "no path", "", "", ""},
    };
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/dev/ttyACM0", "CDC Device\nManufacturer: Maker C\nSerial number: 7\n/dev/serial/by-id/usb-C"},
        {"/dev/ttyS4", ""},
        {"/dev/ttyUSB2", "USB UART\nManufacturer: Maker A\nSerial number: A50285BI\n"
                         "/dev/serial/by-id/usb-Maker_A_USB_UART_A50285BI-if00-port0"},
        {"/dev/ttyUSB10", "USB-Serial Controller\nManufacturer: Maker B"},
    };
    const std::vector<ortiva::PortItem> items = ortiva::PortListItems(records);
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].text, expected[i].first);
        EXPECT_EQ(items[i].toolTip, expected[i].second);
    }
    EXPECT_TRUE(ortiva::PortListItems({}).empty());

    // A missing port is answered with the ports that are there.
    EXPECT_EQ(ortiva::OpenFailureAdvice("/dev/ttyUSB0", ENOENT, records),
              "Port: /dev/ttyUSB0\nReason: No such file or directory (ENOENT).\n"
              "This port does not exist on this computer. Is the adapter plugged in?\n"
              "Serial ports present on this computer:\n"
              "    /dev/ttyACM0  CDC Device\n    /dev/ttyS4\n    /dev/ttyUSB2  USB UART\n"
              "    /dev/ttyUSB10  USB-Serial Controller");
    EXPECT_EQ(ortiva::OpenFailureAdvice("/dev/ttyUSB0", ENOENT, {}),
              "Port: /dev/ttyUSB0\nReason: No such file or directory (ENOENT).\n"
              "This port does not exist on this computer. Is the adapter plugged in?\n"
              "No other serial port was found on this computer.");
}

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
    };                                         // each failing with EMFILE
    Pty pty;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const int descriptors = OpenDescriptors();
        PumpedComm comm;
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
            EXPECT_EQ(error.SystemError(), EMFILE);
        }
        EXPECT_FALSE(comm.IsOpen());
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_TRUE(PumpUntil(NoWorkerThreads));
        // Nothing was left locked: the line opens now.
        comm.OpenPort();
        EXPECT_TRUE(comm.IsOpen());
    }
}

#endif

TEST(CommOpenClose, DestroyingAnOpenComponentStopsItsThreadsAndDropsPendingNotices)
{
    Pty pty;
#ifdef __linux__
    const int descriptors = OpenDescriptors();
#endif
    int raised = 0;
    {
        PumpedComm comm;
        comm.SetOnReceiveData([&](TObject*, const void*, uint16_t) { ++raised; });
        OpenOn(comm, pty);
        pty.Write("unread reply");
        Sleep(400);  // the chunk is posted but never handled
    }
#ifdef __linux__
    EXPECT_TRUE(NoWorkerThreads());
    EXPECT_EQ(OpenDescriptors(), descriptors);
#endif
    Pump(50);
    EXPECT_EQ(raised, 0);
}

#ifdef __linux__
TEST(CommDevicePath, ComNamesMapToSerialDevicesOtherNamesAreKept)
{
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM2", "/dev/ttyS1"},
        {"COM12", "/dev/ttyS11"},
        {"com3", "/dev/ttyS2"},
        {"COM0", "COM0"},
        {"COM01", "COM01"},
        {"COM", "COM"},
        {"COM1x", "COM1x"},
        {"COMX", "COMX"},
        {"", ""},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/pts/7", "/dev/pts/7"},
        {"COM123456", "COM123456"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ortiva::DevicePathFor(c.name), c.path) << c.name;
    }
}

#endif

}  // namespace

#ifdef __linux__
namespace serial_test {

int HoldLine(const std::string& path)
{
    PumpedComm comm;
    comm.SetCommName(path);
    comm.OpenPort();
    std::printf("held\n");
    std::fflush(stdout);
    char byte;
    while (::read(0, &byte, 1) > 0) {}
    return 0;
}

int OpenReport(const std::string& path)
{
    PumpedComm comm;
    comm.SetCommName(path);
    std::string report = "(opened)\n";
    try {
        comm.OpenPort();
    } catch (const ECommsError& error) {
        report = std::string(error.what()) + "\n" + std::to_string(error.SystemError()) + "\n" +
                 ortiva::OpenFailureAdvice(ortiva::DevicePathFor(path), error.SystemError()) + "\n";
    }
    std::fputs(report.c_str(), stdout);
    return 0;
}

}  // namespace serial_test
#endif
