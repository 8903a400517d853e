#include "SimulatedProcessor.h"

#include "ParameterDefinitions.h"

#include <QList>

namespace {

quint32 Key(quint8 block, quint8 selector, quint8 address)
{
    return quint32(block) << 16 | quint32(selector) << 8 | address;
}

QList<quint8> Numbers(const char *text)
{
    QList<quint8> numbers;
    for (const QByteArray &part : QByteArray(text).split(','))
        numbers << static_cast<quint8>(part.toUInt());
    return numbers;
}

quint8 Block(ParamBlock block)
{
    return static_cast<quint8>(block);
}

// The dispatcher at the other end takes these two as heartbeat and key reset, never as data.
quint8 SendableValue(quint8 value)
{
    return value == SyncByte || value == KeyResetByte ? quint8(value - 1) : value;
}

} // namespace

SimulatedProcessor::SimulatedProcessor(const SimOptions &options) : options(options)
{
    LoadFactoryValues();
}

void SimulatedProcessor::LoadFactoryValues()
{
    const QList<quint8> music = Numbers(MusicFactoryValues);
    const QList<quint8> mic = Numbers(MicFactoryValues);
    for (quint8 preset = 0; preset < MusicPresetCount; ++preset)
        for (int k = 0; k < MusicParamCount; ++k)
            Store(Block(ParamBlock::MusicParam), preset, MusicParams[k].address, music.at(k));
    for (quint8 preset = 0; preset < MicPresetCount; ++preset)
        for (int k = 0; k < MicParamCount; ++k)
            Store(Block(ParamBlock::MicParam), preset, MicParams[k].address, mic.at(k));
    Store(Block(ParamBlock::MicParam), 0, MicParams[0].address, 7);
    Store(Block(ParamBlock::MicParam), 1, MicParams[0].address, 7);
    Store(Block(ParamBlock::MicParam), 1, MicParams[8].address, 3);
    for (quint8 row = 0; row < ProgramRowCount; ++row) {
        const QList<quint8> ktv = Numbers(KtvFactoryValues[row]);
        for (int k = 0; k < KtvParamCount; ++k)
            Store(Block(ParamBlock::EffectParam), row, KtvParams[k].address, ktv.at(k));
        const QList<quint8> eff = Numbers(EffFactoryValues[row]);
        for (int k = 0; k < EffParamCount; ++k)
            Store(Block(ParamBlock::EffectParam), quint8(20 + row), EffParams[k].address, eff.at(k));
    }
    for (quint8 channel = 0; channel < 3; ++channel) {
        const auto minimum = static_cast<quint8>(FactoryChannelMinimum[channel]);
        Store(Block(ParamBlock::ChannelMinimum), 0, channel, minimum);
        Store(Block(ParamBlock::ChannelMaximum), 0, channel, FactoryChannelMaximum);
        Store(Block(ParamBlock::ChannelMode), 0, channel, 0);
        Store(Block(ParamBlock::ChannelVolume), 0, channel, minimum);
    }
    Store(Block(ParamBlock::MuteSwitch), 0, 0, 0);
    Store(Block(ParamBlock::LockSwitch), 0, 0, 0);
    Store(Block(ParamBlock::ExciterSwitch), 0, 0, 0);
    Store(Block(ParamBlock::MusicKey), 0, 0, 5);
    Store(Block(ParamBlock::InputSource), 0, 0, 1);
}

void SimulatedProcessor::Store(quint8 block, quint8 selector, quint8 address, quint8 value)
{
    memory[Key(block, selector, address)] = value;
}

quint8 SimulatedProcessor::Value(ParamBlock block, quint8 selector, quint8 address) const
{
    const auto found = memory.find(Key(Block(block), selector, address));
    return found == memory.end() ? 0 : found->second;
}

bool SimulatedProcessor::Silent() const
{
    return silenced || (options.silentAfter >= 0 && framesReceived > options.silentAfter);
}

QByteArray SimulatedProcessor::Receive(quint8 byte)
{
    if (pendingCount == 0) {
        if (byte == SyncByte) {
            ++syncsReceived;
            return options.heartbeat && !Silent() ? QByteArray(1, char(SyncByte)) : QByteArray();
        }
        if (byte != FrameStart)
            return {};
    }
    // Inside a frame every byte counts by its position, whatever its value.
    pending[pendingCount++] = byte;
    if (pendingCount < int(pending.size()))
        return {};
    pendingCount = 0;
    ++framesReceived;
    if (OnFrame)
        OnFrame(pending);
    return Silent() ? QByteArray() : Answer(pending);
}

QByteArray SimulatedProcessor::Answer(const CommandFrame &frame)
{
    const quint8 op = frame[1], block = frame[2], selector = frame[3], address = frame[4],
                 value = frame[5];
    const QByteArray ack(1, char(AckByte));
    switch (op) {
    case IdentifyOp:
        return QByteArray(1, char(options.modelCode));
    case GetOp: {
        const auto found = memory.find(Key(block, selector, address));
        return QByteArray(1, char(SendableValue(found == memory.end() ? 0 : found->second)));
    }
    case SetOp:
    case UploadOp:
        if (op != UploadOp || options.ignoredUpload != std::array<quint8, 3>{block, selector, address})
            Store(block, selector, address, value);
        if (op == SetOp && block == Block(ParamBlock::MusicKey))
            return QByteArray(1, char(options.keyAnswer));
        return ack;
    default:
        // UploadEndOp and anything this model does not know are acknowledged.
        return ack;
    }
}
