#include "Outcomes.h"

#include "PortClaim.h"
#include "SettingsSnapshot.h"

#include <QMutex>
#include <cstdio>

namespace {

bool Failed(UnitResult &result, const char *code, const QString &message, bool stopped = false)
{
    result.status = std::max<int>(result.status, UnitFailed);
    result.result = stopped ? QStringLiteral("stopped") : QStringLiteral("failed");
    result.code = QLatin1String(code);
    result.message = message;
    return false;
}

// " (process 123, NAME)" for a port's known holder, else nothing.
QString Holder(const OpenResult &opened)
{
    if (opened.holder <= 0)
        return {};
    return opened.holderName.isEmpty() ? QStringLiteral(" (process %1)").arg(opened.holder)
                                       : QStringLiteral(" (process %1, %2)").arg(opened.holder).arg(opened.holderName);
}

} // namespace

bool Took(UnitResult &result, const OpenResult &opened)
{
    if (opened.model >= 0)
        result.model = opened.model;
    switch (opened.outcome) {
    case OpenOutcome::Identified:
        return true;
    case OpenOutcome::Missing:
        return Failed(result, "missing", QStringLiteral("cannot open the port: there is no such device"));
    case OpenOutcome::NotAllowed:
        return Failed(result, "not-allowed",
                      QStringLiteral("cannot open the port: permission denied; to use it, run: sudo usermod -aG %1 "
                                     "$USER, then log in again")
                          .arg(PortClaim::DeviceGroup(result.unit.entry)));
    case OpenOutcome::Busy:
        return Failed(result, "busy", QStringLiteral("cannot open the port: in use by another program") + Holder(opened));
    case OpenOutcome::Unreachable:
        return Failed(result, "unreachable", QStringLiteral("cannot reach the device server"));
    case OpenOutcome::LineSettingsRefused: {
        const QString why = QStringLiteral("the server does not confirm 9600 8N1 and binary both ways; it answered %1")
                                .arg(opened.serverAnswer);
        WriteErrorLine(QStringLiteral("quorinctl: %1: %2").arg(result.unit.entry, why));
        return Failed(result, "line-settings-refused", why);
    }
    case OpenOutcome::NoAnswer:
        return Failed(result, "no-answer", QStringLiteral("no answer to the identification"));
    case OpenOutcome::WrongModel:
        break;
    }
    return Failed(result, "wrong-model",
                  QStringLiteral("another model answered (code 0x%1)").arg(opened.model, 2, 16, QLatin1Char('0')));
}

bool Took(UnitResult &result, TransferOutcome outcome, bool upload)
{
    switch (outcome) {
    case TransferOutcome::Complete:
        return true;
    case TransferOutcome::Stopped:
        return Failed(result, "stopped",
                      upload ? QStringLiteral("stopped during the upload: the unit now holds a mix of old and new values")
                             : QStringLiteral("stopped"),
                      true);
    case TransferOutcome::Lost:
        return Failed(result, "lost",
                      upload ? QStringLiteral("the unit stopped answering during the upload: it may hold a mix of old "
                                              "and new values")
                             : QStringLiteral("the unit stopped answering during the read"));
    case TransferOutcome::Refused:
        return Failed(result, "refused-value", QStringLiteral("the unit holds a value no settings file can hold"));
    case TransferOutcome::NotConnected:
        break;
    }
    return Failed(result, "not-connected", QStringLiteral("not connected"));
}

bool Took(UnitResult &result, CommandOutcome outcome)
{
    switch (outcome) {
    case CommandOutcome::Done:
        return true;
    case CommandOutcome::NotConfirmed:
        return Failed(result, "not-confirmed", QStringLiteral("the unit did not confirm the key"));
    case CommandOutcome::NotReadable:
        return Failed(result, "not-readable", QStringLiteral("this setting cannot be read back"));
    case CommandOutcome::Lost:
        break;
    }
    return Failed(result, "lost", QStringLiteral("the unit stopped answering"));
}

void WriteErrorLine(const QString &line)
{
    static QMutex lock;
    const QMutexLocker hold(&lock);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}
