#pragma once

#include <QtGlobal>
#include <array>

// Six bytes on the line: 0xCD, op, block, selector, address, value.
using CommandFrame = std::array<quint8, 6>;

constexpr quint8 FrameStart = 0xCD;

// Operations, frame byte 1.
constexpr quint8 UploadOp = 0x00;
constexpr quint8 GetOp = 0x01;
constexpr quint8 SetOp = 0x02;
constexpr quint8 IdentifyOp = 0xE2;
constexpr quint8 UploadEndOp = 0xEF;

// Single bytes.
constexpr quint8 SyncByte = 0xFC;
constexpr quint8 AckByte = 0x33;
constexpr quint8 KeyResetByte = 0xFE;
constexpr quint8 ModelCode = 0x6E;

// Which group of settings a frame addresses, frame byte 2.
enum class ParamBlock : quint8 {
    MusicParam = 0,
    MicParam = 1,
    EffectParam = 2,
    ChannelMode = 3,
    ChannelMinimum = 4,
    ChannelMaximum = 5,
    ChannelVolume = 6,
    MuteSwitch = 7,
    LockSwitch = 8,
    ExciterSwitch = 10,
    MusicKey = 11,
    InputSource = 12,
};

// The frame for a set (SetOp or UploadOp) or a get (GetOp) of a setting.
// selector is the memory of blocks 0 to 2 (0 elsewhere); address is the
// parameter address of blocks 0 to 2 or the channel of blocks 3 to 6 (0 elsewhere).
// A get carries value 0. This is the one place where settings meet commands.
constexpr CommandFrame SettingFrame(quint8 op, ParamBlock block, quint8 selector, quint8 address,
                                    quint8 value)
{
    const bool hasMemory = block == ParamBlock::MusicParam || block == ParamBlock::MicParam
        || block == ParamBlock::EffectParam;
    const bool hasAddress = hasMemory || block == ParamBlock::ChannelMode
        || block == ParamBlock::ChannelMinimum || block == ParamBlock::ChannelMaximum
        || block == ParamBlock::ChannelVolume;
    return {FrameStart,
            op,
            static_cast<quint8>(block),
            hasMemory ? selector : quint8(0),
            hasAddress ? address : quint8(0),
            op == GetOp ? quint8(0) : value};
}

// A set of the music key answers with a data byte; every other set with AckByte.
constexpr bool SetExpectsData(ParamBlock block) { return block == ParamBlock::MusicKey; }
// Only the mute set pauses before its reply when switching mute off.
constexpr bool SetPausesIfZero(ParamBlock block) { return block == ParamBlock::MuteSwitch; }
