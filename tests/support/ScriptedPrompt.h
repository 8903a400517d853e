#pragma once

#include "MessageLog.h"
#include "UserPrompt.h"

#include <QQueue>

// Answers the editor's questions in code and records everything it was told.
class ScriptedPrompt : public UserPrompt, public MessageLog
{
public:
    bool yesNoAnswer = false;
    QQueue<QString> fileAnswers;  // paths the file dialogs return, in order; empty means cancel
    QString lastDialogFolder;
    QString lastDialogFilter;
    QWidget *lastDialogOwner = nullptr;

    void Warn(const QString &text) override { MessageLog::Warn(text); }
    void Critical(const QString &text) override { shown.append({QStringLiteral("critical"), text}); }
    bool AskYesNo(const QString &text) override
    {
        shown.append({QStringLiteral("question"), text});
        return yesNoAnswer;
    }
    void Beep() override { shown.append({QStringLiteral("beep"), QString()}); }
    QString OpenFileName(QWidget *owner, const QString &title, const QString &folder,
                         const QString &filter) override
    {
        return Dialog(QStringLiteral("open"), owner, title, folder, filter);
    }
    QString SaveFileName(QWidget *owner, const QString &title, const QString &folder,
                         const QString &filter) override
    {
        return Dialog(QStringLiteral("save"), owner, title, folder, filter);
    }

private:
    QString Dialog(const QString &look, QWidget *owner, const QString &title, const QString &folder,
                   const QString &filter)
    {
        shown.append({look, title});
        lastDialogOwner = owner;
        lastDialogFolder = folder;
        lastDialogFilter = filter;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
};
