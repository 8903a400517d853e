#include "LinkFixture.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTimer>

namespace {

SimOptions Silent()
{
    SimOptions options;
    options.silentAfter = 0;
    return options;
}

// Bytes the processor sends shortly after the next frame has gone out.
void SendSoon(SimulatorTerminal &sim, const QByteArray &bytes, int ms = 30)
{
    QTimer::singleShot(ms, &sim, [&sim, bytes] { sim.SendRaw(bytes); });
}

} // namespace

class TestCommandLayer : public QObject
{
    Q_OBJECT

private slots:
    void framesAndReplies();
    void sortingOfReceivedBytes();
    void pauseOnlyForZeroWithFlag_data();
    void pauseOnlyForZeroWithFlag();
    void probingTimeOutIsSilent();
    void timeOutDropsTheConnection();
    void progressOfABatch();
    void trafficForTheLog();
    void floodOfRandomBytes();
    void teardownDuringAWait();
};

void TestCommandLayer::framesAndReplies()
{
    LinkFixture f;
    QVERIFY(f.commands.Timer2.isActive());
    QCOMPARE(f.commands.Timer2.interval(), 15);

    QVERIFY(f.commands.SendCommand(false, 0, 2, 6, 0, 1, 40, false));
    QCOMPARE(f.sim.Received(), Bytes({0xCD, 0x02, 0x06, 0x00, 0x01, 0x28}));
    QCOMPARE(f.sim.Processor().Value(ParamBlock::ChannelVolume, 0, 1), quint8(40));
    QVERIFY(!f.commands.ExpectData);
    QVERIFY(f.commands.ReplyOk && !f.commands.IsWaiting);
    QVERIFY(!f.commands.TimeOuter.isActive());

    QVERIFY(f.commands.SendCommand(false, 0, 2, 0, 3, 5, 0x14, false));
    QVERIFY(f.commands.SendCommand(true, 1, 1, 0, 3, 5, 0, false));
    QCOMPARE(f.sim.Received().right(6), Bytes({0xCD, 0x01, 0x00, 0x03, 0x05, 0x00}));
    QCOMPARE(f.commands.ReplyBuffer[0], quint8(0x14));
    QCOMPARE(f.commands.ReplyCount, 1);

    // op and block travel as bytes.
    QVERIFY(f.commands.SendCommand(true, 1, IdentifyOp, 0, 0, 0, ModelCode, false));
    QCOMPARE(f.sim.Received().right(6), Bytes({0xCD, 0xE2, 0, 0, 0, 0x6E}));
    QCOMPARE(f.commands.ReplyBuffer[0], ModelCode);
    QVERIFY(f.prompt.shown.isEmpty());
}

void TestCommandLayer::sortingOfReceivedBytes()
{
    LinkFixture f(Silent());

    // Waiting for the acknowledgement: other data bytes do not end the wait.
    SendSoon(f.sim, Bytes({0x14, 0x00, 0x33}));
    QVERIFY(f.commands.SendCommand(false, 0, 2, 7, 0, 0, 1, false));

    // A read takes 0x33 as its value.
    SendSoon(f.sim, Bytes({0x33}));
    QVERIFY(f.commands.SendCommand(true, 1, 1, 0, 0, 0, 0, false));
    QCOMPARE(f.commands.ReplyBuffer[0], quint8(0x33));

    // Heartbeat answer and key reset inside a reply are not data and leave the wait going.
    SendSoon(f.sim, Bytes({0xFC, 0xFE, 0x05, 0x06}));
    QVERIFY(f.commands.SendCommand(true, 2, 1, 0, 0, 0, 0, false));
    QCOMPARE(f.commands.ReplyBuffer[0], quint8(0x05));
    QCOMPARE(f.commands.ReplyBuffer[1], quint8(0x06));
    QCOMPARE(f.syncsReceived, 1);
    QCOMPARE(f.keyResets, 1);

    // Bytes after a complete reply are still stored behind it.
    SendSoon(f.sim, Bytes({0x07, 0x08, 0x09}));
    QVERIFY(f.commands.SendCommand(true, 1, 1, 0, 0, 0, 0, false));
    QTRY_COMPARE(f.commands.ReplyCount, 3);
    QCOMPARE(f.commands.ReplyBuffer[2], quint8(0x09));
    QVERIFY(f.prompt.shown.isEmpty());
}

void TestCommandLayer::pauseOnlyForZeroWithFlag_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("pauseIfZero");
    QTest::addColumn<bool>("pauses");
    QTest::newRow("mute off") << 0 << true << true;
    QTest::newRow("mute on") << 1 << true << false;
    QTest::newRow("zero without flag") << 0 << false << false;
}

void TestCommandLayer::pauseOnlyForZeroWithFlag()
{
    QFETCH(int, value);
    QFETCH(bool, pauseIfZero);
    QFETCH(bool, pauses);
    LinkFixture f;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(f.commands.SendCommand(false, 0, 2, 7, 0, 0, quint8(value), pauseIfZero));
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(f.sim.Received(), Bytes({0xCD, 0x02, 0x07, 0x00, 0x00, value}));
    if (pauses)
        QVERIFY2(elapsed >= 1500 && elapsed < 2500, qPrintable(QString::number(elapsed)));
    else
        QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed)));
}

void TestCommandLayer::probingTimeOutIsSilent()
{
    LinkFixture f(Silent());
    f.commands.IsConnected = true;
    f.commands.IsProbing = true;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!f.commands.SendCommand(true, 1, IdentifyOp, 0, 0, 0, ModelCode, false));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 690 && elapsed < 1500, qPrintable(QString::number(elapsed)));
    QCOMPARE(f.commands.TimeOuter.interval(), 700);
    QVERIFY(f.prompt.shown.isEmpty());
    QVERIFY(f.statuses.isEmpty());
    QVERIFY(f.state.port.IsOpen());
    QVERIFY(f.commands.IsConnected);
}

void TestCommandLayer::timeOutDropsTheConnection()
{
    // The only answer to the read is a heartbeat byte, which is no value.
    LinkFixture f(Silent());
    f.commands.IsConnected = true;
    SendSoon(f.sim, Bytes({0xFC}));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!f.commands.SendCommand(true, 1, 1, 0, 3, 5, 0, false));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 3990 && elapsed < 5000, qPrintable(QString::number(elapsed)));
    QCOMPARE(f.commands.TimeOuter.interval(), 4000);
    QCOMPARE(f.syncsReceived, 1);
    QCOMPARE(f.statuses, QStringList{QStringLiteral("not connected")});
    QCOMPARE(f.prompt.Texts(QStringLiteral("warn")),
             QStringList{LossReported});
    QCOMPARE(f.prompt.shown.size(), 1);
    QVERIFY(!f.commands.IsConnected);
    QVERIFY(!f.state.port.IsOpen());
    QVERIFY(!f.commands.ReplyOk && !f.commands.IsWaiting);
}

void TestCommandLayer::progressOfABatch()
{
    LinkFixture f;
    f.commands.ProgressTotal = 211;
    f.commands.ProgressCount = 0;
    f.commands.ProgressOn = true;
    QList<int> expected;
    for (int frame = 1; frame <= 211; ++frame) {
        if (frame % 5 == 0 || frame == 211)
            expected << std::min(100, frame * 100 / 211);
        QVERIFY(f.commands.SendCommand(true, 1, 1, 0, 0, 0, 0, false));
    }
    QCOMPARE(expected.first(), 2);
    QCOMPARE(expected.at(expected.size() - 2), 99);
    QCOMPARE(f.progress, expected);
    QCOMPARE(f.commands.ProgressCount, 211);

    f.commands.ProgressOn = false;
    QVERIFY(f.commands.SendCommand(true, 1, 1, 0, 0, 0, 0, false));
    QCOMPARE(f.commands.ProgressCount, 211);
    QCOMPARE(f.progress.size(), expected.size());
}

// What a traffic log is given: each frame and sync byte sent, each byte received, in order.
void TestCommandLayer::trafficForTheLog()
{
    LinkFixture f;
    QStringList traffic;
    f.commands.OnFrameSent = [&](const CommandFrame &frame) {
        traffic << QStringLiteral("sent ") + QByteArray(reinterpret_cast<const char *>(frame.data()), 6).toHex();
    };
    f.commands.OnSyncSent = [&] { traffic << QStringLiteral("sync"); };
    f.commands.OnByteReceived = [&](quint8 byte) { traffic << QStringLiteral("received %1").arg(byte); };
    QVERIFY(f.commands.SendCommand(true, 1, 1, 0, 3, 5, 0, false));
    f.commands.SendSync();
    QTRY_COMPARE(f.syncsReceived, 1);
    QCOMPARE(traffic, (QStringList{"sent cd0100030500", "received 10", "sync", "received 252"}));
}

void TestCommandLayer::floodOfRandomBytes()
{
    LinkFixture f(Silent());
    f.commands.ExpectData = true;
    f.commands.ExpectedLength = 1;
    QRandomGenerator random(11);
    int maximumCount = 0;
    for (int burst = 0; burst < 80; ++burst) {
        QByteArray noise(200, Qt::Uninitialized);
        for (char &c : noise)
            c = char(random.bounded(256));
        f.sim.SendRaw(noise);
        QTest::qWait(25);
        maximumCount = std::max(maximumCount, f.commands.ReplyCount);
        QVERIFY(f.commands.ReplyCount >= 0 && f.commands.ReplyCount <= 5000);
    }
    Pump(300);
    QVERIFY(f.commands.ReplyCount <= 5000);
    QVERIFY(f.commands.Timer2.isActive());
    QVERIFY2(maximumCount > 1000, qPrintable(QString::number(maximumCount)));
    QVERIFY(f.prompt.shown.isEmpty());

    // The line still works afterwards.
    SendSoon(f.sim, Bytes({0x33}));
    QVERIFY(f.commands.SendCommand(false, 0, 2, 8, 0, 0, 1, false));
}

void TestCommandLayer::teardownDuringAWait()
{
    // The window goes away while a command waits.
    {
        LinkFixture f(Silent());
        auto *commands = new CommandLayer(f.state);
        QVERIFY(f.state.port.ConfigurePort(9600, 8));
        QTimer::singleShot(100, [commands] { delete commands; });
        QVERIFY(!commands->SendCommand(true, 1, 1, 0, 0, 0, 0, false));
        QVERIFY(f.prompt.shown.isEmpty());
    }
    // The program is told to quit while a command waits: the wait gives up quietly.
    {
        LinkFixture f(Silent());
        f.commands.IsConnected = true;
        QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!f.commands.SendCommand(true, 1, 1, 0, 0, 0, 0, false));
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(f.prompt.shown.isEmpty());
        QVERIFY(!f.commands.IsWaiting && !f.commands.TimeOuter.isActive());
    }
}

QTEST_GUILESS_MAIN(TestCommandLayer)
#include "tst_commandlayer.moc"
