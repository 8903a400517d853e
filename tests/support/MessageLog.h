#pragma once

#include "LinkStatus.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTest>

// What the link fixtures record when the core reports a loss or a status; the
// editor words these in Chinese, the tool in English.
inline const QString LossReported = QStringLiteral("loss reported");
inline QString StatusWord(LinkStatus status)
{
    return status == LinkStatus::Connected ? QStringLiteral("connected")
        : status == LinkStatus::WrongModel ? QStringLiteral("wrong model")
                                           : QStringLiteral("not connected");
}

// Everything the program told the user, in order; a warning may stay open a while.
struct MessageLog
{
    struct Shown
    {
        QString look;  // "warn", "critical", "question", "beep", "open", "save"
        QString text;
    };
    QList<Shown> shown;

    // A person takes this long to close a warning; events go on meanwhile, as in a message box.
    int warnOpenMs = 0;

    void Warn(const QString &text)
    {
        shown.append({QStringLiteral("warn"), text});
        QElapsedTimer open;
        open.start();
        while (open.elapsed() < warnOpenMs)
            QTest::qWait(10);
    }

    QStringList Texts(const QString &look) const
    {
        QStringList texts;
        for (const Shown &s : shown)
            if (s.look == look)
                texts << s.text;
        return texts;
    }
};
