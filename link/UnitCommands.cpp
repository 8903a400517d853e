#include "UnitCommands.h"

#include "CommandLayer.h"
#include "SettingCommand.h"

#include <algorithm>

namespace {

using Kind = LiveSetting::Kind;

bool Get(CommandLayer &commands, ParamBlock block, quint8 selector, quint8 address, quint8 &value)
{
    if (!SendSetting(commands, GetOp, block, selector, address, 0))
        return false;
    value = commands.ReplyBuffer[0];
    return true;
}

// The stored settings of the memory that a choice makes active, in the memory's order.
QList<const NamedSetting *> MemoryOf(const LiveSetting &choice, quint8 value)
{
    const NamedSetting::Kind group = choice.Group() == Kind::Music ? NamedSetting::Kind::Music
        : choice.Group() == Kind::Mic                              ? NamedSetting::Kind::Mic
        : value >= FirstEffProgram                                 ? NamedSetting::Kind::Eff
                                                                   : NamedSetting::Kind::Ktv;
    const ParamBlock block = group == NamedSetting::Kind::Music ? ParamBlock::MusicParam
        : group == NamedSetting::Kind::Mic                      ? ParamBlock::MicParam
                                                                : ParamBlock::EffectParam;
    QList<const NamedSetting *> memory;
    for (const NamedSetting &s : AllNamedSettings())
        if (s.Group() == group && s.Block() == block && s.Selector() == value)
            memory.append(&s);
    return memory;
}

SetResult Choose(CommandLayer &commands, const LiveSetting &choice, quint8 value, const SettingsSnapshot *memories)
{
    const QList<const NamedSetting *> memory = MemoryOf(choice, value);
    QList<quint8> values;
    for (const NamedSetting *s : memory) {
        quint8 v = 0;
        if (memories)
            v = s->Value(*memories);
        else if (!Get(commands, s->Block(), s->Selector(), s->Address(), v))
            return {CommandOutcome::Lost, value};
        values << v;
    }
    for (int k = 0; k < memory.size(); ++k)
        if (!SendSetting(commands, SetOp, memory[k]->Block(), memory[k]->Selector(), memory[k]->Address(), values[k]))
            return {CommandOutcome::Lost, value};
    return {CommandOutcome::Done, value};
}

} // namespace

QString AnySetting::Name() const
{
    return stored ? stored->Name() : live->Name();
}

QString AnySetting::Shown(quint8 value) const
{
    return stored ? stored->Shown(value) : live->Shown(value);
}

std::optional<quint8> AnySetting::Parse(const QString &text) const
{
    return stored ? stored->Parse(text) : live->Parse(text);
}

AnySetting FindAnySetting(const QString &name)
{
    return {FindNamedSetting(name), FindLiveSetting(name)};
}

CommandOutcome GetSetting(CommandLayer &commands, const AnySetting &setting, quint8 &value)
{
    if (setting.stored)
        return Get(commands, setting.stored->Block(), setting.stored->Selector(), setting.stored->Address(), value)
            ? CommandOutcome::Done
            : CommandOutcome::Lost;
    if (!setting.live->Readable())
        return CommandOutcome::NotReadable;
    return Get(commands, ParamBlock::ChannelVolume, 0, quint8(setting.live->Channel()), value) ? CommandOutcome::Done
                                                                                             : CommandOutcome::Lost;
}

SetResult SetSetting(CommandLayer &commands, const AnySetting &setting, quint8 value, const SettingsSnapshot *memories)
{
    if (setting.stored) {
        const NamedSetting &s = *setting.stored;
        return {SendSetting(commands, SetOp, s.Block(), s.Selector(), s.Address(), value) ? CommandOutcome::Done
                                                                                          : CommandOutcome::Lost,
                value};
    }
    const LiveSetting &live = *setting.live;
    switch (live.Group()) {
    case Kind::Volume: {
        const quint8 channel = quint8(live.Channel());
        quint8 maximum = 0;
        if (!Get(commands, ParamBlock::ChannelMaximum, 0, channel, maximum))
            return {CommandOutcome::Lost, value};
        const quint8 applied = std::min(value, maximum);
        return {SendSetting(commands, SetOp, ParamBlock::ChannelVolume, 0, channel, applied) ? CommandOutcome::Done
                                                                                            : CommandOutcome::Lost,
                applied};
    }
    case Kind::Key:
        if (!SendSetting(commands, SetOp, ParamBlock::MusicKey, 0, 0, value))
            return {CommandOutcome::Lost, value};
        return {commands.ReplyBuffer[0] == AckByte ? CommandOutcome::Done : CommandOutcome::NotConfirmed, value};
    case Kind::Program:
    case Kind::Music:
    case Kind::Mic:
        break;
    }
    return Choose(commands, live, value, memories);
}
