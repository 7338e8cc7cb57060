#include "reply_judge.h"

#include <string>

#include "hart_decoders.h"
#include "hart_reply_end.h"
#include "key_match.h"
#include "modbus_reply.h"

namespace ortiva {

namespace {

constexpr size_t npos = std::string_view::npos;

bool Has(std::string_view text, std::string_view what) { return text.find(what) != npos; }

// The first occurrence of the key; "ADR:" only where it is the slave
// address's own key.
size_t FindSection(std::string_view text, std::string_view key)
{
    if (key != "ADR:") return FindKey(text, key);
    for (size_t from = 0; from < text.size();) {
        const size_t p = FindKey(text.substr(from), key);
        if (p == npos) return npos;
        const size_t at = from + p;
        if (at == 0 || (text[at - 1] != 'A' && text[at - 1] != 'B')) return at;
        from = at + 1;
    }
    return npos;
}

std::string_view AsText(std::span<const uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The character at `at` of a command's text, or '?' (any) when it is short.
std::string Digit(std::string_view command, size_t at)
{
    return std::string(1, at < command.size() ? command[at] : kAnyChar);
}

}  // namespace

ReplyEnd JudgeSectionsReply(std::string_view reply, std::initializer_list<std::string_view> keys)
{
    if (Has(reply, "QQQ#ERR#")) return ReplyEnd::Complete;
    for (std::string_view key : keys) {
        const size_t p = FindSection(reply, key);
        if (p == npos || reply.find('#', p + key.size()) == npos) return ReplyEnd::Incomplete;
    }
    return ReplyEnd::Complete;
}

ReplyEnd JudgeAcknowledgement(std::string_view reply, std::string_view command)
{
    for (std::string_view head : {std::string_view("QQS#"), std::string_view("KAVORN#")}) {
        if (!command.starts_with(head)) continue;
        const std::string_view body = command.substr(head.size());
        const std::string key(head.size() == 4 ? body.substr(0, body.find_first_of(":#")) : "PCBSN");
        const std::string named = std::string(head) + key;
        return Has(reply, named + ":OK#") || Has(reply, named + ":ERR#") || Has(reply, std::string(head) + "ERR#")
                   ? ReplyEnd::Complete
                   : ReplyEnd::Incomplete;
    }
    return ReplyEnd::Unjudged;
}

ReplyEnd JudgeReply(const Command& command, std::span<const uint8_t> reply)
{
    const std::string_view sent = AsText(command.bytes);
    const std::string_view text = AsText(reply);
    switch (command.pendingCode) {
    case kPendingCommQuery: return JudgeSectionsReply(text, {"QV:"});
    case kPendingSystemParams:
        return JudgeSectionsReply(text, {"BA1:", "BA2:", "MD:", "ADR:", "XY1:", "XY2:", "JTM:", "AADR:"});
    case kPendingModbusParams: {
        // "QQQ#QQd#"
        const std::string d = Digit(sent, 6);
        return JudgeSectionsReply(text, {"FMW:", "FMU:", "HART" + d + ":", "DFO" + d + ":", "ZDY" + d + ":",
                                         "MD:", "CAMD" + d + "1:", "CAMD" + d + "2:"});
    }
    case kPendingMonitoring:  // "QQQ#RCAD0s#"
        return JudgeSectionsReply(text, {"RCAD" + Digit(sent, 9) + ":"});
    case kPendingSetAck: return JudgeAcknowledgement(text, sent);
    case kPendingHartDevice: return JudgeHartReply(reply, kHartIdentityReplyDelimiter);
    case kPendingHartVariables: return JudgeHartReply(reply, kHartVariablesReplyDelimiter);
    case kPendingModbusTest:
        if (command.bytes.size() < 6) return ReplyEnd::Unjudged;
        return JudgeModbusReply(reply, command.bytes[0],
                                static_cast<uint16_t>(command.bytes[4] << 8 | command.bytes[5]));
    default: return JudgeAcknowledgement(text, sent);  // the serial number: "KAVORN#..."; others Unjudged
    }
}

}  // namespace ortiva
