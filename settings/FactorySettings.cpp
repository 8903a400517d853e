#include "FactorySettings.h"

#include <QByteArray>
#include <QList>

namespace {

template <int N>
void Fill(quint8 (&row)[N], const char *decimalList)
{
    const QList<QByteArray> numbers = QByteArray(decimalList).split(',');
    for (int k = 0; k < N && k < numbers.size(); ++k)
        row[k] = quint8(numbers.at(k).toUInt());
}

SettingsSnapshot Build()
{
    SettingsSnapshot s;
    for (auto &preset : s.music)
        Fill(preset, MusicFactoryValues);
    for (auto &preset : s.mic)
        Fill(preset, MicFactoryValues);
    // The first two microphone presets leave the factory set apart from the rest.
    s.mic[0][0] = 7;
    s.mic[1][0] = 7;
    s.mic[1][8] = 3;
    for (int p = 0; p < ProgramRowCount; ++p) {
        Fill(s.ktv[p], KtvFactoryValues[p]);
        Fill(s.eff[p], EffFactoryValues[p]);
    }
    s.inputSelect = 1;  // BGM
    for (int c = 0; c < SettingsSnapshot::Channels; ++c) {
        s.vol[SettingsSnapshot::LimitIndex(c, SettingsSnapshot::MinimumRow)] = FactoryChannelMinimum[c];
        s.vol[SettingsSnapshot::LimitIndex(c, SettingsSnapshot::MaximumRow)] = FactoryChannelMaximum;
        s.vol[SettingsSnapshot::LimitIndex(c, SettingsSnapshot::ModeRow)] = 0;
    }
    return s;
}

} // namespace

const SettingsSnapshot &FactorySettings()
{
    static const SettingsSnapshot factory = Build();
    return factory;
}
