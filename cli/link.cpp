#include "link.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "hex_text.h"
#include "port_advice.h"
#include "reply_judge.h"
#include "tcomm.h"
#include "utc_time.h"

namespace ortiva::cli {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

void Link::WaitOnce(std::chrono::milliseconds limit)
{
    if (limit.count() <= 0 || comm_->WaitForNotices(limit)) comm_->DeliverNotices();
}

bool ParityByName(const std::string& name, TParity& parity)
{
    std::string n = name;
    std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return std::tolower(c); });
    if (n == "none")
        parity = TParity::None;
    else if (n == "odd")
        parity = TParity::Odd;
    else if (n == "even")
        parity = TParity::Even;
    else
        return false;
    return true;
}

TParity ParityOfIndex(int index) { return index == 1 ? TParity::Odd : index == 2 ? TParity::Even : TParity::None; }

Link::Link(LinkOptions options) : options_(std::move(options)) {}

Link::~Link() = default;

void Link::Open()
{
    if (options_.dryRun) return;
    lineLost_ = false;
    comm_ = std::make_unique<TComm>();
    comm_->SetBaudRate(options_.baud);
    comm_->SetParity(options_.parity);
    comm_->SetCommName(options_.port);
    comm_->SetOutx_XonXoffFlow(false);
    comm_->SetInx_XonXoffFlow(false);
    // Every read is handed over as it comes: the exchange judges the reply
    // after each, and times the silence itself where it cannot judge.
    comm_->SetReadIntervalTimeout(UINT32_MAX);
    comm_->SetOnRequestHangup([this](auto*) { lineLost_ = true; });
    try {
        comm_->OpenPort();
    } catch (const ECommsError& e) {
        comm_.reset();
        throw Failure(kExitPort, PortErrorText(options_.port, DevicePathFor(options_.port), e));
    }
    comm_->SetDtrControl(options_.dtr ? TDtrControl::DtrEnable : TDtrControl::DtrDisable);
    comm_->SetRtsControl(options_.rts ? TRtsControl::RtsEnable : TRtsControl::RtsDisable);
}

void Link::Close()
{
    if (comm_) comm_->ClosePort();
    comm_.reset();
}

void Link::Reopen(uint32_t baud, TParity parity)
{
    Close();
    options_.baud = baud;
    options_.parity = parity;
    Open();
}

void Link::Log(const char* direction, const std::vector<uint8_t>& bytes)
{
    if (options_.log == nullptr) return;
    // Text as it is; anything with a byte outside printable ASCII as hex.
    const bool text = std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b >= 0x20 && b < 0x7F; });
    const std::string shown = text ? BytesToString(bytes) : HexText(bytes);
    std::fprintf(options_.log, "%s %s %s\n", UtcTimeOfDay().c_str(), direction, shown.c_str());
    std::fflush(options_.log);
}

void Link::ThrowLineLost(const std::string& what)
{
    comm_->SetOnReceiveData(nullptr);
    if (options_.log) std::fprintf(options_.log, "%*s the line went away\n", 15, "");
    throw Failure(kExitPort, "the serial port " + options_.port + " was disconnected during " + what);
}

std::vector<uint8_t> Link::Exchange(const Command& command, const std::string& what, const ReplyJudge& judge)
{
    if (options_.dryRun) {
        const bool hex = command.echo == Echo::Hex;
        const std::string shown = hex ? HexText(command.bytes) : BytesToString(command.bytes);
        std::fprintf(dryOut, "%-40s %s\n", what.c_str(), shown.c_str());
        ++stats_.frames;
        return {};
    }
    if (!comm_) throw Failure(kExitPort, options_.port + ": the port is not open");

    // Whatever came in since the last exchange (a reply after its timeout)
    // belongs to no frame of this one.
    comm_->SetOnReceiveData([this](auto*, const void*, uint16_t length) {
        if (options_.log) std::fprintf(options_.log, "%*s %u late bytes dropped\n", 15, "", unsigned{length});
    });
    WaitOnce(std::chrono::milliseconds(0));
    if (lineLost_) ThrowLineLost(what);

    std::vector<uint8_t> reply;
    Clock::time_point lastBytes{};
    comm_->SetOnReceiveData([&](auto*, const void* buffer, uint16_t length) {
        const auto* b = static_cast<const uint8_t*>(buffer);
        reply.insert(reply.end(), b, b + length);
        lastBytes = Clock::now();
    });

    Log("->", command.bytes);
    const Clock::time_point sent = Clock::now();
    ++stats_.frames;
    if (!comm_->SendData(command.bytes.data(), static_cast<uint16_t>(command.bytes.size()))) {
        comm_->SetOnReceiveData(nullptr);
        if (lineLost_) ThrowLineLost(what);
        throw Failure(kExitPort, options_.port + ": the port refused the frame for " + what);
    }
    const Clock::time_point deadline = sent + std::chrono::milliseconds(options_.timeoutMs);
    const auto silence = std::chrono::milliseconds(std::max(options_.silenceMs, 1));
    size_t judged = 0;  // the reply's length when last judged
    ReplyEnd end = ReplyEnd::Incomplete;
    while (!lineLost_) {
        if (reply.size() != judged) {
            judged = reply.size();
            end = judge ? judge(reply) : JudgeReply(command, reply);
            if (end == ReplyEnd::Complete) break;
        }
        Clock::time_point until = deadline;
        if (end == ReplyEnd::Unjudged) until = std::min(until, lastBytes + silence);
        const Clock::time_point now = Clock::now();
        if (now >= until) {
            if (end == ReplyEnd::Unjudged)
                ++stats_.endedBySilence;
            else if (!reply.empty())
                ++stats_.endedByTimeout;
            break;
        }
        WaitOnce(std::chrono::ceil<std::chrono::milliseconds>(until - now));
    }
    comm_->SetOnReceiveData(nullptr);
    stats_.wait += Clock::now() - sent;
    // A start bit, 8 data bits, a parity bit when there is parity, a stop bit.
    const int64_t bits = options_.parity == TParity::None ? 10 : 11;
    stats_.wire += std::chrono::nanoseconds(static_cast<int64_t>(command.bytes.size() + reply.size()) * bits *
                                            1'000'000'000 / std::max<int64_t>(options_.baud, 1));
    if (reply.empty() && lineLost_) ThrowLineLost(what);
    if (reply.empty()) {
        if (options_.log) std::fprintf(options_.log, "%*s no reply within %d ms\n", 15, "", options_.timeoutMs);
        throw Failure(kExitNoReply, "no reply to " + what + " within " + std::to_string(options_.timeoutMs) + " ms");
    }
    Log("<-", reply);
    return reply;
}

}  // namespace ortiva::cli
