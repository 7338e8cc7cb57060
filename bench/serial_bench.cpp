// Receive throughput and idle cost of the serial component, over
// pseudo-terminals.
//
//   serial_bench [megabytes=50] [idle-seconds=10] [rounds=5] [readers=bare,tcomm,qt]
//
// A producer process pushes the stream into the master side as fast as it
// goes; three readers take it from the slave side in turn:
//   bare   a loop of blocking read()s as large as the line gives (the machine's limit)
//   TComm  OnReceiveData raised on the Qt user-interface thread
//   Qt     QSerialPort's readyRead/readAll on the same thread (reference)
// A "megabyte" is 2^20 bytes here, so that a stream is a whole number of
// TComm's 2048-byte chunks: its last chunk is full and handed over at once
// instead of after the read interval's silence, which is not transfer time.
// Each run is timed from the producer's start to the moment the last byte
// reaches the reader's own code (the read() that returns it, the handler that
// is given it), and its CPU is taken at that moment too. All readers run at
// the process's priority: TComm's threads, which raise their own, are set
// back to it right after the port is opened.
// The readers take turns for the given number of rounds. Per reader: bytes/s
// and CPU seconds per MB spent by this process (the producer is not counted)
// as median, min and max over the rounds (other work on the machine moves
// single runs a lot), bytes lost, bytes that arrived wrong, and context
// switches of this process per MB (how often its threads slept); then the
// ratios of TComm to the bare reader and to QSerialPort. Then an open TComm on
// a silent line: voluntary context switches of its two threads per second;
// and the process's CPU use after the line's other side has gone.
#include "qt_comm.h"
#include "tcomm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kPeriod = 4093;               // the stream repeats with a prime period
constexpr size_t kProducerWrite = 65536;       // bytes per write of the producer
constexpr int kStallMs = 3000;                 // no byte for this long ends a run
constexpr double kMegabyte = 1024.0 * 1024.0;  // a whole number of 2048-byte chunks

std::vector<char> MakePattern()
{
    std::vector<char> pattern(kPeriod + kProducerWrite);
    for (size_t i = 0; i < pattern.size(); ++i) {
        pattern[i] = static_cast<char>((i % kPeriod) * 131 % 256);
    }
    return pattern;
}

const std::vector<char> kPattern = MakePattern();

// Counts what arrived and checks it against the stream's pattern.
struct Tally {
    size_t received = 0;
    size_t wrong = 0;

    void Add(const char* bytes, size_t count)
    {
        while (count > 0) {
            const size_t piece = std::min(count, kProducerWrite);
            if (std::memcmp(bytes, kPattern.data() + received % kPeriod, piece) != 0) {
                for (size_t i = 0; i < piece; ++i) {
                    wrong += bytes[i] != kPattern[(received + i) % kPeriod];
                }
            }
            received += piece;
            bytes += piece;
            count -= piece;
        }
    }
};

struct Pty {
    int master = -1;
    std::string path;

    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            std::perror("posix_openpt");
            std::exit(1);
        }
        char name[128];
        ::ptsname_r(master, name, sizeof name);
        path = name;
    }
    ~Pty() { Close(); }
    void Close()
    {
        if (master >= 0) {
            ::close(master);
            master = -1;
        }
    }
};

// Writes `total` bytes of the pattern into the master side from a child
// process, which then ends; the parent keeps its own master descriptor.
pid_t StartProducer(int master, size_t total)
{
    const pid_t child = ::fork();
    if (child == 0) {
        size_t sent = 0;
        while (sent < total) {
            const size_t piece = std::min(kProducerWrite, total - sent);
            const ssize_t put = ::write(master, kPattern.data() + sent % kPeriod, piece);
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                ::_exit(1);
            }
            sent += static_cast<size_t>(put);
        }
        ::_exit(0);
    }
    return child;
}

// Context switches of this process so far, voluntary and forced.
long ContextSwitches()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Result {
    double seconds = 0;  // up to the last byte's arrival
    double cpu = 0;
    double readerCpu = 0;  // TComm only: its receive thread's share
    long switches = 0;
    size_t total = 0;
    Tally tally;
};

// Medians over the rounds of one reader.
struct Summary {
    explicit Summary(const char* label) : name(label) {}

    const char* name;
    std::vector<double> rates;
    std::vector<double> cpuPerMb;
    std::vector<double> readerCpuPerMb;
    std::vector<double> switchesPerMb;
    size_t lost = 0;
    size_t wrong = 0;

    void Add(const Result& r)
    {
        const double mb = static_cast<double>(r.total) / kMegabyte;
        rates.push_back(static_cast<double>(r.tally.received) / r.seconds);
        cpuPerMb.push_back(r.cpu / mb);
        readerCpuPerMb.push_back(r.readerCpu / mb);
        switchesPerMb.push_back(static_cast<double>(r.switches) / mb);
        lost += r.total - std::min(r.total, r.tally.received);
        wrong += r.tally.wrong;
    }
    static double Median(std::vector<double> values)
    {
        if (values.empty()) {
            return 0;
        }
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    static double Min(const std::vector<double>& values)
    {
        return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
    }
    static double Max(const std::vector<double>& values)
    {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
    double Rate() const { return Median(rates); }
    double Cpu() const { return Median(cpuPerMb); }
    void Print() const
    {
        std::printf("%-6s %8.1f %8.1f %8.1f %9.4f %9.4f %9.4f %8zu %8zu %9.0f\n", name, Rate() / kMegabyte,
                    Min(rates) / kMegabyte, Max(rates) / kMegabyte, Cpu(), Min(cpuPerMb), Max(cpuPerMb), lost, wrong,
                    Median(switchesPerMb));
    }
};

// CPU seconds used so far by the threads with the given name.
double ThreadCpuSeconds(const std::string& wanted)
{
    double seconds = 0;
    DIR* dir = ::opendir("/proc/self/task");
    while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream commFile(base + "/comm");
        std::string name;
        std::getline(commFile, name);
        if (name != wanted) {
            continue;
        }
        std::ifstream statFile(base + "/stat");
        std::string stat;
        std::getline(statFile, stat);
        // Fields after the name in parentheses; utime and stime are the 12th and 13th of them.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        for (int i = 1; i <= 13 && fields >> field; ++i) {
            if (i >= 12) {
                ticks += std::stod(field);
            }
        }
        seconds += ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return seconds;
}

void SetRaw(int fd)
{
    termios line{};
    ::tcgetattr(fd, &line);
    ::cfmakeraw(&line);
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &line);
}

// Blocking reads as large as the line gives; 3 s of silence ends the run.
Result RunBare(size_t total)
{
    Pty pty;
    Result result;
    result.total = total;
    const int fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    SetRaw(fd);
    termios line{};
    ::tcgetattr(fd, &line);
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = kStallMs / 100;
    ::tcsetattr(fd, TCSANOW, &line);
    std::vector<char> buffer(kProducerWrite);
    const long switches = ContextSwitches();
    const double cpu = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const pid_t producer = StartProducer(pty.master, total);
    while (result.tally.received < total) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got <= 0) {
            break;
        }
        result.tally.Add(buffer.data(), static_cast<size_t>(got));
    }
    result.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    result.cpu = CpuSeconds() - cpu;
    result.switches = ContextSwitches() - switches;
    ::waitpid(producer, nullptr, 0);
    ::close(fd);
    return result;
}

// Runs the loop until a handler quits it, or no byte has come for a while.
void RunUntilQuitOrStalled(QEventLoop& loop, const Tally& tally)
{
    size_t seen = 0;
    QElapsedTimer quiet;
    quiet.start();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (tally.received != seen) {
            seen = tally.received;
            quiet.restart();
        } else if (quiet.elapsed() > kStallMs) {
            loop.quit();
        }
    });
    watch.start(200);
    loop.exec();
}

// The measuring window of one run: opened when the producer starts, closed
// when the last byte reaches the reader's code (or, for a run that stalls,
// when it is given up).
class Stopwatch {
public:
    void Start()
    {
        switches_ = ContextSwitches();
        cpu_ = CpuSeconds();
        clock_.start();
    }
    void Stop(Result& result)
    {
        if (stopped_) {
            return;
        }
        stopped_ = true;
        result.seconds = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
        result.cpu = CpuSeconds() - cpu_;
        result.switches = ContextSwitches() - switches_;
    }

private:
    QElapsedTimer clock_;
    double cpu_ = 0;
    long switches_ = 0;
    bool stopped_ = false;
};

// Starts the producer and runs the event loop until the reader has it all
// (its handler stops the watch and quits) or stalls. Gives the producer, for
// the caller to reap once its reader is closed.
pid_t MeasureEventLoopReader(QEventLoop& loop, const Pty& pty, size_t total, Result& result, Stopwatch& watch)
{
    watch.Start();
    const pid_t producer = StartProducer(pty.master, total);
    RunUntilQuitOrStalled(loop, result.tally);
    watch.Stop(result);
    return producer;
}

// The nice value of this process's threads with the given name set to the
// process's own.
void SameNiceAsProcess(const std::string& wanted)
{
    errno = 0;
    const int base = ::getpriority(PRIO_PROCESS, 0);
    DIR* dir = ::opendir("/proc/self/task");
    while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
        std::ifstream commFile(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(commFile, name);
        if (name == wanted && errno == 0) {
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(std::atoi(entry->d_name)), base);
        }
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
}

Result RunTComm(size_t total)
{
    Pty pty;
    Result result;
    result.total = total;
    ortiva::QtComm host;
    TComm& comm = host.Comm();
    comm.SetCommName(pty.path);
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    QEventLoop loop;
    Stopwatch watch;
    comm.SetOnReceiveData([&](TObject*, const void* buffer, uint16_t length) {
        result.tally.Add(static_cast<const char*>(buffer), length);
        if (result.tally.received >= total) {
            watch.Stop(result);
            loop.quit();
        }
    });
    comm.OpenPort();
    SameNiceAsProcess("TReadThread");
    SameNiceAsProcess("TWriteThread");
    const pid_t producer = MeasureEventLoopReader(loop, pty, total, result, watch);
    result.readerCpu = ThreadCpuSeconds("TReadThread");
    comm.ClosePort();
    ::waitpid(producer, nullptr, 0);
    return result;
}

Result RunQSerialPort(size_t total)
{
    Pty pty;
    Result result;
    result.total = total;
    QSerialPort port;
    port.setPortName(QString::fromStdString(pty.path));
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "QSerialPort: %s\n", qPrintable(port.errorString()));
        return result;
    }
    port.setBaudRate(9600);
    QEventLoop loop;
    Stopwatch watch;
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        const QByteArray bytes = port.readAll();
        result.tally.Add(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (result.tally.received >= total) {
            watch.Stop(result);
            loop.quit();
        }
    });
    const pid_t producer = MeasureEventLoopReader(loop, pty, total, result, watch);
    port.close();
    ::waitpid(producer, nullptr, 0);
    return result;
}

// Voluntary context switches of the threads with the given names.
long SwitchesOf(const std::vector<std::string>& names)
{
    long switches = 0;
    DIR* dir = ::opendir("/proc/self/task");
    while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream commFile(base + "/comm");
        std::string name;
        std::getline(commFile, name);
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            continue;
        }
        std::ifstream status(base + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                switches += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return switches;
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double ProcessCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const size_t total = megabytes * static_cast<size_t>(kMegabyte);
    const int rounds = std::max(1, argc > 3 ? std::atoi(argv[3]) : 5);
    const std::string readers = argc > 4 ? argv[4] : "bare,tcomm,qt";
    const auto wanted = [&](const char* reader) { return readers.find(reader) != std::string::npos; };
    ::signal(SIGPIPE, SIG_IGN);

    std::printf("%zu MB (2^20 bytes) through a pseudo-terminal per run, producer writes %zu bytes at a time, "
                "%d rounds, all readers at nice %d\n",
                megabytes, kProducerWrite, rounds, ::getpriority(PRIO_PROCESS, 0));
    Summary bare{"bare"};
    Summary tcomm{"TComm"};
    Summary qt{"Qt"};
    for (int round = 0; round < rounds; ++round) {
        if (wanted("bare")) {
            bare.Add(RunBare(total));
        }
        if (wanted("tcomm")) {
            tcomm.Add(RunTComm(total));
        }
        if (wanted("qt")) {
            qt.Add(RunQSerialPort(total));
        }
    }
    std::printf("%-6s %26s %29s %8s %8s %9s\n", "", "MB/s", "CPU s/MB", "", "", "");
    std::printf("%-6s %8s %8s %8s %9s %9s %9s %8s %8s %9s\n", "reader", "median", "min", "max", "median", "min", "max",
                "lost", "wrong", "cswitch/MB");
    for (const Summary* summary : {&bare, &tcomm, &qt}) {
        if (!summary->rates.empty()) {
            summary->Print();
        }
    }
    if (!tcomm.rates.empty()) {
        std::printf("of TComm's CPU per MB, its receive thread: %.4f s/MB (median)\n",
                    Summary::Median(tcomm.readerCpuPerMb));
    }
    // Ratios of the medians, and their range over the rounds (each round's
    // readers ran one after the other, under much the same load).
    const auto ratios = [&](const char* what, const std::vector<double>& mine, const std::vector<double>& theirs) {
        std::vector<double> perRound;
        for (size_t i = 0; i < std::min(mine.size(), theirs.size()); ++i) {
            perRound.push_back(mine[i] / theirs[i]);
        }
        std::printf("  %-22s %6.2f   (per round: min %.2f, max %.2f)\n", what,
                    Summary::Median(mine) / Summary::Median(theirs), Summary::Min(perRound), Summary::Max(perRound));
    };
    if (!tcomm.rates.empty() && !bare.rates.empty()) {
        std::printf("TComm / bare, medians:\n");
        ratios("throughput", tcomm.rates, bare.rates);
        ratios("CPU per MB", tcomm.cpuPerMb, bare.cpuPerMb);
    }
    if (!tcomm.rates.empty() && !qt.rates.empty()) {
        std::printf("TComm / QSerialPort, medians:\n");
        ratios("throughput", tcomm.rates, qt.rates);
        ratios("CPU per MB", tcomm.cpuPerMb, qt.cpuPerMb);
    }
    if (idleSeconds <= 0) {
        return 0;
    }

    // An open line with nothing on it.
    Pty silent;
    ortiva::QtComm host;
    TComm& comm = host.Comm();
    int hangups = 0;
    comm.SetCommName(silent.path);
    comm.SetOnRequestHangup([&](TObject*) { ++hangups; });
    comm.OpenPort();
    RunFor(300);
    const long before = SwitchesOf({"TReadThread", "TWriteThread"});
    RunFor(idleSeconds * 1000);
    const long after = SwitchesOf({"TReadThread", "TWriteThread"});
    std::printf("silent open line, %d s: %.2f wake-ups/s of TComm's threads\n", idleSeconds,
                static_cast<double>(after - before) / idleSeconds);

    // The other side goes away.
    silent.Close();
    RunFor(300);
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    RunFor(3000);
    const double share = (ProcessCpuSeconds() - cpuBefore) / (static_cast<double>(clock.nsecsElapsed()) / 1e9);
    std::printf("after device loss (%d hangup notice%s), 3 s: %.3f %% CPU\n", hangups, hangups == 1 ? "" : "s",
                share * 100);
    comm.ClosePort();
    return 0;
}
