#include "CommandFrame.h"
#include "ParameterModel.h"

#include <QtTest>

class TestParameterModel : public QObject
{
    Q_OBJECT

private slots:
    void factoryValues();
    void addresses();
    void factoryReloadKeepsSelection();
    void programCodes();
    void frameBytesForEveryBlock_data();
    void frameBytesForEveryBlock();
};

template <int N>
static QList<int> Values(const ParamSlot (&row)[N])
{
    QList<int> values;
    for (const ParamSlot &slot : row)
        values << slot.value;
    return values;
}

template <int N>
static QList<int> Addresses(const ParamSlot (&row)[N])
{
    QList<int> values;
    for (const ParamSlot &slot : row)
        values << slot.address;
    return values;
}

void TestParameterModel::factoryValues()
{
    ParameterModel model;
    model.LoadFactoryTables();
    const QList<int> music{10, 10, 10, 10, 10, 10, 10, 1, 80, 80, 10, 10, 10, 21, 30, 30, 0, 0};
    for (int m = 0; m < MusicPresetCount; ++m)
        QCOMPARE(Values(model.MusicPresetTable[m]), music);
    QCOMPARE(Values(model.MicPresetTable[0]), (QList<int>{7, 10, 10, 10, 10, 10, 10, 0, 6}));
    QCOMPARE(Values(model.MicPresetTable[1]), (QList<int>{7, 10, 10, 10, 10, 10, 10, 0, 3}));
    for (int m = 2; m < MicPresetCount; ++m)
        QCOMPARE(Values(model.MicPresetTable[m]), (QList<int>{10, 10, 10, 10, 10, 10, 10, 0, 6}));
    QCOMPARE(Values(model.KtvProgramTable[0]), (QList<int>{6, 14, 40, 68, 90, 63, 75, 63}));
    QCOMPARE(Values(model.KtvProgramTable[1]), (QList<int>{8, 14, 40, 68, 80, 63, 80, 66}));
    QCOMPARE(Values(model.EffProgramTable[0]), (QList<int>{8, 14, 40, 68, 50, 45, 45, 20, 88, 90}));
    QCOMPARE(Values(model.EffProgramTable[1]), (QList<int>{8, 14, 50, 68, 50, 45, 55, 20, 80, 80}));
}

void TestParameterModel::addresses()
{
    ParameterModel model;
    const QList<int> music{0, 1, 2, 3, 4, 5, 6, 29, 17, 18, 24, 23, 22, 27, 25, 26, 21, 28};
    const QList<int> mic{0, 1, 2, 3, 4, 5, 6, 8, 7};
    const QList<int> ktv{82, 80, 98, 99, 10, 85, 83, 81};
    const QList<int> eff{82, 80, 98, 199, 130, 131, 132, 181, 110, 111};
    for (int m = 0; m < MusicPresetCount; ++m) {
        QCOMPARE(Addresses(model.MusicPresetTable[m]), music);
        QCOMPARE(Addresses(model.MicPresetTable[m]), mic);
    }
    for (int p = 0; p < ProgramRowCount; ++p) {
        QCOMPARE(Addresses(model.KtvProgramTable[p]), ktv);
        QCOMPARE(Addresses(model.EffProgramTable[p]), eff);
    }
    // The slider ranges the window and the simulator rely on.
    QCOMPARE(MusicParams[7].maxValue, 6);
    QCOMPARE(MusicParams[13].maxValue, 21);
    QCOMPARE(MicParams[7].maxValue, 3);
    QCOMPARE(MicParams[8].maxValue, 13);
    QCOMPARE(KtvParams[5].maxValue, 127);
    QCOMPARE(EffParams[7].maxValue, 40);
}

void TestParameterModel::factoryReloadKeepsSelection()
{
    ParameterModel model;
    model.CurrentMusicPreset = 3;
    model.CurrentMicPreset = 4;
    model.CurrentEffectProgram = 21;
    model.MusicPresetTable[3][2].value = 17;
    model.EffProgramTable[1][0].address = 99;  // only values are reloaded
    model.LoadFactoryTables();
    QCOMPARE(model.CurrentMusicPreset, 3);
    QCOMPARE(model.CurrentMicPreset, 4);
    QCOMPARE(model.CurrentEffectProgram, 21);
    QCOMPARE(model.MusicPresetTable[3][2].value, quint8(10));
    QCOMPARE(model.CurrentProgramParamCount(), EffParamCount);
    QCOMPARE(model.CurrentProgramSlots(), &model.EffProgramTable[1][0]);
    model.CurrentEffectProgram = 1;
    QCOMPARE(model.CurrentProgramSlots(), &model.KtvProgramTable[1][0]);
}

void TestParameterModel::programCodes()
{
    QCOMPARE((QList<int>{ProgramCodeForListIndex(0), ProgramCodeForListIndex(1),
                         ProgramCodeForListIndex(2), ProgramCodeForListIndex(3)}),
             (QList<int>{0, 1, 20, 21}));
}

void TestParameterModel::frameBytesForEveryBlock_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("selector");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("frame");
    auto bytes = [](std::initializer_list<int> list) {
        QByteArray b;
        for (int v : list)
            b.append(char(v));
        return b;
    };
    QTest::newRow("mic H_Curve in preset 3") << 2 << 1 << 3 << 8 << 2 << bytes({205, 2, 1, 3, 8, 2});
    QTest::newRow("EFF In C in preset 4") << 2 << 0 << 4 << 21 << 1 << bytes({205, 2, 0, 4, 21, 1});
    QTest::newRow("REV Dly in EFF1") << 2 << 2 << 20 << 181 << 30 << bytes({205, 2, 2, 20, 181, 30});
    QTest::newRow("channel mode") << 0 << 3 << 7 << 2 << 4 << bytes({205, 0, 3, 0, 2, 4});
    QTest::newRow("channel minimum") << 0 << 4 << 0 << 1 << 30 << bytes({205, 0, 4, 0, 1, 30});
    QTest::newRow("channel maximum") << 0 << 5 << 0 << 2 << 80 << bytes({205, 0, 5, 0, 2, 80});
    QTest::newRow("MIC volume 55") << 2 << 6 << 0 << 1 << 55 << bytes({205, 2, 6, 0, 1, 55});
    QTest::newRow("mute on") << 2 << 7 << 0 << 0 << 1 << bytes({205, 2, 7, 0, 0, 1});
    QTest::newRow("lock set ignores stray address") << 2 << 8 << 3 << 9 << 1 << bytes({205, 2, 8, 0, 0, 1});
    QTest::newRow("exciter off") << 2 << 10 << 0 << 0 << 0 << bytes({205, 2, 10, 0, 0, 0});
    QTest::newRow("natural key") << 2 << 11 << 0 << 0 << 5 << bytes({205, 2, 11, 0, 0, 5});
    QTest::newRow("input BGM") << 2 << 12 << 0 << 0 << 1 << bytes({205, 2, 12, 0, 0, 1});
    QTest::newRow("get carries value 0") << 1 << 0 << 3 << 5 << 77 << bytes({205, 1, 0, 3, 5, 0});
    QTest::newRow("get KTV channel mode") << 1 << 3 << 0 << 2 << 0 << bytes({205, 1, 3, 0, 2, 0});
}

void TestParameterModel::frameBytesForEveryBlock()
{
    QFETCH(int, op);
    QFETCH(int, block);
    QFETCH(int, selector);
    QFETCH(int, address);
    QFETCH(int, value);
    QFETCH(QByteArray, frame);
    const CommandFrame f = SettingFrame(quint8(op), ParamBlock(block), quint8(selector),
                                        quint8(address), quint8(value));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(f.data()), 6), frame);
}

QTEST_MAIN(TestParameterModel)
#include "test_parameter_model.moc"
