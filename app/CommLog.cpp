#include "CommLog.h"

#include "AppState.h"

#include <QSaveFile>

namespace {

QString Hex(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

void AppendLine(AppState &state, const QString &line)
{
    if (!state.LogWindowOpen)
        return;
    state.CommLog += QStringLiteral("\r\n");
    state.CommLog += line;
}

} // namespace

void LogSentFrame(AppState &state, const quint8 frame[6])
{
    if (!state.LogWindowOpen)
        return;
    QStringList bytes;
    for (int i = 0; i < 6; ++i)
        bytes << Hex(frame[i]);
    AppendLine(state, QStringLiteral("发送: ") + bytes.join(QLatin1Char(',')));
}

void LogSyncByte(AppState &state)
{
    AppendLine(state, QStringLiteral("发送: FC 同步字"));
}

void LogReceivedByte(AppState &state, quint8 byte)
{
    if (!state.LogWindowOpen)
        return;
    AppendLine(state, QStringLiteral("接收: ") + Hex(byte));
}

bool SaveLogText(const QString &path, const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(lines.toUtf8()) >= 0 && file.commit();
}
