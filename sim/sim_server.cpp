#include "sim_server.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace ortiva::sim {
namespace {

// How often an idle server looks after the line (see ClearExclusive).
constexpr int kIdleTickMs = 50;
// A request that never falls silent is taken as it stands at this size.
constexpr size_t kMaxRequest = 4096;
// A client that reads nothing for this long loses the rest of a reply.
constexpr int kWriteStallMs = 1000;

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

void Log(const char* direction, std::span<const uint8_t> bytes)
{
    std::string shown;
    for (uint8_t b : bytes) shown += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    std::fprintf(stderr, "ortiva-sim %s %zu bytes: %s |%s|\n", direction, bytes.size(), HexDump(bytes).c_str(),
                 shown.c_str());
}

void CloseFd(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

Bytes ShapeReply(const Bytes& reply, const LineOptions& line)
{
    if (reply.empty()) return {};
    const size_t noise = line.garbage ? kLineNoise.size() : 0;
    const size_t size = std::max(noise + reply.size(), line.longReply ? kLongReplySize : size_t{0});
    Bytes out(size, kLongReplyFiller);
    std::copy_n(kLineNoise.begin(), noise, out.begin());
    std::copy(reply.begin(), reply.end(), out.begin() + static_cast<std::ptrdiff_t>(noise));
    return out;
}

SimServer::SimServer(SimOptions options) : options_(options) { module_.options = options.module; }

SimServer::~SimServer() { Stop(); }

void SimServer::Start()
{
    if (thread_.joinable()) return;
    try {
        master_fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_fd_ < 0) Fail("posix_openpt");
        if (::grantpt(master_fd_) != 0) Fail("grantpt");
        if (::unlockpt(master_fd_) != 0) Fail("unlockpt");
        char name[256];
        if (const int rc = ::ptsname_r(master_fd_, name, sizeof name); rc != 0) {
            errno = rc;
            Fail("ptsname_r");
        }
        slave_path_ = name;
        slave_fd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_fd_ < 0) Fail("open pty slave");
        // Raw from the start: no echo, no line editing, no translation.
        termios tio{};
        if (::tcgetattr(slave_fd_, &tio) != 0) Fail("tcgetattr");
        ::cfmakeraw(&tio);
        if (::tcsetattr(slave_fd_, TCSANOW, &tio) != 0) Fail("tcsetattr");
        const int flags = ::fcntl(master_fd_, F_GETFL);
        if (flags < 0 || ::fcntl(master_fd_, F_SETFL, flags | O_NONBLOCK) != 0) Fail("fcntl");
        wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_fd_ < 0) Fail("eventfd");
    } catch (...) {
        CloseFd(wake_fd_);
        CloseFd(slave_fd_);
        CloseFd(master_fd_);
        throw;
    }
    stopping_ = false;
    thread_ = std::thread(&SimServer::Run, this);
}

void SimServer::Stop()
{
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        const uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(wake_fd_, &one, sizeof one);
        thread_.join();
    }
    CloseFd(wake_fd_);
    CloseFd(slave_fd_);
    CloseFd(master_fd_);
    if (!link_path_.empty()) {
        char target[512];
        const ssize_t n = ::readlink(link_path_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<size_t>(n)) == slave_path_) ::unlink(link_path_.c_str());
        link_path_.clear();
    }
}

void SimServer::MakeLink(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            Fail(path.c_str());
        }
        if (::unlink(path.c_str()) != 0) Fail(path.c_str());
    }
    if (::symlink(slave_path_.c_str(), path.c_str()) != 0) Fail(path.c_str());
    link_path_ = path;
}

SimOptions SimServer::Options() const
{
    std::lock_guard lock(mutex_);
    return {options_.line, module_.options};
}

void SimServer::SetOptions(const SimOptions& options)
{
    std::lock_guard lock(mutex_);
    options_.line = options.line;
    module_.options = options.module;
}

size_t SimServer::RequestsHandled() const
{
    std::lock_guard lock(mutex_);
    return handled_;
}

bool SimServer::WaitForRequests(size_t count, std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, limit, [&] { return handled_ >= count; });
}

void SimServer::CutPause()
{
    {
        std::lock_guard lock(mutex_);
        cut_ = true;
    }
    cv_.notify_all();
}

bool SimServer::Pause(int ms)
{
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), [&] { return stopping_.load() || cut_; });
    cut_ = false;
    return !stopping_;
}

// A client that opens the port exclusively (TIOCEXCL) leaves the flag on the
// pseudo-terminal when it closes, because the pair lives on while this server
// holds it; without root it could then never reopen. The server clears it.
void SimServer::ClearExclusive() { ::ioctl(slave_fd_, TIOCNXCL); }

void SimServer::Run()
{
    Bytes pending;
    while (!stopping_) {
        int gap;
        {
            std::lock_guard lock(mutex_);
            gap = std::max(options_.line.frameGapMs, 1);
            if (options_.line.pace) {
                // MODBUS RTU's end of frame: 3.5 characters of silence.
                const auto threeAndHalf = std::chrono::ceil<std::chrono::milliseconds>(CharacterTime() * 7 / 2);
                gap = std::max(static_cast<int>(threeAndHalf.count()), 1);
            }
        }
        pollfd fds[2] = {{master_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
        const int rc = ::poll(fds, 2, pending.empty() ? kIdleTickMs : gap);
        if (rc < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) {
            uint64_t count;
            [[maybe_unused]] const auto n = ::read(wake_fd_, &count, sizeof count);
            continue;  // Stop: the loop condition ends it
        }
        if (fds[0].revents & POLLIN) {
            uint8_t buf[1024];
            ssize_t n;
            while ((n = ::read(master_fd_, buf, sizeof buf)) > 0) pending.insert(pending.end(), buf, buf + n);
            if (pending.size() >= kMaxRequest) {
                Serve(pending);
                pending.clear();
            }
            continue;
        }
        if (fds[0].revents != 0) {
            // Hang-up or error on the master: not expected while the slave is
            // held open; wait instead of spinning.
            pollfd wake{wake_fd_, POLLIN, 0};
            ::poll(&wake, 1, kIdleTickMs);
            continue;
        }
        ClearExclusive();
        if (!pending.empty()) {
            Serve(pending);
            pending.clear();
        }
    }
}

// One character's wire time at the rate the client set on the line: a start
// bit, 8 data bits, the module's parity bit if it has one, a stop bit.
std::chrono::nanoseconds SimServer::CharacterTime() const
{
    static constexpr struct {
        speed_t code;
        long rate;
    } kRates[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},    {B19200, 19200},
                  {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
    long rate = 9600;
    termios tio{};
    if (::tcgetattr(slave_fd_, &tio) == 0) {
        for (const auto& r : kRates)
            if (::cfgetospeed(&tio) == r.code) rate = r.rate;
    }
    const long bits = module_.system.parityA != 0 ? 11 : 10;
    return std::chrono::nanoseconds(bits * 1'000'000'000L / rate);
}

// The line's rate as the client set it against the module's own side A rate.
// (A pseudo-terminal keeps no parity, so only the rate can be compared.)
bool SimServer::LineMatches(const SystemSettings& system) const
{
    static constexpr speed_t kRates[] = {B1200, B2400, B4800, B9600, B19200, B38400, B57600, B115200};
    termios tio{};
    if (::tcgetattr(slave_fd_, &tio) != 0 || system.baudA < 0 || system.baudA > 7) return false;
    return ::cfgetospeed(&tio) == kRates[system.baudA];
}

void SimServer::Serve(const Bytes& request)
{
    LineOptions line;
    Bytes reply;
    std::chrono::nanoseconds character{0};
    const auto arrived = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(mutex_);
        line = options_.line;
        if (!line.checkRate || LineMatches(module_.system)) reply = module_.Handle(request);
        if (line.pace) character = CharacterTime();
    }
    if (line.pace) {
        // The request's own bytes took this long to arrive on a real line.
        std::this_thread::sleep_until(arrived + character * static_cast<long>(request.size()));
    }
    if (line.verbose) Log("<-", request);
    if (!reply.empty() && !line.noReply) {
        const Bytes out = ShapeReply(reply, line);
        if (Pause(line.delayMs)) {
            if (line.splitMs >= 0) {
                const auto half = static_cast<std::ptrdiff_t>(std::max<size_t>(out.size() / 2, 1));
                WriteAll(Bytes(out.begin(), out.begin() + half), character);
                if (Pause(line.splitMs)) WriteAll(Bytes(out.begin() + half, out.end()), character);
            } else {
                WriteAll(out, character);
            }
            if (line.verbose) Log("->", out);
        }
    } else if (line.verbose) {
        std::fprintf(stderr, "ortiva-sim -> no reply\n");
    }
    {
        std::lock_guard lock(mutex_);
        ++handled_;
    }
    cv_.notify_all();
}

void SimServer::WriteAll(const Bytes& bytes, std::chrono::nanoseconds character)
{
    const auto start = std::chrono::steady_clock::now();
    size_t done = 0;
    while (done < bytes.size() && !stopping_) {
        size_t chunk = bytes.size() - done;
        if (character.count() > 0) {
            // Paced: each byte leaves once the ones before it have had their
            // wire time.
            std::this_thread::sleep_until(start + character * static_cast<long>(done));
            chunk = 1;
        }
        const ssize_t n = ::write(master_fd_, bytes.data() + done, chunk);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return;
        pollfd fds[2] = {{master_fd_, POLLOUT, 0}, {wake_fd_, POLLIN, 0}};
        if (::poll(fds, 2, kWriteStallMs) <= 0 || fds[1].revents != 0)
            return;  // nobody reads, or stopping: the rest is lost as on a real line
    }
}

}  // namespace ortiva::sim
