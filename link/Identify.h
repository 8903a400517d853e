#pragma once

#include <QString>

class CommandLayer;
struct ProgramState;

// How opening a port and asking for the unit's model ended.
enum class OpenOutcome {
    Identified,           // a QSV-416MZ answered
    Missing,              // no such device, entry or port number
    NotAllowed,           // this user may not open the device
    Busy,                 // another program holds it
    Unreachable,          // the device server does not answer or refuses the connection
    LineSettingsRefused,  // the device server would not take 9600 8N1 and binary both ways
    NoAnswer,             // nothing answered the identification
    WrongModel,           // another model answered
};

struct OpenResult
{
    OpenOutcome outcome = OpenOutcome::Missing;
    int model = -1;        // the code that answered, when one did
    qint64 holder = 0;     // with Busy: the holding program's process, when known
    QString holderName;    // and that process's name, when it can be read
    QString serverAnswer;  // with LineSettingsRefused: what the server answered
};

// Opens port n of the port list at 9600 8N1 and asks for the model code, silence
// being no loss to report. The port stays open when it was opened, whatever the
// answer; the caller closes it on failure and sets IsConnected on success. Should
// the command layer go meanwhile (its window closed), NoAnswer comes back untouched.
OpenResult OpenAndIdentify(ProgramState &state, CommandLayer &commands, const QString &portNumber);
