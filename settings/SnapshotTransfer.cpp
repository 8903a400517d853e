#include "SnapshotTransfer.h"

#include "ParameterDefinitions.h"

namespace {

using S = SettingsSnapshot;

int LimitRow(ParamBlock block)
{
    return block == ParamBlock::ChannelMinimum ? S::MinimumRow
        : block == ParamBlock::ChannelMaximum  ? S::MaximumRow
                                               : S::ModeRow;
}

template <typename Table, std::size_t N>
void AddSlots(QList<BulkEditor::TableSlot> &slotList, ParamBlock block, int firstSelector, Table &table,
              const ParamDef (&params)[N])
{
    for (int m = 0; m < int(std::size(table)); ++m)
        for (std::size_t k = 0; k < N; ++k)
            slotList.append({block, quint8(firstSelector + m), params[k].address, &table[m][k]});
}

} // namespace

SnapshotBulkEditor::SnapshotBulkEditor(SettingsSnapshot &settings, const std::atomic<bool> *stop)
    : settings(settings), stop(stop)
{
}

QList<BulkEditor::TableSlot> SnapshotBulkEditor::AllTableSlots()
{
    QList<TableSlot> slotList;
    AddSlots(slotList, ParamBlock::MusicParam, 0, settings.music, MusicParams);
    AddSlots(slotList, ParamBlock::MicParam, 0, settings.mic, MicParams);
    AddSlots(slotList, ParamBlock::EffectParam, 0, settings.ktv, KtvParams);
    AddSlots(slotList, ParamBlock::EffectParam, 20, settings.eff, EffParams);
    return slotList;
}

quint8 SnapshotBulkEditor::SwitchValue(ParamBlock block)
{
    return block == ParamBlock::MuteSwitch ? settings.mute
        : block == ParamBlock::LockSwitch  ? settings.lock
                                           : settings.exciter;
}

void SnapshotBulkEditor::ApplySwitch(ParamBlock block, bool on)
{
    (block == ParamBlock::MuteSwitch ? settings.mute
     : block == ParamBlock::LockSwitch ? settings.lock
                                       : settings.exciter) = on;
}

quint8 SnapshotBulkEditor::InputSourceValue()
{
    return settings.inputSelect == S::NoInputSource ? 3 : quint8(settings.inputSelect);
}

void SnapshotBulkEditor::ApplyInputSource(quint8 source)
{
    settings.inputSelect = source < 3 ? source : S::NoInputSource;
}

quint8 SnapshotBulkEditor::LimitValue(ParamBlock block, int channel)
{
    return quint8(settings.vol[S::LimitIndex(channel, LimitRow(block))]);
}

// The limits panel refuses what its boxes cannot hold; so does this.
bool SnapshotBulkEditor::ApplyLimit(ParamBlock block, int channel, quint8 value)
{
    const int row = LimitRow(block);
    if (value > (row == S::ModeRow ? S::HighestMode(channel) : S::HighestLimit))
        return false;
    settings.vol[S::LimitIndex(channel, row)] = value;
    return true;
}
