#include "SimulatedProcessor.h"

#include "FactorySettings.h"
#include "NamedSettings.h"

namespace {

quint32 Key(quint8 block, quint8 selector, quint8 address)
{
    return quint32(block) << 16 | quint32(selector) << 8 | address;
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
    const SettingsSnapshot &factory = FactorySettings();
    for (const NamedSetting &setting : AllNamedSettings())
        Store(Block(setting.Block()), setting.Selector(), setting.Address(), setting.Value(factory));
    // Beside the stored settings: each channel's volume starts at its power-on minimum, the key natural.
    for (quint8 channel = 0; channel < 3; ++channel)
        Store(Block(ParamBlock::ChannelVolume), 0, channel, quint8(FactoryChannelMinimum[channel]));
    Store(Block(ParamBlock::MusicKey), 0, 0, 5);
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
