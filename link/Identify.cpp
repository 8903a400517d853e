#include "Identify.h"

#include "CommandLayer.h"
#include "PortClaim.h"
#include "ProgramState.h"

namespace {

OpenOutcome FromFault(PortFault fault)
{
    switch (fault) {
    case PortFault::NotAllowed:
        return OpenOutcome::NotAllowed;
    case PortFault::Busy:
        return OpenOutcome::Busy;
    case PortFault::Unreachable:
        return OpenOutcome::Unreachable;
    case PortFault::LineSettingsRefused:
        return OpenOutcome::LineSettingsRefused;
    case PortFault::None:
    case PortFault::Missing:
        break;
    }
    return OpenOutcome::Missing;
}

} // namespace

OpenResult OpenAndIdentify(ProgramState &state, CommandLayer &commands, const QString &portNumber)
{
    RS232Port &port = state.port;
    OpenResult result;
    // Reaching a network port runs the event loop, which may end the command layer's owner.
    const std::shared_ptr<const bool> living = commands.Living();
    const bool ready = port.OpenPort(portNumber) && port.ConfigurePort(9600, 8);
    if (!*living) {
        result.outcome = OpenOutcome::NoAnswer;
        return result;
    }
    if (!ready) {
        result.outcome = FromFault(port.LastFault());
        result.holder = port.LastHolder();
        result.holderName = PortClaim::ProgramName(result.holder);
        result.serverAnswer = port.LastRefusal();
        return result;
    }
    const bool answered = commands.SendIdentify();
    if (!*living) {
        result.outcome = OpenOutcome::NoAnswer;
        return result;
    }
    commands.IsProbing = false;
    if (!answered) {
        result.outcome = OpenOutcome::NoAnswer;
        return result;
    }
    result.model = commands.ReplyBuffer[0];
    result.outcome = result.model == ModelCode ? OpenOutcome::Identified : OpenOutcome::WrongModel;
    return result;
}
