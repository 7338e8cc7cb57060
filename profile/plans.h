// The plans that move a whole configuration between a module and a profile:
// which queries a read sends and how each reply becomes profile values, and
// how a restore's acknowledgements are judged. Each program runs them over
// its own line (ortiva-cli waits for each reply, the window is told of it).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "exchange_rules.h"
#include "profile.h"

namespace ortiva::profile {

// The groups a read takes.
struct ReadSet {
    bool header = true;
    bool system = true;
    bool coefficients = true;
    std::vector<int> devices{0, 1, 2, 3, 4};
    std::vector<int> slotNumbers{1, 2, 3, 4, 5, 6};
};

// One query of a read.
struct ReadStep {
    enum class Query { Firmware, System, Device, Monitoring };
    Query query;
    int index = 0;              // device (from 0) or monitoring slot (from 1)
    bool coefficients = false;  // the module's coefficients are taken from this device's reply too
    std::string what;           // as messages name it: "the query of devices[2]"
    std::string caption;        // as progress shows it: "Device 2: MODBUS parameters"
    Command command;
};

// The queries that read `what`, in order.
std::vector<ReadStep> ReadPlan(const ReadSet& what = {});

// The reply as the window keeps it for decoding: its first 255 characters.
std::string ReplyText(const std::vector<uint8_t>& reply);

// Decodes one step's reply into the profile; a kExitNoReply failure names the query.
void TakeReply(const ReadStep& step, const std::vector<uint8_t>& reply, Profile& profile);

// After the last step: drops what was read only on the way (the device
// record that carried the coefficients when no device was asked for).
void FinishRead(const ReadSet& what, Profile& profile);

// The firmware text of a communication query reply: after "QV:" up to its
// "#", printable characters only. A kExitNoReply failure without "QV:".
std::string FirmwareOfReply(const std::vector<uint8_t>& reply);

// A kExitMismatch failure when an acknowledgement refuses the step.
void CheckAcknowledgement(const Step& step, const std::vector<uint8_t>& ack);

// The restore step after whose acknowledgement the PC's port must be opened
// again at the new rate and parity (the side the PC is on, 'a' or 'b').
std::string PcSideStepName(char pcSide);
// The PC's rate and parity list index (0 none, 1 odd, 2 even) for a side's
// settings in a profile.
uint32_t SideBaud(const Values& values, char side);
int SideParityIndex(const Values& values, char side);

// A restore step's name as progress shows it: "devices[2] output formats"
// as "Device 2: output formats", "system working_mode" as "System: working_mode".
std::string StepCaption(const std::string& stepName);

}  // namespace ortiva::profile
