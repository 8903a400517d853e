#pragma once

#include "BulkTransfer.h"
#include "ParameterDefinitions.h"

#include <QList>

// The editor as the bulk transfers see it, without a window: tables with their
// addresses, switches, input source and limits, starting from the factory limits.
struct PlainBulkEditor : BulkEditor
{
    PlainBulkEditor()
    {
        for (int m = 0; m < 6; ++m) {
            for (int k = 0; k < 18; ++k)
                tableSlots << TableSlot{ParamBlock::MusicParam, quint8(m), MusicParams[k].address, &music[m][k]};
        }
        for (int m = 0; m < 6; ++m) {
            for (int k = 0; k < 9; ++k)
                tableSlots << TableSlot{ParamBlock::MicParam, quint8(m), MicParams[k].address, &mic[m][k]};
        }
        for (int p = 0; p < 2; ++p) {
            for (int k = 0; k < 8; ++k)
                tableSlots << TableSlot{ParamBlock::EffectParam, quint8(p), KtvParams[k].address, &ktv[p][k]};
        }
        for (int p = 0; p < 2; ++p) {
            for (int k = 0; k < 10; ++k)
                tableSlots << TableSlot{ParamBlock::EffectParam, quint8(20 + p), EffParams[k].address, &eff[p][k]};
        }
    }
    // The slots point into this object.
    PlainBulkEditor(const PlainBulkEditor &) = delete;
    PlainBulkEditor &operator=(const PlainBulkEditor &) = delete;

    QList<TableSlot> AllTableSlots() override { return tableSlots; }
    void ShowPresetValues() override { ++shows; }
    void SetWindowEnabled(bool on) override
    {
        enabled = on;
        enabledLog << on;
    }
    quint8 SwitchValue(ParamBlock block) override { return switches[int(block)]; }
    void ApplySwitch(ParamBlock block, bool on) override { switches[int(block)] = on; }
    quint8 InputSourceValue() override { return input; }
    void ApplyInputSource(quint8 source) override { input = source < 3 ? source : 3; }
    quint8 LimitValue(ParamBlock block, int channel) override { return limits[channel][Row(block)]; }
    bool ApplyLimit(ParamBlock block, int channel, quint8 value) override
    {
        const int ceiling = block == ParamBlock::ChannelMode ? (channel == 2 ? 7 : 5) : 80;
        if (value > ceiling)
            return false;
        limits[channel][Row(block)] = value;
        return true;
    }
    static int Row(ParamBlock block)
    {
        return block == ParamBlock::ChannelMinimum ? 0 : block == ParamBlock::ChannelMaximum ? 1 : 2;
    }

    QList<TableSlot> tableSlots;
    quint8 music[6][18] = {};
    quint8 mic[6][9] = {};
    quint8 ktv[2][8] = {};
    quint8 eff[2][10] = {};
    quint8 switches[16] = {};
    quint8 input = 1;
    quint8 limits[3][3] = {{20, 80, 0}, {30, 80, 0}, {36, 80, 0}};
    bool enabled = true;
    QList<bool> enabledLog;
    int shows = 0;
};
