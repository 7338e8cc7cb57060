#include "plans.h"

#include <algorithm>

#include "choice_lists.h"
#include "convert.h"
#include "device_commands.h"
#include "device_decoder.h"
#include "monitoring.h"
#include "system_commands.h"
#include "system_decoders.h"

namespace ortiva::profile {

namespace {

std::string Join(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
    return out;
}

// Runs a decoder on a reply into the values, then insists that the group's
// keys are all there.
template <class Decode>
void DecodeGroup(const std::string& text, const std::string& what, Group group, int index, Values& values,
                 Decode&& decode)
{
    ProfileSink sink(group, index, values);
    try {
        decode(text, sink);
    } catch (const EConvertError& e) {
        throw Failure(kExitNoReply, "the reply to " + what + " cannot be read: " + e.what());
    }
    if (!sink.Errors().empty()) throw Failure(kExitNoReply, "the reply to " + what + ": " + Join(sink.Errors()));
    const std::vector<std::string> missing = MissingKeys(values, group, index);
    if (!missing.empty()) throw Failure(kExitNoReply, "the reply to " + what + " lacks " + Join(missing));
}

}  // namespace

std::vector<ReadStep> ReadPlan(const ReadSet& what)
{
    using Q = ReadStep::Query;
    std::vector<ReadStep> plan;
    if (what.header)
        plan.push_back(
            {Q::Firmware, 0, false, "the communication query", "Module: firmware", CommunicationQueryCommand()});
    if (what.system)
        plan.push_back(
            {Q::System, 0, false, "the system parameter query", "System: parameters", SystemParametersQueryCommand()});
    std::vector<int> devices = what.devices;
    if (what.coefficients && devices.empty()) devices.push_back(0);
    for (size_t i = 0; i < devices.size(); ++i) {
        const int d = devices[i];
        plan.push_back({Q::Device, d, what.coefficients && i == 0, "the query of devices[" + std::to_string(d) + "]",
                        "Device " + std::to_string(d) + ": MODBUS parameters", ModbusParamsQueryCommand(d)});
    }
    for (int s : what.slotNumbers)
        plan.push_back({Q::Monitoring, s, false, "the query of monitoring[" + std::to_string(s) + "]",
                        "Monitoring slot " + std::to_string(s), MonitoringQueryCommand(s)});
    return plan;
}

std::string ReplyText(const std::vector<uint8_t>& reply)
{
    ExchangeState state;
    StoreChunk(state, reply);
    return state.RxText;
}

std::string FirmwareOfReply(const std::vector<uint8_t>& reply)
{
    const std::string text = ReplyText(reply);
    if (!DecodeCommunicationQuery(text))
        throw Failure(kExitNoReply, "the reply to the communication query has no \"QV:\"");
    const size_t p = text.find("QV:") + 3;
    std::string firmware = text.substr(p, text.find('#', p) - p);
    std::erase_if(firmware, [](char c) { return c < 0x20 || c > 0x7E; });
    return firmware;
}

void TakeReply(const ReadStep& step, const std::vector<uint8_t>& reply, Profile& profile)
{
    using Q = ReadStep::Query;
    Values& values = profile.values;
    switch (step.query) {
    case Q::Firmware: profile.header.firmware = FirmwareOfReply(reply); return;
    case Q::System:
        DecodeGroup(ReplyText(reply), step.what, Group::System, 0, values,
                    [](const std::string& t, FieldSink& s) { DecodeSystemParameters(t, s); });
        return;
    case Q::Device: {
        const std::string text = ReplyText(reply);
        DecodeGroup(text, step.what, Group::Device, step.index, values,
                    [](const std::string& t, FieldSink& s) { DecodeModbusParamsReply(t, s); });
        if (!step.coefficients) return;
        // The coefficients are the module's, reported with every device.
        Values coefficients;
        DecodeGroup(text, step.what, Group::Coefficients, 0, coefficients,
                    [](const std::string& t, FieldSink& s) { DecodeModbusParamsReply(t, s); });
        values.insert(coefficients.begin(), coefficients.end());
        return;
    }
    case Q::Monitoring:
        DecodeGroup(ReplyText(reply), step.what, Group::Monitoring, step.index, values,
                    [](const std::string& t, FieldSink& s) { DecodeMonitoringReply(t, s); });
        return;
    }
}

void FinishRead(const ReadSet& what, Profile& profile)
{
    if (what.devices.empty())  // only the coefficients were asked for, not the device read on the way
        std::erase_if(profile.values, [](const auto& kv) { return kv.first.starts_with("devices["); });
}

void CheckAcknowledgement(const Step& step, const std::vector<uint8_t>& ack)
{
    const std::string text(ack.begin(), ack.end());
    if (text.find("ERR") != std::string::npos)
        throw Failure(kExitMismatch, "the module refused " + step.name + ": " + ReplyText(ack));
}

std::string PcSideStepName(char pcSide)
{
    return pcSide == 'b' ? "system RS485B serial parameters" : "system RS232/RS485A serial parameters";
}

uint32_t SideBaud(const Values& values, char side)
{
    const std::string key = side == 'b' ? "system.rs485b_baud" : "system.rs232_rs485a_baud";
    return static_cast<uint32_t>(std::stoul(values.at(key)));
}

int SideParityIndex(const Values& values, char side)
{
    const std::string key = side == 'b' ? "system.rs485b_parity" : "system.rs232_rs485a_parity";
    return ItemIndex(kParityItems, values.at(key));
}

std::string StepCaption(const std::string& name)
{
    const size_t blank = name.find(' ');
    const std::string head = name.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : name.substr(blank + 1);
    const auto indexed = [&](const char* prefix, const char* shown) -> std::string {
        const std::string p = std::string(prefix) + "[";
        if (!head.starts_with(p) || !head.ends_with("]")) return {};
        const std::string n = head.substr(p.size(), head.size() - p.size() - 1);
        return std::string(shown) + " " + n + (rest.empty() ? "" : ": " + rest);
    };
    if (std::string s = indexed("devices", "Device"); !s.empty()) return s;
    if (std::string s = indexed("monitoring", "Monitoring slot"); !s.empty()) return s;
    if (head == "system") return "System: " + rest;
    if (head == "coefficients") return "Coefficients: " + rest;
    return name;
}

}  // namespace ortiva::profile
