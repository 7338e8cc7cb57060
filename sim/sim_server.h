// Serves a simulated module on a pseudo-terminal: whoever opens the slave
// path talks to the module as over a serial line. Requests are framed by a
// short silence, answered after a delay, and shaped by fault options that
// may be changed from any thread while the server runs.
#pragma once

#include "module.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

namespace ortiva::sim {

// How replies travel on the line.
struct LineOptions {
    int frameGapMs = 20;     // silence that ends a request
    int delayMs = 20;        // from the end of a request to the reply
    bool noReply = false;    // requests still act on the module, nothing is sent
    int splitMs = -1;        // >= 0: the reply in two halves with this pause between them
    bool garbage = false;    // noise bytes before every reply
    bool longReply = false;  // every reply padded to kLongReplySize bytes
    bool verbose = false;    // requests and replies logged to stderr
    bool checkRate = false;  // requests count only when the line is set to the module's
                             // RS232/RS485A rate (a real line garbles them otherwise)
    bool pace = false;       // every byte costs its wire time at the line's rate: a
                             // request ends after 3.5 characters of silence (not
                             // frameGapMs), the reply waits for the request's own
                             // wire time and goes out byte by byte at the rate
};

struct SimOptions {
    LineOptions line;
    ModuleOptions module;
};

inline constexpr std::array<uint8_t, 5> kLineNoise{0x00, 0xFF, 0x13, 0xA5, 0x0D};
inline constexpr size_t kLongReplySize = 600;  // past both 255 characters and 404 bytes
inline constexpr uint8_t kLongReplyFiller = '.';

// The bytes that go on the line for `reply` with the given options (noise,
// padding); empty stays empty.
Bytes ShapeReply(const Bytes& reply, const LineOptions& line);

class SimServer {
public:
    explicit SimServer(SimOptions options = {});
    ~SimServer();  // stops and removes the link
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens the pseudo-terminal and starts serving. Throws std::system_error.
    void Start();
    // Ends serving; the slave path disappears. Safe to call twice.
    void Stop();

    // The path a serial port component opens (valid after Start).
    const std::string& SlavePath() const { return slave_path_; }
    // Makes a symbolic link at `path` to the slave path (an existing link there
    // is replaced, any other file is not). Removed by Stop. Throws std::system_error.
    void MakeLink(const std::string& path);

    SimOptions Options() const;
    void SetOptions(const SimOptions& options);

    // Runs `f` on the module while the server is not using it.
    template <class F>
    auto WithModule(F&& f)
    {
        std::lock_guard lock(mutex_);
        return f(module_);
    }

    // Requests taken off the line so far (counted once answered or dropped).
    size_t RequestsHandled() const;
    // Waits until at least `count` requests were handled, at most `limit`.
    bool WaitForRequests(size_t count, std::chrono::milliseconds limit);
    // Ends the current reply delay or split pause at once (or the next one,
    // when none is under way).
    void CutPause();

private:
    void Run();
    void Serve(const Bytes& request);
    bool Pause(int ms);
    // Unpaced when `character` is zero.
    void WriteAll(const Bytes& bytes, std::chrono::nanoseconds character = {});
    std::chrono::nanoseconds CharacterTime() const;
    void ClearExclusive();
    bool LineMatches(const SystemSettings& system) const;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    SimOptions options_;
    Module module_;
    size_t handled_ = 0;
    bool cut_ = false;
    std::atomic<bool> stopping_{false};

    int master_fd_ = -1;
    int slave_fd_ = -1;  // kept open: no hang-up between the client's opens
    int wake_fd_ = -1;
    std::string slave_path_;
    std::string link_path_;
    std::thread thread_;
};

}  // namespace ortiva::sim
