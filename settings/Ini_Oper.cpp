#include "Ini_Oper.h"


#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QByteArray SectionName(const SettingsFileState &state, const QString &section)
{
    return (section.isEmpty() ? state.DefaultSection : section).toUtf8();
}

} // namespace

std::optional<ProfileFileText> LoadProfileFile(const QString &path)
{
    if (!QFileInfo::exists(path))
        return ProfileFileText();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return DecodeProfile(file.readAll());
}

bool StoreProfileFile(const QString &path, const ProfileFileText &text)
{
    const QByteArray content = EncodeProfile(text);
    // Unbuffered, because a buffered write that runs out of room half-way still
    // commits: the short count is seen only here.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        && file.write(content) == content.size() && file.commit();
}

QString ReadIniValue(const SettingsFileState &state, const QString &key, const QString &section,
                     const QString &fallback)
{
    const std::optional<ProfileFileText> file = LoadProfileFile(state.SettingsPath);
    if (!file)
        return fallback;
    const std::optional<QByteArray> value =
        ProfileText(file->text).Value(SectionName(state, section), key.toUtf8());
    return value ? QString::fromUtf8(*value) : fallback;
}

bool WriteIniValue(SettingsFileState &state, const QString &key, const QString &value,
                   const QString &section)
{
    std::optional<ProfileFileText> file = LoadProfileFile(state.SettingsPath);
    bool written = false;
    if (file) {
        ProfileText profile(std::move(file->text));
        profile.SetValue(SectionName(state, section), key.toUtf8(), value.toUtf8());
        file->text = profile.Content();
        written = StoreProfileFile(state.SettingsPath, *file);
    }
    if (!written && state.Beep)
        state.Beep();
    return written;
}
