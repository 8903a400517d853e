#include "LiveSettings.h"

#include "ParameterDefinitions.h"
#include "ValueText.h"

namespace {

using Kind = LiveSetting::Kind;

const char *const ChannelNames[3] = {"MUS", "MIC", "KTV"};
const char *const KeyNames[11] = {"b5", "b4", "b3", "b2", "b1", "natural", "#1", "#2", "#3", "#4", "#5"};

QString NameOf(Kind kind, int channel)
{
    switch (kind) {
    case Kind::Volume:
        return QStringLiteral("%1 volume").arg(QLatin1String(ChannelNames[channel]));
    case Kind::Key:
        return QStringLiteral("key");
    case Kind::Program:
        return QStringLiteral("program");
    case Kind::Music:
        return QStringLiteral("music");
    case Kind::Mic:
        break;
    }
    return QStringLiteral("mic");
}

} // namespace

LiveSetting::LiveSetting(Kind kind, int channel) : kind(kind), channel(channel), name(NameOf(kind, channel)) {}

QList<quint8> LiveSetting::Values() const
{
    QList<quint8> values;
    const auto range = [&](int first, int last) {
        for (int v = first; v <= last; ++v)
            values << quint8(v);
    };
    switch (kind) {
    case Kind::Volume:
        range(0, HighestVolume);
        break;
    case Kind::Key:
        range(0, 10);
        break;
    case Kind::Program:
        range(0, ProgramRowCount - 1);
        range(FirstEffProgram, FirstEffProgram + ProgramRowCount - 1);
        break;
    case Kind::Music:
        range(0, MusicPresetCount - 1);
        break;
    case Kind::Mic:
        range(0, MicPresetCount - 1);
        break;
    }
    return values;
}

QString LiveSetting::Shown(quint8 value) const
{
    switch (kind) {
    case Kind::Volume:
        return QString::number(value);
    case Kind::Key:
        return value <= 10 ? QLatin1String(KeyNames[value]) : QString::number(value);
    case Kind::Program:
        return value >= FirstEffProgram ? QStringLiteral("EFF%1").arg(value - FirstEffProgram + 1)
                                        : QStringLiteral("KTV%1").arg(value + 1);
    case Kind::Music:
        return QStringLiteral("MUSIC%1").arg(value + 1);
    case Kind::Mic:
        break;
    }
    return QStringLiteral("MIC%1").arg(value + 1);
}

std::optional<quint8> LiveSetting::Parse(const QString &text) const
{
    return ParseShownValue(text, Values(), [this](quint8 v) { return Shown(v); });
}

const QList<LiveSetting> &AllLiveSettings()
{
    static const QList<LiveSetting> all{LiveSetting(Kind::Volume, 0), LiveSetting(Kind::Volume, 1),
                                        LiveSetting(Kind::Volume, 2), LiveSetting(Kind::Key),
                                        LiveSetting(Kind::Program),   LiveSetting(Kind::Music),
                                        LiveSetting(Kind::Mic)};
    return all;
}

const LiveSetting *FindLiveSetting(const QString &name)
{
    const QString wanted = SimplifiedText(name);
    for (const LiveSetting &setting : AllLiveSettings())
        if (SimplifiedText(setting.Name()) == wanted)
            return &setting;
    return nullptr;
}
