#include "TerminalPrompt.h"

#include <QMutex>
#include <cstdio>

void WriteErrorLine(const QString &line)
{
    static QMutex lock;
    const QMutexLocker hold(&lock);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TerminalPrompt::Warn(const QString &text)
{
    last = text;
    WriteErrorLine(QStringLiteral("%1: %2").arg(unit, text));
}
