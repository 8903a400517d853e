#include "UserFormValue.h"

#include "AppState.h"
#include "UserPrompt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString SettingsFileFilter()
{
    return QStringLiteral("音响配置文件 (*.txt)       (*.txt)");
}

QString SettingsDialogFolder(const QString &programFolder)
{
    const QFileInfo folder(programFolder);
    if (!programFolder.isEmpty() && folder.isDir() && folder.isWritable())
        return programFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

QString BrowseOpenFile(AppState &state, QWidget *owner)
{
    return state.prompt.OpenFileName(owner, QStringLiteral("浏览配置文件"),
                                     SettingsDialogFolder(QCoreApplication::applicationDirPath()),
                                     SettingsFileFilter());
}

QString BrowseSaveFile(AppState &state, QWidget *owner)
{
    return state.prompt.SaveFileName(owner, QStringLiteral("保存配置文件"),
                                     SettingsDialogFolder(QCoreApplication::applicationDirPath()),
                                     SettingsFileFilter());
}
