#include "module_io.h"

#include <algorithm>

#include "choice_lists.h"
#include "convert.h"
#include "device_commands.h"
#include "device_decoder.h"
#include "monitoring.h"
#include "system_commands.h"
#include "system_decoders.h"

namespace ortiva::cli {

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
void ReadGroup(Link& link, const Command& query, const std::string& what, Group group, int index, Values& values,
               Decode&& decode)
{
    const std::string text = ReplyText(link.Exchange(query, what));
    if (link.Options().dryRun) return;
    ProfileSink sink(group, index, values);
    try {
        decode(text, sink);
    } catch (const EConvertError& e) {
        throw UnreadableReply("the reply to " + what + " cannot be read: " + e.what());
    }
    if (!sink.Errors().empty()) throw UnreadableReply("the reply to " + what + ": " + Join(sink.Errors()));
    const std::vector<std::string> missing = MissingKeys(values, group, index);
    if (!missing.empty()) throw UnreadableReply("the reply to " + what + " lacks " + Join(missing));
}

}  // namespace

std::string ReplyText(const std::vector<uint8_t>& reply)
{
    ExchangeState state;
    StoreChunk(state, reply);
    return state.RxText;
}

std::string ReadFirmware(Link& link)
{
    const std::string text = ReplyText(link.Exchange(CommunicationQueryCommand(), "the communication query"));
    if (link.Options().dryRun) return {};
    if (!DecodeCommunicationQuery(text))
        throw UnreadableReply("the reply to the communication query has no \"QV:\"");
    const size_t p = text.find("QV:") + 3;
    std::string firmware = text.substr(p, text.find('#', p) - p);
    std::erase_if(firmware, [](char c) { return c < 0x20 || c > 0x7E; });
    return firmware;
}

Profile ReadModule(Link& link, const ReadSet& what)
{
    Profile p;
    if (what.header) p.header.firmware = ReadFirmware(link);
    if (what.system)
        ReadGroup(link, SystemParametersQueryCommand(), "the system parameter query", Group::System, 0, p.values,
                  [](const std::string& t, FieldSink& s) { DecodeSystemParameters(t, s); });
    std::vector<int> devices = what.devices;
    if (what.coefficients && devices.empty()) devices.push_back(0);
    for (int d : devices) {
        const std::string name = "the query of devices[" + std::to_string(d) + "]";
        Values coefficients;
        ReadGroup(link, ModbusParamsQueryCommand(d), name, Group::Device, d, p.values,
                  [&](const std::string& t, FieldSink& s) {
                      DecodeModbusParamsReply(t, s);
                      if (!what.coefficients || !coefficients.empty()) return;
                      // The coefficients are the module's, reported with every device.
                      ProfileSink c(Group::Coefficients, 0, coefficients);
                      DecodeModbusParamsReply(t, c);
                      if (!c.Errors().empty()) throw UnreadableReply("the reply to " + name + ": " + Join(c.Errors()));
                      const auto missing = MissingKeys(coefficients, Group::Coefficients, 0);
                      if (!missing.empty()) throw UnreadableReply("the reply to " + name + " lacks " + Join(missing));
                  });
        p.values.insert(coefficients.begin(), coefficients.end());
    }
    if (what.devices.empty())  // only the coefficients were asked for, not the device read on the way
        std::erase_if(p.values, [](const auto& kv) { return kv.first.starts_with("devices["); });
    for (int s : what.slotNumbers)
        ReadGroup(link, MonitoringQueryCommand(s), "the query of monitoring[" + std::to_string(s) + "]",
                  Group::Monitoring, s, p.values,
                  [](const std::string& t, FieldSink& sink) { DecodeMonitoringReply(t, sink); });
    return p;
}

uint32_t SideBaud(const Values& values, char side)
{
    const std::string key = side == 'b' ? "system.rs485b_baud" : "system.rs232_rs485a_baud";
    return static_cast<uint32_t>(std::stoul(values.at(key)));
}

TParity SideParity(const Values& values, char side)
{
    const std::string key = side == 'b' ? "system.rs485b_parity" : "system.rs232_rs485a_parity";
    return ParityOfIndex(ItemIndex(kParityItems, values.at(key)));
}

void WriteSteps(Link& link, const std::vector<Step>& steps, const Profile& profile, char pcSide,
                const std::function<void(const std::string&)>& done)
{
    const std::string pcStep =
        pcSide == 'b' ? "system RS485B serial parameters" : "system RS232/RS485A serial parameters";
    for (const Step& step : steps) {
        const std::vector<uint8_t> ack = link.Exchange(step.command, step.name);
        if (!link.Options().dryRun) {
            const std::string text(ack.begin(), ack.end());
            if (text.find("ERR") != std::string::npos)
                throw WriteRefused("the module refused " + step.name + ": " + ReplyText(ack));
        }
        if (done) done(step.name);
        // The module answers at its new rate from now on.
        if (step.name == pcStep && !link.Options().dryRun)
            link.Reopen(SideBaud(profile.values, pcSide), SideParity(profile.values, pcSide));
    }
}

}  // namespace ortiva::cli
