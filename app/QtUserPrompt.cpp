#include "QtUserPrompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::StandardButton ShowBox(QWidget *owner, QMessageBox::Icon icon, const QString &text,
                                    QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, owner);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void QtUserPrompt::Warn(const QString &text)
{
    ShowBox(owner, QMessageBox::Warning, text, QMessageBox::Ok);
}

void QtUserPrompt::Critical(const QString &text)
{
    ShowBox(owner, QMessageBox::Critical, text, QMessageBox::Ok);
}

bool QtUserPrompt::AskYesNo(const QString &text)
{
    return ShowBox(owner, QMessageBox::NoIcon, text, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void QtUserPrompt::Beep()
{
    QApplication::beep();
}

QString QtUserPrompt::OpenFileName(QWidget *dialogOwner, const QString &title,
                                   const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(dialogOwner, title, folder, filter);
}

QString QtUserPrompt::SaveFileName(QWidget *dialogOwner, const QString &title,
                                   const QString &folder, const QString &filter)
{
    return QFileDialog::getSaveFileName(dialogOwner, title, folder, filter);
}
