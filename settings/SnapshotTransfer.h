#pragma once

#include "BulkTransfer.h"
#include "SettingsSnapshot.h"

#include <atomic>

// The bulk transfers against a settings snapshot instead of the editor's window:
// a read fills it, an upload sends it, with the same frames in the same order.
class SnapshotBulkEditor : public BulkEditor
{
public:
    explicit SnapshotBulkEditor(SettingsSnapshot &settings, const std::atomic<bool> *stop = nullptr);

    QList<TableSlot> AllTableSlots() override;
    void ShowPresetValues() override {}
    void SetWindowEnabled(bool) override {}
    quint8 SwitchValue(ParamBlock block) override;
    void ApplySwitch(ParamBlock block, bool on) override;
    quint8 InputSourceValue() override;
    void ApplyInputSource(quint8 source) override;
    quint8 LimitValue(ParamBlock block, int channel) override;
    bool ApplyLimit(ParamBlock block, int channel, quint8 value) override;
    bool StopRequested() override { return stop && *stop; }

private:
    SettingsSnapshot &settings;
    const std::atomic<bool> *stop;
};
