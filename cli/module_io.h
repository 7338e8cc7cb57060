// Reading a module into a profile and writing a profile's steps to it, over
// a Link, with the window's decoders and builders.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "link.h"
#include "profile.h"

namespace ortiva::cli {

// A reply came but could not be read (a field that is not a digit, a key
// missing, an item the list does not have); the message names the query.
class UnreadableReply : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The module answered a write with a refusal ("ERR" in its acknowledgement).
class WriteRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What one reply to the communication query says: the text after "QV:" up
// to its "#" (firmware and serial). UnreadableReply without "QV:".
std::string ReadFirmware(Link& link);

// The reply as the window keeps it for decoding: its first 255 characters.
std::string ReplyText(const std::vector<uint8_t>& reply);

// The groups a read takes.
struct ReadSet {
    bool header = true;
    bool system = true;
    bool coefficients = true;
    std::vector<int> devices{0, 1, 2, 3, 4};
    std::vector<int> slotNumbers{1, 2, 3, 4, 5, 6};
};
Profile ReadModule(Link& link, const ReadSet& what = {});

// Sends the steps in order; each needs an acknowledgement that is not a
// refusal. The step that changes the serial parameters of the PC's side
// (`pcSide`) is followed by reopening the PC port at the new rate and
// parity. `done` is told each step's name after its acknowledgement.
void WriteSteps(Link& link, const std::vector<Step>& steps, const Profile& profile, char pcSide,
                const std::function<void(const std::string&)>& done = {});

// The PC's rate and parity for a side's settings in a profile.
uint32_t SideBaud(const Values& values, char side);
TParity SideParity(const Values& values, char side);

}  // namespace ortiva::cli
