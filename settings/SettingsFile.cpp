#include "SettingsFile.h"

#include "Ini_Oper.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <utility>

namespace {

QByteArray SlotKey(const char *table, int memory, int param)
{
    return table + QByteArray::number(memory) + '.' + QByteArray::number(param);
}

using Entry = ProfileText::Entry;

template <typename Table>
void AddTable(QList<Entry> &entries, const char *name, const Table &table)
{
    for (int m = 0; m < int(std::size(table)); ++m)
        for (int k = 0; k < int(std::size(table[m])); ++k)
            entries.append({SlotKey(name, m, k), QByteArray::number(table[m][k])});
}

// All keys of the file with their values, in the order the file carries them.
QList<Entry> SettingsEntries(const SettingsSnapshot &s)
{
    QList<Entry> entries{{"Type", QByteArray(SettingsFileModel)}};
    AddTable(entries, "Music", s.music);
    AddTable(entries, "Mic", s.mic);
    AddTable(entries, "Ktv", s.ktv);
    AddTable(entries, "Eff", s.eff);
    const int input = s.InputSourceCode();
    entries.append({"INPUTSELECT", QByteArray::number(input)});
    entries.append({"EX", QByteArray::number(int(s.exciter))});
    entries.append({"MUTE", QByteArray::number(int(s.mute))});
    entries.append({"LOCK", QByteArray::number(int(s.lock))});
    for (int c = 0; c < SettingsSnapshot::Channels; ++c)
        for (int r = 0; r < 3; ++r) {
            const int value = s.vol[SettingsSnapshot::LimitIndex(c, r)];
            entries.append({SlotKey("VOL", c, r), QByteArray::number(value)});
        }
    return entries;
}

// Reads keys of one section, all present, and remembers whether any value failed its check.
class CheckedReader
{
public:
    explicit CheckedReader(QHash<QByteArray, QByteArray> values) : values(std::move(values)) {}

    QByteArray Text(const QByteArray &key) const { return values.value(key.toLower()); }
    bool Has(const QByteArray &key) const { return values.contains(key.toLower()); }

    int Number(const QByteArray &key, int lowest, int highest)
    {
        bool ok = false;
        const int value = Text(key).toInt(&ok, 10);
        if (!ok || value < lowest || value > highest) {
            bad = true;
            return lowest;
        }
        return value;
    }

    bool Flag(const QByteArray &key)
    {
        const QByteArray text = Text(key).toLower();
        if (text == "true" || text == "false")
            return text == "true";
        bool ok = false;
        const qlonglong value = text.toLongLong(&ok, 10);
        bad = bad || !ok;
        return ok && value != 0;
    }

    template <typename Table>
    void ReadTable(const char *name, Table &table)
    {
        for (int m = 0; m < int(std::size(table)); ++m)
            for (int k = 0; k < int(std::size(table[m])); ++k)
                table[m][k] = quint8(Number(SlotKey(name, m, k), 0, 255));
    }

    bool bad = false;

private:
    const QHash<QByteArray, QByteArray> values;
};

SettingsSnapshot ReadSettings(CheckedReader &reader)
{
    SettingsSnapshot s;
    reader.ReadTable("Music", s.music);
    reader.ReadTable("Mic", s.mic);
    reader.ReadTable("Ktv", s.ktv);
    reader.ReadTable("Eff", s.eff);
    s.SetInputSourceCode(quint8(reader.Number("INPUTSELECT", 0, SettingsSnapshot::NoInputSourceCode)));
    s.exciter = reader.Flag("EX");
    s.mute = reader.Flag("MUTE");
    s.lock = reader.Flag("LOCK");
    using S = SettingsSnapshot;
    for (int c = 0; c < S::Channels; ++c) {
        const auto cell = [&](int row, int highest) {
            s.vol[S::LimitIndex(c, row)] = reader.Number(SlotKey("VOL", c, row), 0, highest);
        };
        cell(S::MinimumRow, S::HighestLimit);
        cell(S::MaximumRow, S::HighestLimit);
        cell(S::ModeRow, S::HighestMode(c));
    }
    return s;
}

} // namespace

bool WriteSettingsFile(const QString &path, const SettingsSnapshot &settings, bool keepOtherContent)
{
    // The old file's other content must survive, so one that cannot be read is not replaced.
    std::optional<ProfileFileText> file = keepOtherContent ? LoadProfileFile(path) : ProfileFileText{};
    if (!file)
        return false;
    ProfileText profile(std::move(file->text));
    profile.SetValues(QByteArray(SettingsFileSection), SettingsEntries(settings));
    file->text = profile.Content();
    return StoreProfileFile(path, *file);
}

SettingsFileRead ReadSettingsFile(const QString &path)
{
    SettingsFileRead result;
    // A device or a pipe is never read: it might never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        result.outcome = SettingsFileRead::Outcome::NotAFile;
        return result;
    }
    // One read of the whole file, so the values checked are the values applied.
    const std::optional<ProfileFileText> content = LoadProfileFile(path);
    if (!content || !info.exists())
        return result;
    CheckedReader reader(ProfileText(content->text).SectionValues(QByteArray(SettingsFileSection)));
    if (reader.Text("Type") != SettingsFileModel) {
        result.outcome = SettingsFileRead::Outcome::WrongModel;
        return result;
    }
    // A part of a file must never pass for a whole one.
    for (const Entry &entry : SettingsEntries(SettingsSnapshot())) {
        if (!reader.Has(entry.first)) {
            result.outcome = SettingsFileRead::Outcome::Incomplete;
            result.missingKey = entry.first;
            return result;
        }
    }
    result.settings = ReadSettings(reader);
    result.outcome = reader.bad ? SettingsFileRead::Outcome::BadValue : SettingsFileRead::Outcome::Read;
    return result;
}
