#include "link.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cctype>

#include "hex_text.h"
#include "port_advice.h"
#include "posix_line.h"
#include "qt_comm.h"
#include "tcomm.h"

namespace ortiva::cli {

bool ParityByName(const std::string& name, TParity& parity)
{
    std::string n = name;
    std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return std::tolower(c); });
    if (n == "none") parity = TParity::None;
    else if (n == "odd") parity = TParity::Odd;
    else if (n == "even") parity = TParity::Even;
    else return false;
    return true;
}

TParity ParityOfIndex(int index)
{
    return index == 1 ? TParity::Odd : index == 2 ? TParity::Even : TParity::None;
}

Link::Link(LinkOptions options) : options_(std::move(options))
{
    clock_.start();
}

Link::~Link() = default;

void Link::Open()
{
    if (options_.dryRun) return;
    commHost_ = std::make_unique<ortiva::QtComm>();
    comm_ = &commHost_->Comm();
    comm_->SetBaudRate(options_.baud);
    comm_->SetParity(options_.parity);
    comm_->SetCommName(options_.port);
    comm_->SetOutx_XonXoffFlow(false);
    comm_->SetInx_XonXoffFlow(false);
    // A reply is one chunk: the receive thread hands it over once the line
    // has been silent this long.
    comm_->SetReadIntervalTimeout(static_cast<uint32_t>(std::max(options_.silenceMs, 1)));
    try {
        comm_->OpenPort();
    } catch (const ECommsError& e) {
        commHost_.reset();
        comm_ = nullptr;
        throw PortError(PortErrorText(options_.port, ortiva::DevicePathFor(options_.port), e));
    }
    comm_->SetDtrControl(options_.dtr ? TDtrControl::DtrEnable : TDtrControl::DtrDisable);
    comm_->SetRtsControl(options_.rts ? TRtsControl::RtsEnable : TRtsControl::RtsDisable);
}

void Link::Close()
{
    if (comm_) comm_->ClosePort();
    commHost_.reset();
    comm_ = nullptr;
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
    const QString now = QDateTime::currentDateTimeUtc().toString(QStringLiteral("HH:mm:ss.zzz"));
    std::fprintf(options_.log, "%s %s %s\n", now.toUtf8().constData(), direction, shown.c_str());
    std::fflush(options_.log);
}

std::vector<uint8_t> Link::Exchange(const Command& command, const std::string& what)
{
    if (options_.dryRun) {
        const bool hex = command.echo == Echo::Hex;
        const std::string shown = hex ? HexText(command.bytes) : BytesToString(command.bytes);
        std::fprintf(dryOut, "%-40s %s\n", what.c_str(), shown.c_str());
        ++stats_.frames;
        return {};
    }
    if (!comm_) throw PortError(options_.port + ": the port is not open");

    // Whatever came in since the last exchange (a reply after its timeout)
    // belongs to no frame of this one.
    comm_->SetOnReceiveData([this](TObject*, const void*, uint16_t length) {
        if (options_.log) std::fprintf(options_.log, "%*s %u late bytes dropped\n", 15, "", unsigned{length});
    });
    QCoreApplication::processEvents();

    std::vector<uint8_t> reply;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    comm_->SetOnReceiveData([&](TObject*, const void* buffer, uint16_t length) {
        const auto* b = static_cast<const uint8_t*>(buffer);
        reply.insert(reply.end(), b, b + length);
        loop.quit();
    });

    Log("->", command.bytes);
    const qint64 sent = clock_.nsecsElapsed();
    ++stats_.frames;
    if (!comm_->SendData(command.bytes.data(), static_cast<uint16_t>(command.bytes.size()))) {
        comm_->SetOnReceiveData(nullptr);
        throw PortError(options_.port + ": the port refused the frame for " + what);
    }
    timeout.start(options_.timeoutMs);
    loop.exec();
    comm_->SetOnReceiveData(nullptr);
    stats_.wait += std::chrono::nanoseconds(clock_.nsecsElapsed() - sent);
    if (reply.empty()) {
        if (options_.log) std::fprintf(options_.log, "%*s no reply within %d ms\n", 15, "", options_.timeoutMs);
        throw NoReply("no reply to " + what + " within " + std::to_string(options_.timeoutMs) + " ms");
    }
    Log("<-", reply);
    return reply;
}

}  // namespace ortiva::cli
