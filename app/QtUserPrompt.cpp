#include "QtUserPrompt.h"

#include <QApplication>
#include <QComboBox>
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

// Qt's own dialog, not the desktop's: its texts follow the program's language, not the
// system's. Qt would show each filter with its pattern and its runs of spaces collapsed;
// the list shows the description as written instead.
void PrepareFileDialog(QFileDialog &dialog, const QString &filter)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    auto *list = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    const QStringList entries = filter.split(QStringLiteral(";;"));
    for (int k = 0; list && k < entries.size() && k < list->count(); ++k) {
        const qsizetype pattern = entries[k].lastIndexOf(QLatin1Char('('));
        list->setItemText(k, pattern > 0 ? entries[k].left(pattern) : entries[k]);
    }
}

QString ChosenFile(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
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
    QFileDialog dialog(dialogOwner, title, folder, filter);
    PrepareFileDialog(dialog, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return ChosenFile(dialog);
}

QString QtUserPrompt::SaveFileName(QWidget *dialogOwner, const QString &title,
                                   const QString &folder, const QString &filter)
{
    // The default suffix is added before the dialog's overwrite question, so that
    // "a" asks about an existing a.txt instead of silently writing into it.
    QFileDialog dialog(dialogOwner, title, folder, filter);
    PrepareFileDialog(dialog, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    return ChosenFile(dialog);
}
