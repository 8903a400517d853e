#include "ParameterModel.h"

#include <QStringList>

namespace {

template <int N>
void StoreValues(ParamSlot (&row)[N], const char *decimalList)
{
    const QStringList numbers = QString::fromLatin1(decimalList).split(QLatin1Char(','));
    for (int k = 0; k < N && k < numbers.size(); ++k)
        row[k].value = static_cast<quint8>(numbers.at(k).toInt());
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
    for (auto &preset : MusicPresetTable)
        StoreValues(preset, MusicFactoryValues);
    for (auto &preset : MicPresetTable)
        StoreValues(preset, MicFactoryValues);
    MicPresetTable[0][0].value = 7;
    MicPresetTable[1][0].value = 7;
    MicPresetTable[1][8].value = 3;
    for (int p = 0; p < ProgramRowCount; ++p) {
        StoreValues(KtvProgramTable[p], KtvFactoryValues[p]);
        StoreValues(EffProgramTable[p], EffFactoryValues[p]);
    }
}

ParamSlot *ParameterModel::CurrentProgramSlots()
{
    return IsEffProgram(CurrentEffectProgram) ? EffProgramTable[CurrentEffectProgram - 20]
                                              : KtvProgramTable[CurrentEffectProgram];
}

int ParameterModel::CurrentProgramParamCount() const
{
    return IsEffProgram(CurrentEffectProgram) ? EffParamCount : KtvParamCount;
}

int ProgramCodeForListIndex(int listIndex)
{
    return listIndex < 2 ? listIndex : listIndex + 18;
}
