#pragma once

#include <QString>

class QWidget;

// Everything that asks or tells the user goes through this interface, so that
// tests can answer in code what a person would answer on screen.
class UserPrompt
{
public:
    virtual ~UserPrompt() = default;

    // Exclamation icon, OK button: warnings and time-outs.
    virtual void Warn(const QString &text) = 0;
    // Critical (stop) icon, OK button: read and import errors, wrong model.
    virtual void Critical(const QString &text) = 0;
    // No icon, Yes and No buttons; true for Yes.
    virtual bool AskYesNo(const QString &text) = 0;
    virtual void Beep() = 0;

    // File dialogs: return the chosen path, or an empty text when cancelled.
    // The save dialog asks before replacing an existing file.
    virtual QString OpenFileName(QWidget *owner, const QString &title, const QString &folder,
                                 const QString &filter) = 0;
    virtual QString SaveFileName(QWidget *owner, const QString &title, const QString &folder,
                                 const QString &filter) = 0;
};
