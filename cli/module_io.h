// Reading a module into a profile and writing a profile's steps to it, over
// a Link: the shared plans (plans.h) run one exchange at a time.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link.h"
#include "plans.h"
#include "profile.h"

namespace ortiva::cli {

// What one reply to the communication query says: the text after "QV:" up
// to its "#" (firmware and serial). A kExitNoReply failure without "QV:".
std::string ReadFirmware(Link& link);

Profile ReadModule(Link& link, const ReadSet& what = {});

// Sends the steps in order; each needs an acknowledgement that is not a
// refusal. The step that changes the serial parameters of the PC's side
// (`pcSide`) is followed by reopening the PC port at the new rate and
// parity. `done` is told each step's name after its acknowledgement.
void WriteSteps(Link& link, const std::vector<Step>& steps, const Profile& profile, char pcSide,
                const std::function<void(const std::string&)>& done = {});

// The PC's parity for a side's settings in a profile.
TParity SideParity(const Values& values, char side);

}  // namespace ortiva::cli
