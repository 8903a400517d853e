#include "SimulatedProcessor.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray Send(SimulatedProcessor &sim, std::initializer_list<int> bytes)
{
    QByteArray answer;
    for (int b : bytes)
        answer += sim.Receive(static_cast<quint8>(b));
    return answer;
}

int Get(SimulatedProcessor &sim, int block, int selector, int address)
{
    const QByteArray answer = Send(sim, {0xCD, 0x01, block, selector, address, 0});
    return answer.size() == 1 ? quint8(answer[0]) : -1;
}

} // namespace

class TestSimulatedProcessor : public QObject
{
    Q_OBJECT

private slots:
    void factoryValues_data();
    void factoryValues();
    void setsAreKeptAndNeverAnsweredAsControlBytes();
    void answersFollowTheOptions();
    void randomBytesLeaveItWorking();
    void options();
};

void TestSimulatedProcessor::factoryValues_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("selector");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("value");
    QTest::newRow("MUSIC5 SUB Freq") << 0 << 4 << 27 << 21;
    QTest::newRow("MUSIC1 Out Limit") << 0 << 0 << 29 << 1;
    QTest::newRow("MIC1 57Hz") << 1 << 0 << 0 << 7;
    QTest::newRow("MIC2 LowCut") << 1 << 1 << 7 << 3;
    QTest::newRow("MIC3 57Hz") << 1 << 2 << 0 << 10;
    QTest::newRow("MIC6 LowCut") << 1 << 5 << 7 << 6;
    QTest::newRow("KTV2 Echo-B Rep") << 2 << 1 << 83 << 80;
    QTest::newRow("EFF1 Rev Vol") << 2 << 20 << 199 << 68;
    QTest::newRow("EFF2 REV 3 Time") << 2 << 21 << 132 << 55;
    QTest::newRow("KTV minimum") << 4 << 0 << 2 << 36;
    QTest::newRow("MIC minimum") << 4 << 0 << 1 << 30;
    QTest::newRow("MUS maximum") << 5 << 0 << 0 << 80;
    QTest::newRow("MIC mode") << 3 << 0 << 1 << 0;
    QTest::newRow("input source") << 12 << 0 << 0 << 1;
    QTest::newRow("mute") << 7 << 0 << 0 << 0;
}

void TestSimulatedProcessor::factoryValues()
{
    QFETCH(int, block);
    QFETCH(int, selector);
    QFETCH(int, address);
    QFETCH(int, value);
    SimulatedProcessor sim;
    QCOMPARE(Get(sim, block, selector, address), value);
}

void TestSimulatedProcessor::setsAreKeptAndNeverAnsweredAsControlBytes()
{
    SimulatedProcessor sim;
    QCOMPARE(Send(sim, {0xCD, 0x02, 0x02, 20, 181, 30}), QByteArray("3"));
    QCOMPARE(Get(sim, 2, 20, 181), 30);
    QCOMPARE(Get(sim, 2, 21, 181), 20);  // the other program is untouched
    QCOMPARE(Send(sim, {0xCD, 0x00, 0x01, 3, 8, 2}), QByteArray("3"));
    QCOMPARE(Get(sim, 1, 3, 8), 2);
    QCOMPARE(sim.Value(ParamBlock::MicParam, 3, 8), quint8(2));

    // A value byte of 0xFC inside a frame is data, not a heartbeat; it cannot travel back as it is.
    QCOMPARE(Send(sim, {0xCD, 0x02, 0x00, 0, 0, 0xFC}), QByteArray("3"));
    QCOMPARE(sim.Value(ParamBlock::MusicParam, 0, 0), quint8(0xFC));
    QCOMPARE(Get(sim, 0, 0, 0), 0xFB);
    Send(sim, {0xCD, 0x00, 0x00, 0, 1, 0xFE});
    QCOMPARE(Get(sim, 0, 0, 1), 0xFD);
    QCOMPARE(sim.SyncsReceived(), 0);
    QCOMPARE(Get(sim, 0, 9, 99), 0);  // never set
}

void TestSimulatedProcessor::answersFollowTheOptions()
{
    SimulatedProcessor standard;
    QCOMPARE(Send(standard, {0xCD, 0xE2, 0, 0, 0, 0x6E}), QByteArray(1, char(0x6E)));
    QCOMPARE(Send(standard, {0xFC}), QByteArray(1, char(0xFC)));
    QCOMPARE(Send(standard, {0xCD, 0x02, 0x0B, 0, 0, 7}), QByteArray("3"));
    QCOMPARE(Send(standard, {0xCD, 0xEF, 0, 0, 0, 0}), QByteArray("3"));
    QCOMPARE(Send(standard, {0x33, 0x00, 0xFE}), QByteArray());  // stray bytes between frames

    SimOptions options;
    options.modelCode = 0x6F;
    options.keyAnswer = 0x01;
    options.heartbeat = false;
    options.silentAfter = 2;
    SimulatedProcessor other(options);
    QCOMPARE(Send(other, {0xCD, 0xE2, 0, 0, 0, 0x6E}), QByteArray(1, char(0x6F)));
    QCOMPARE(Send(other, {0xFC}), QByteArray());
    QCOMPARE(Send(other, {0xCD, 0x02, 0x0B, 0, 0, 7}), QByteArray(1, char(0x01)));
    QCOMPARE(Send(other, {0xCD, 0x01, 0x0B, 0, 0, 0}), QByteArray());
    QCOMPARE(other.FramesReceived(), 3);
    QCOMPARE(other.Value(ParamBlock::MusicKey, 0, 0), quint8(7));
}

void TestSimulatedProcessor::randomBytesLeaveItWorking()
{
    SimulatedProcessor sim;
    QRandomGenerator random(4);
    for (int i = 0; i < 200000; ++i)
        sim.Receive(static_cast<quint8>(random.bounded(256)));
    Send(sim, {0, 0, 0, 0, 0, 0});  // completes any frame the noise began
    QCOMPARE(Send(sim, {0xCD, 0xE2, 0, 0, 0, 0x6E}), QByteArray(1, char(0x6E)));
}

void TestSimulatedProcessor::options()
{
    QString error;
    const auto parsed = ParseSimOptions({"--model-code", "0x6F", "--silent-after", "3", "--no-heartbeat",
                                         "--key-answer", "7", "--key-reset-every", "500", "--line-time",
                                         "--log-frames", "--device", "/dev/ttyS0"},
                                        &error);
    QVERIFY(parsed);
    QCOMPARE(parsed->modelCode, quint8(0x6F));
    QCOMPARE(parsed->silentAfter, 3);
    QVERIFY(!parsed->heartbeat);
    QCOMPARE(parsed->keyAnswer, quint8(7));
    QCOMPARE(parsed->keyResetEveryMs, 500);
    QVERIFY(parsed->lineTime && parsed->logFrames);
    QCOMPARE(parsed->device, QStringLiteral("/dev/ttyS0"));

    const auto defaults = ParseSimOptions({}, &error);
    QVERIFY(defaults && defaults->heartbeat && !defaults->lineTime);
    QCOMPARE(defaults->silentAfter, -1);

    for (const QStringList &bad : {QStringList{"--model-code", "256"}, QStringList{"--key-answer"},
                                   QStringList{"--silent-after", "x"}, QStringList{"--colour"}}) {
        error.clear();
        QVERIFY2(!ParseSimOptions(bad, &error), qPrintable(bad.join(' ')));
        QVERIFY(!error.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestSimulatedProcessor)
#include "tst_simulatedprocessor.moc"
