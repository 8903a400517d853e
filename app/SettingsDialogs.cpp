#include "SettingsDialogs.h"

#include "AppState.h"
#include "UserFormValue.h"
#include "UserPrompt.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString FileNameForUser(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

QString SettingsFileMessage(const SettingsFileRead &read, const QString &path)
{
    switch (read.outcome) {
    case SettingsFileRead::Outcome::Read:
        return {};
    case SettingsFileRead::Outcome::Unreadable:
    case SettingsFileRead::Outcome::NotAFile:
        return QStringLiteral("无法读取配置文件：%1").arg(FileNameForUser(path));
    case SettingsFileRead::Outcome::Incomplete:
        return QStringLiteral("配置文件不完整：%1\n缺少 %2，未导入任何设置。")
            .arg(FileNameForUser(path), QString::fromLatin1(read.missingKey));
    case SettingsFileRead::Outcome::WrongModel:
        return QStringLiteral("您导入的文件不是") + QLatin1String(SettingsFileModel) + QStringLiteral("的配置文件。");
    case SettingsFileRead::Outcome::BadValue:
        break;
    }
    return QStringLiteral("导入的数据有错误！");
}

bool SaveSettingsFile(AppState &state, QWidget *owner, const SettingsSnapshot &settings)
{
    QString path = BrowseSaveFile(state, owner);
    if (path.isEmpty())
        return false;
    if (!path.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        path += QLatin1String(".txt");
    state.SettingsPath = path;
    state.DefaultSection = QLatin1String(SettingsFileSection);
    const bool saved = WriteSettingsFile(path, settings, true);
    if (!saved)
        state.prompt.Critical(QStringLiteral("无法保存配置文件：%1").arg(FileNameForUser(path)));
    return saved;
}

std::optional<SettingsSnapshot> ImportSettingsFile(AppState &state, QWidget *owner)
{
    const QString path = BrowseOpenFile(state, owner);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return std::nullopt;
    state.SettingsPath = path;
    state.DefaultSection = QLatin1String(SettingsFileSection);
    const SettingsFileRead read = ReadSettingsFile(path);
    if (read.outcome != SettingsFileRead::Outcome::Read) {
        state.prompt.Critical(SettingsFileMessage(read, path));
        return std::nullopt;
    }
    return read.settings;
}
