#include "exchange_rules.h"

#include <algorithm>

#include "hex_text.h"

namespace ortiva {

Command TextCommand(const std::string& text, int pendingCode, int timeoutKind)
{
    Command c;
    c.bytes.assign(text.begin(), text.end());
    c.echo = Echo::Text;
    c.pendingCode = pendingCode;
    c.timeoutKind = timeoutKind;
    return c;
}

std::string PlaceInTxFrame(ExchangeState& s, std::span<const uint8_t> frame)
{
    const size_t n = std::min(frame.size(), s.TxFrame.size());
    std::copy_n(frame.begin(), n, s.TxFrame.begin());
    return std::string(reinterpret_cast<const char*>(s.TxFrame.data()), n);
}

ReceivePlan PlanReceive(int pendingCode)
{
    switch (pendingCode) {
    case kPendingCommQuery:
    case kPendingSystemParams:
    case kPendingModbusParams:
    case kPendingMonitoring: return {BufferView::Text, true, false};
    case kPendingHartDevice:
    case kPendingHartVariables: return {BufferView::Hex, true, false};
    case kPendingHartManual:
    case kPendingHartAddress:
    case kPendingModbusTest: return {BufferView::Hex, false, false};
    default: return {BufferView::Text, false, true};
    }
}

void StoreChunk(ExchangeState& s, std::span<const uint8_t> chunk)
{
    const size_t t = std::min(chunk.size(), kRxTextMax);
    s.RxText.assign(reinterpret_cast<const char*>(chunk.data()), t);
    const size_t b = std::min(chunk.size(), s.RxBytes.size());
    std::copy_n(chunk.begin(), b, s.RxBytes.begin());
}

std::string ReceiveBufferText(const ExchangeState& s, BufferView view)
{
    if (view == BufferView::Text) return s.RxText;
    return HexText(std::span<const uint8_t>(s.RxBytes.data(), s.RxText.size()));
}

TickPlan PlanTick(int pendingCode)
{
    switch (pendingCode) {
    case kPendingHartDevice: return {Decoder::HartDevice, true, false, true};
    case kPendingHartVariables: return {Decoder::HartVariables, true, false, true};
    case kPendingCommQuery: return {Decoder::CommQuery, true, true, false};
    case kPendingSystemParams: return {Decoder::SystemParams, false, false, false};
    case kPendingModbusParams: return {Decoder::ModbusParams, false, false, false};
    case kPendingMonitoring: return {Decoder::Monitoring, false, false, false};
    default: return {};
    }
}

TimeoutPlan PlanTimeout(int timeoutKind)
{
    switch (timeoutKind) {
    case kTimeoutConnection: return {false, "", "Connection timed out!"};
    case kTimeoutQuery: return {true, "", "Parameter Query Timeout!"};
    case kTimeoutSet: return {true, "Set timeout", "!"};
    default: return {};
    }
}

}  // namespace ortiva
