// The command-line tool's line to the module: TComm with an exchange that
// sends one frame and waits for its reply, up to a timeout. A reply ends as
// soon as its judge finds it whole (every section closed, an acknowledgement
// matched, a frame at its byte count with its check holding); a reply that
// cannot be judged ends when the line falls silent. A reply the judge finds
// incomplete is waited for until the timeout, and handed over as it is then.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm_types.h"
#include "exchange_rules.h"
#include "failure.h"
#include "reply_end.h"

class TComm;

namespace ortiva::cli {

struct LinkOptions {
    std::string port;
    uint32_t baud = 9600;
    TParity parity = TParity::None;
    int timeoutMs = 3000;
    int silenceMs = 50;  // line silence that ends a reply that cannot be judged
    bool rts = false;    // RTS held on (adapters that switch RS485 direction by it)
    bool dtr = false;
    bool dryRun = false;       // frames are shown, never sent
    std::FILE* log = nullptr;  // -v: every frame sent and received, time-stamped
};

struct LinkStats {
    int frames = 0;                   // frames sent
    std::chrono::nanoseconds wait{};  // from each frame's send to its reply's hand-over
    int endedBySilence = 0;           // replies ended by the line's silence, not by their judge
    int endedByTimeout = 0;           // replies still incomplete at the timeout
    std::chrono::nanoseconds wire{};  // the frames' and replies' bytes on the line at its rate
};

// Says where a reply ends, from the bytes received so far.
using ReplyJudge = std::function<ortiva::ReplyEnd(std::span<const uint8_t>)>;

class Link {
public:
    explicit Link(LinkOptions options);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Fails with kExitPort. Nothing is opened in a dry run.
    void Open();
    void Close();
    // Closes and opens again with another rate and parity.
    void Reopen(uint32_t baud, TParity parity);

    // Sends the frame and gives the reply's bytes; kExitNoReply when none came
    // within the timeout, kExitPort as soon as the line goes away. The reply
    // ends where `judge` says, by default the judge of the reply the command
    // awaits (JudgeReply). In a dry run the frame is printed to `dryOut` and
    // the reply is empty.
    std::vector<uint8_t> Exchange(const Command& command, const std::string& what, const ReplyJudge& judge = {});

    const LinkOptions& Options() const { return options_; }
    const LinkStats& Stats() const { return stats_; }
    // Where a dry run prints its frames.
    std::FILE* dryOut = stdout;

private:
    void Log(const char* direction, const std::vector<uint8_t>& bytes);
    // Waits up to `limit` for the line's notices and raises their events on
    // this thread; with 0 only those already waiting. The one place that
    // knows how TComm hands its notices over.
    void WaitOnce(std::chrono::milliseconds limit);
    [[noreturn]] void ThrowLineLost(const std::string& what);

    LinkOptions options_;
    std::unique_ptr<TComm> comm_;
    LinkStats stats_;
    bool lineLost_ = false;
};

// The PC-side parity by name: "none", "odd", "even" (any case).
bool ParityByName(const std::string& name, TParity& parity);
// The module's parity list index of a PC parity (0 none, 1 odd, 2 even).
TParity ParityOfIndex(int index);

}  // namespace ortiva::cli
