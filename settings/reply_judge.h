// Where the reply to a command ends: one judge per expected reply, so that an
// exchange can end as soon as its reply is whole instead of waiting for the
// line to fall silent. The keys are found as the decoders find them (first
// occurrence, '?' any character), over all the bytes received, not only the
// first 255 characters the decoders see; noise before a reply is skipped.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "exchange_rules.h"
#include "reply_end.h"

namespace ortiva {

// A query reply: Complete when every key is there and closed by a '#' after
// it (and for "ADR:" the slave address key, not the tail of "AADR:" or
// "BADR:"), or when the module's refusal "QQQ#ERR#" came; else Incomplete.
ReplyEnd JudgeSectionsReply(std::string_view reply, std::initializer_list<std::string_view> keys);

// An acknowledgement of a setting "QQS#<key>...": "QQS#<key>:OK#",
// "QQS#<key>:ERR#" or "QQS#ERR#". Of the serial number: "KAVORN#PCBSN:OK#",
// "KAVORN#PCBSN:ERR#" or "KAVORN#ERR#".
ReplyEnd JudgeAcknowledgement(std::string_view reply, std::string_view command);

// The judge of the reply a command awaits, by its pending code and bytes:
// the communication query ("QV:"), the system group ("QX" sections), a
// device record, a monitoring slot, an acknowledgement, the HART identity
// and variables replies, the MODBUS test. Unjudged for any other command
// (its reply ends at the line's silence).
ReplyEnd JudgeReply(const Command& command, std::span<const uint8_t> reply);

}  // namespace ortiva
