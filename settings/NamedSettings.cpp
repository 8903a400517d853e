#include "NamedSettings.h"

#include "ParameterDefinitions.h"
#include "ValueText.h"

#include <functional>

namespace {

using Kind = NamedSetting::Kind;
using S = SettingsSnapshot;

const char *const ChannelNames[S::Channels] = {"MUS", "MIC", "KTV"};
const char *const LimitRowNames[3] = {"min", "max", "mode"};
const char *const InputNames[4] = {"AUTO", "BGM", "AUX", "none"};
constexpr quint8 StoredNoInputSource = S::NoInputSourceCode;

const ParamDef &Param(Kind kind, int column)
{
    switch (kind) {
    case Kind::Music:
        return MusicParams[column];
    case Kind::Mic:
        return MicParams[column];
    case Kind::Ktv:
        return KtvParams[column];
    default:
        return EffParams[column];
    }
}

bool IsTable(Kind kind)
{
    return kind == Kind::Music || kind == Kind::Mic || kind == Kind::Ktv || kind == Kind::Eff;
}

QList<const NamedSetting *> Where(const std::function<bool(const NamedSetting &)> &wanted)
{
    QList<const NamedSetting *> found;
    for (const NamedSetting &setting : AllNamedSettings())
        if (wanted(setting))
            found.append(&setting);
    return found;
}

QList<const NamedSetting *> OfGroup(Kind kind)
{
    return Where([kind](const NamedSetting &s) { return s.Group() == kind; });
}

QString NameOf(Kind kind, int row, int column)
{
    const auto table = [&](const char *memory) {
        return QStringLiteral("%1%2 %3").arg(QLatin1String(memory)).arg(row + 1)
            .arg(QLatin1String(Param(kind, column).caption));
    };
    switch (kind) {
    case Kind::Music:
        return table("MUSIC");
    case Kind::Mic:
        return table("MIC");
    case Kind::Ktv:
        return table("KTV");
    case Kind::Eff:
        return table("EFF");
    case Kind::Input:
        return QStringLiteral("input");
    case Kind::Exciter:
        return QStringLiteral("exciter");
    case Kind::Mute:
        return QStringLiteral("mute");
    case Kind::Lock:
        return QStringLiteral("lock");
    case Kind::Limit:
        return QStringLiteral("%1 %2").arg(QLatin1String(ChannelNames[row]), QLatin1String(LimitRowNames[column]));
    }
    return {};
}

} // namespace

NamedSetting::NamedSetting(Kind kind, int row, int column)
    : kind(kind), row(row), column(column), name(NameOf(kind, row, column))
{
}

bool NamedSetting::InTable() const
{
    return IsTable(kind);
}

bool NamedSetting::Takes(quint8 value) const
{
    return kind != Kind::Limit || value <= Highest();
}

ParamBlock NamedSetting::Block() const
{
    switch (kind) {
    case Kind::Music:
        return ParamBlock::MusicParam;
    case Kind::Mic:
        return ParamBlock::MicParam;
    case Kind::Ktv:
    case Kind::Eff:
        return ParamBlock::EffectParam;
    case Kind::Input:
        return ParamBlock::InputSource;
    case Kind::Exciter:
        return ParamBlock::ExciterSwitch;
    case Kind::Mute:
        return ParamBlock::MuteSwitch;
    case Kind::Lock:
        return ParamBlock::LockSwitch;
    case Kind::Limit:
        break;
    }
    return column == S::MinimumRow ? ParamBlock::ChannelMinimum
        : column == S::MaximumRow  ? ParamBlock::ChannelMaximum
                                   : ParamBlock::ChannelMode;
}

quint8 NamedSetting::Selector() const
{
    return IsTable(kind) ? quint8(kind == Kind::Eff ? FirstEffProgram + row : row) : quint8(0);
}

quint8 NamedSetting::Address() const
{
    if (IsTable(kind))
        return Param(kind, column).address;
    return kind == Kind::Limit ? quint8(row) : quint8(0);
}

int NamedSetting::Highest() const
{
    if (IsTable(kind))
        return Param(kind, column).maxValue;
    if (kind == Kind::Input)
        return StoredNoInputSource;
    if (kind == Kind::Limit)
        return column == S::ModeRow ? S::HighestMode(row) : S::HighestLimit;
    return 1;
}

int NamedSetting::Format() const
{
    return IsTable(kind) ? Param(kind, column).format : -1;
}

quint8 NamedSetting::Value(const SettingsSnapshot &s) const
{
    switch (kind) {
    case Kind::Music:
        return s.music[row][column];
    case Kind::Mic:
        return s.mic[row][column];
    case Kind::Ktv:
        return s.ktv[row][column];
    case Kind::Eff:
        return s.eff[row][column];
    case Kind::Input:
        return s.InputSourceCode();
    case Kind::Exciter:
        return s.exciter;
    case Kind::Mute:
        return s.mute;
    case Kind::Lock:
        return s.lock;
    case Kind::Limit:
        return quint8(s.vol[S::LimitIndex(row, column)]);
    }
    return 0;
}

void NamedSetting::SetValue(SettingsSnapshot &s, quint8 value) const
{
    switch (kind) {
    case Kind::Music:
        s.music[row][column] = value;
        break;
    case Kind::Mic:
        s.mic[row][column] = value;
        break;
    case Kind::Ktv:
        s.ktv[row][column] = value;
        break;
    case Kind::Eff:
        s.eff[row][column] = value;
        break;
    case Kind::Input:
        s.SetInputSourceCode(value);
        break;
    case Kind::Exciter:
        s.exciter = value != 0;
        break;
    case Kind::Mute:
        s.mute = value != 0;
        break;
    case Kind::Lock:
        s.lock = value != 0;
        break;
    case Kind::Limit:
        s.vol[S::LimitIndex(row, column)] = value;
        break;
    }
}

QString NamedSetting::Shown(quint8 value) const
{
    if (kind == Kind::Input)
        return QLatin1String(InputNames[std::min<int>(value, StoredNoInputSource)]);
    if (kind == Kind::Limit)
        return column == S::ModeRow ? ChannelModeName(row, value) : QString::number(value);
    QString text;
    if (FormatValueTipText(Format(), value, &text))
        return text;
    return value ? QStringLiteral("ON") : QStringLiteral("OFF");
}

QString NamedSetting::ShownWithRaw(quint8 value) const
{
    return QStringLiteral("%1 (%2)").arg(Shown(value)).arg(value);
}

std::optional<quint8> NamedSetting::Parse(const QString &text) const
{
    QList<quint8> values;
    for (int v = 0; v <= Highest(); ++v)
        values << quint8(v);
    return ParseShownValue(text, values, [this](quint8 v) { return Shown(v); });
}

const QList<NamedSetting> &AllNamedSettings()
{
    static const QList<NamedSetting> all = [] {
        QList<NamedSetting> list;
        const auto table = [&](Kind kind, int rows, int columns) {
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < columns; ++c)
                    list.append(NamedSetting(kind, r, c));
        };
        table(Kind::Music, S::MusicPresets, S::MusicParams);
        table(Kind::Mic, S::MicPresets, S::MicParams);
        table(Kind::Ktv, S::KtvPrograms, S::KtvParams);
        table(Kind::Eff, S::EffPrograms, S::EffParams);
        for (Kind kind : {Kind::Input, Kind::Exciter, Kind::Mute, Kind::Lock})
            list.append(NamedSetting(kind, 0, 0));
        table(Kind::Limit, S::Channels, 3);
        return list;
    }();
    return all;
}

const QList<const NamedSetting *> &ReadOrder()
{
    static const QList<const NamedSetting *> order = Where(&NamedSetting::InTable) + OfGroup(Kind::Mute)
        + OfGroup(Kind::Lock) + OfGroup(Kind::Exciter) + OfGroup(Kind::Input) + OfGroup(Kind::Limit);
    return order;
}

const QList<const NamedSetting *> &UploadOrder()
{
    static const QList<const NamedSetting *> order = Where(&NamedSetting::InTable) + OfGroup(Kind::Limit)
        + OfGroup(Kind::Mute) + OfGroup(Kind::Lock) + OfGroup(Kind::Exciter) + OfGroup(Kind::Input);
    return order;
}

const NamedSetting *FindNamedSetting(const QString &name)
{
    const QString wanted = SimplifiedText(name);
    for (const NamedSetting &setting : AllNamedSettings())
        if (SimplifiedText(setting.Name()) == wanted)
            return &setting;
    return nullptr;
}

QList<SettingDifference> CompareSettings(const SettingsSnapshot &first, const SettingsSnapshot &second)
{
    QList<SettingDifference> differences;
    for (const NamedSetting &setting : AllNamedSettings()) {
        const quint8 a = setting.Value(first), b = setting.Value(second);
        if (a != b)
            differences.append({&setting, a, b});
    }
    return differences;
}
