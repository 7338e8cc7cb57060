#include "module_io.h"

#include "system_commands.h"

namespace ortiva::cli {

std::string ReadFirmware(Link& link)
{
    const std::vector<uint8_t> reply = link.Exchange(CommunicationQueryCommand(), "the communication query");
    if (link.Options().dryRun) return {};
    return FirmwareOfReply(reply);
}

Profile ReadModule(Link& link, const ReadSet& what)
{
    Profile p;
    for (const ReadStep& step : ReadPlan(what)) {
        const std::vector<uint8_t> reply = link.Exchange(step.command, step.what);
        if (!link.Options().dryRun) TakeReply(step, reply, p);
    }
    FinishRead(what, p);
    return p;
}

TParity SideParity(const Values& values, char side) { return ParityOfIndex(SideParityIndex(values, side)); }

void WriteSteps(Link& link, const std::vector<Step>& steps, const Profile& profile, char pcSide,
                const std::function<void(const std::string&)>& done)
{
    const std::string pcStep = PcSideStepName(pcSide);
    for (const Step& step : steps) {
        const std::vector<uint8_t> ack = link.Exchange(step.command, step.name);
        if (!link.Options().dryRun) CheckAcknowledgement(step, ack);
        if (done) done(step.name);
        // The module answers at its new rate from now on.
        if (step.name == pcStep && !link.Options().dryRun)
            link.Reopen(SideBaud(profile.values, pcSide), SideParity(profile.values, pcSide));
    }
}

}  // namespace ortiva::cli
