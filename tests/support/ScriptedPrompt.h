#pragma once

#include "UserPrompt.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTest>
#include <QQueue>

// Answers the program's questions in code and records everything it was told.
class ScriptedPrompt : public UserPrompt
{
public:
    struct Shown
    {
        QString look;  // "warn", "critical", "question", "beep", "open", "save"
        QString text;
    };

    QList<Shown> shown;
    bool yesNoAnswer = false;
    QQueue<QString> fileAnswers;  // paths the file dialogs return, in order; empty means cancel
    QString lastDialogFolder;
    QString lastDialogFilter;
    QWidget *lastDialogOwner = nullptr;
    // A person takes this long to close a warning; events go on meanwhile, as in a message box.
    int warnOpenMs = 0;

    void Warn(const QString &text) override
    {
        shown.append({QStringLiteral("warn"), text});
        QElapsedTimer open;
        open.start();
        while (open.elapsed() < warnOpenMs)
            QTest::qWait(10);
    }
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

    QStringList Texts(const QString &look) const
    {
        QStringList texts;
        for (const Shown &s : shown)
            if (s.look == look)
                texts << s.text;
        return texts;
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
