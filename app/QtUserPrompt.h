#pragma once

#include "UserPrompt.h"

#include <QPointer>
#include <QWidget>

// The prompts a person sees: message boxes titled with the application's name.
class QtUserPrompt : public UserPrompt
{
public:
    void SetOwner(QWidget *window) { owner = window; }

    void Warn(const QString &text) override;
    void Critical(const QString &text) override;
    bool AskYesNo(const QString &text) override;
    void Beep() override;
    QString OpenFileName(QWidget *owner, const QString &title, const QString &folder,
                         const QString &filter) override;
    QString SaveFileName(QWidget *owner, const QString &title, const QString &folder,
                         const QString &filter) override;

private:
    QPointer<QWidget> owner;
};
