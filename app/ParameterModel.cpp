#include "ParameterModel.h"

#include "FactorySettings.h"

namespace {

template <int Rows, int N>
void CopyValues(ParamSlot (&to)[Rows][N], const quint8 (&from)[Rows][N])
{
    for (int m = 0; m < Rows; ++m)
        for (int k = 0; k < N; ++k)
            to[m][k].value = from[m][k];
}

template <int Rows, int N>
void FillAddresses(ParamSlot (&table)[Rows][N], const ParamDef (&defs)[N])
{
    for (auto &row : table)
        for (int k = 0; k < N; ++k)
            row[k].address = defs[k].address;
}

} // namespace

ParameterModel::ParameterModel()
{
    FillAddresses(MusicPresetTable, MusicParams);
    FillAddresses(MicPresetTable, MicParams);
    FillAddresses(KtvProgramTable, KtvParams);
    FillAddresses(EffProgramTable, EffParams);
}

void ParameterModel::LoadFactoryTables()
{
    const SettingsSnapshot &factory = FactorySettings();
    CopyValues(MusicPresetTable, factory.music);
    CopyValues(MicPresetTable, factory.mic);
    CopyValues(KtvProgramTable, factory.ktv);
    CopyValues(EffProgramTable, factory.eff);
}

ParamSlot *ParameterModel::CurrentProgramSlots()
{
    return IsEffProgram(CurrentEffectProgram) ? EffProgramTable[CurrentEffectProgram - FirstEffProgram]
                                              : KtvProgramTable[CurrentEffectProgram];
}

int ParameterModel::CurrentProgramParamCount() const
{
    return IsEffProgram(CurrentEffectProgram) ? EffParamCount : KtvParamCount;
}

int ProgramCodeForListIndex(int listIndex)
{
    return listIndex < ProgramRowCount ? listIndex : listIndex - ProgramRowCount + FirstEffProgram;
}
