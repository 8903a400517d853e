#include "QtUserPrompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// Set as each box's own title: an application display name would be appended
// to every window's caption, the main window's and the log window's included.
const QString BoxTitle = QStringLiteral("Quorin");

QMessageBox::StandardButton ShowBox(QWidget *owner, QMessageBox::Icon icon, const QString &text,
                                    QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, BoxTitle, text, buttons, owner);
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
    // The default suffix is added before the dialog's overwrite question, so that
    // "a" asks about an existing a.txt instead of silently writing into it.
    QFileDialog dialog(dialogOwner, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
