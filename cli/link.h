// The command-line tool's line to the module: TComm with an exchange that
// sends one frame and waits for its reply, ended by the line falling silent,
// up to a timeout. Nothing is held back: a reply is handed over as soon as
// the silence that ends it has passed.
#pragma once

#include <QElapsedTimer>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm_types.h"
#include "exchange_rules.h"

class TComm;
namespace ortiva {
class QtComm;
}

namespace ortiva::cli {

// The PC port could not be opened; the message carries the explanation.
class PortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The module did not answer in time.
class NoReply : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct LinkOptions {
    std::string port;
    uint32_t baud = 9600;
    TParity parity = TParity::None;
    int timeoutMs = 3000;
    int silenceMs = 50;  // line silence that ends a reply
    bool rts = false;    // RTS held on (adapters that switch RS485 direction by it)
    bool dtr = false;
    bool dryRun = false;  // frames are shown, never sent
    std::FILE* log = nullptr;  // -v: every frame sent and received, time-stamped
};

struct LinkStats {
    int frames = 0;                  // frames sent
    std::chrono::nanoseconds wait{};  // from each frame's send to its reply's hand-over
};

class Link {
public:
    explicit Link(LinkOptions options);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Throws PortError. Nothing is opened in a dry run.
    void Open();
    void Close();
    // Closes and opens again with another rate and parity.
    void Reopen(uint32_t baud, TParity parity);

    // Sends the frame and gives the reply's bytes; NoReply when none came
    // within the timeout. In a dry run the frame is printed to `dryOut` and
    // the reply is empty.
    std::vector<uint8_t> Exchange(const Command& command, const std::string& what);

    const LinkOptions& Options() const { return options_; }
    const LinkStats& Stats() const { return stats_; }
    // Where a dry run prints its frames.
    std::FILE* dryOut = stdout;

private:
    void Log(const char* direction, const std::vector<uint8_t>& bytes);

    LinkOptions options_;
    std::unique_ptr<ortiva::QtComm> commHost_;  // delivers comm_'s notices through Qt's event loop
    TComm* comm_ = nullptr;
    LinkStats stats_;
    QElapsedTimer clock_;
};

// The PC-side parity by name: "none", "odd", "even" (any case).
bool ParityByName(const std::string& name, TParity& parity);
// The module's parity list index of a PC parity (0 none, 1 odd, 2 even).
TParity ParityOfIndex(int index);

}  // namespace ortiva::cli
