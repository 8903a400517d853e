#pragma once

#include "UserPrompt.h"

#include <QString>

// What a window would show, written to standard error as a line naming the unit.
// Nothing is ever asked: the tool runs unattended.
class TerminalPrompt : public UserPrompt
{
public:
    explicit TerminalPrompt(QString unit) : unit(std::move(unit)) {}

    void Warn(const QString &text) override;
    void Critical(const QString &text) override { Warn(text); }
    bool AskYesNo(const QString &) override { return false; }
    void Beep() override {}
    QString OpenFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString SaveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }

    // The last message, for the unit's result.
    QString Last() const { return last; }

private:
    QString unit;
    QString last;
};

// One line on standard error, whole even when units write at once.
void WriteErrorLine(const QString &line);
