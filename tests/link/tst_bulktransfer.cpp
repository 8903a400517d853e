#include "BulkTransfer.h"
#include "LinkFixture.h"
#include "FactorySettings.h"

#include <QtTest>

namespace {

QList<QByteArray> Frames(const QByteArray &received)
{
    QList<QByteArray> frames;
    for (int i = 0; i + 6 <= received.size();) {
        if (quint8(received[i]) == FrameStart) {
            frames << received.mid(i, 6);
            i += 6;
        } else {
            ++i;
        }
    }
    return frames;
}

// Puts a value into the simulated processor as an upload would.
void Preset(SimulatorTerminal &sim, ParamBlock block, quint8 selector, quint8 address, quint8 value)
{
    const CommandFrame f = SettingFrame(UploadOp, block, selector, address, value);
    for (quint8 b : f)
        sim.Processor().Receive(b);
}

} // namespace

class TestBulkTransfer : public QObject
{
    Q_OBJECT

private slots:
    void refusedWithoutConnection();
    void completeReadAppliesWhatTheProcessorHolds();
    void uploadThenReadRoundTrip();
    void refusedValueStopsReadWithMessage();
    void silentProcessorStopsReadOnce();
};

void TestBulkTransfer::refusedWithoutConnection()
{
    LinkFixture link;
    SettingsSnapshot settings;
    QCOMPARE(ReadAllFromDevice(link.commands, settings).outcome, TransferOutcome::NotConnected);
    QCOMPARE(UploadAllToDevice(link.commands, settings), TransferOutcome::NotConnected);
    Pump(50);
    QVERIFY(link.sim.Received().isEmpty());
    QVERIFY(link.progress.isEmpty());
    QVERIFY(settings == SettingsSnapshot());
}

void TestBulkTransfer::completeReadAppliesWhatTheProcessorHolds()
{
    LinkFixture link;
    for (const NamedSetting &s : AllNamedSettings())
        if (s.InTable())
            Preset(link.sim, s.Block(), s.Selector(), s.Address(), quint8((s.Address() * 3 + s.Selector()) % 200));
    Preset(link.sim, ParamBlock::MuteSwitch, 0, 0, 1);
    Preset(link.sim, ParamBlock::InputSource, 0, 0, 5);
    Preset(link.sim, ParamBlock::ChannelMinimum, 0, 1, 44);
    Preset(link.sim, ParamBlock::ChannelMode, 0, 2, 6);
    const int preset = link.sim.Processor().FramesReceived();

    link.commands.IsConnected = true;
    SettingsSnapshot settings;
    QCOMPARE(ReadAllFromDevice(link.commands, settings).outcome, TransferOutcome::Complete);

    const QList<QByteArray> frames = Frames(link.sim.Received());
    QCOMPARE(frames.size(), ReadAllFrameCount);
    QCOMPARE(link.sim.Processor().FramesReceived() - preset, ReadAllFrameCount);
    QCOMPARE(frames.first(), Bytes({0xCD, 0x01, 0x00, 0x00, 0x00, 0x00}));
    QCOMPARE(frames.last(), Bytes({0xCD, 0x01, 0x03, 0x00, 0x02, 0x00}));
    QCOMPARE(link.progress.first(), 2);
    QCOMPARE(link.progress.last(), 100);
    QVERIFY(!link.commands.ProgressOn);
    QVERIFY(link.prompt.shown.isEmpty());

    for (const NamedSetting &s : AllNamedSettings())
        if (s.InTable())
            QCOMPARE(int(s.Value(settings)), (s.Address() * 3 + s.Selector()) % 200);
    QVERIFY(settings.mute);
    QCOMPARE(settings.inputSelect, SettingsSnapshot::NoInputSource);  // 5 selects no source
    QCOMPARE(settings.vol[SettingsSnapshot::LimitIndex(1, 0)], 44);
    QCOMPARE(settings.vol[SettingsSnapshot::LimitIndex(2, 2)], 6);
}

void TestBulkTransfer::uploadThenReadRoundTrip()
{
    LinkFixture link;
    SettingsSnapshot settings;
    for (const NamedSetting &s : AllNamedSettings())
        if (s.InTable())
            s.SetValue(settings, quint8((s.Address() + 7 * s.Selector()) % 120));
    settings.lock = true;
    settings.exciter = true;
    settings.inputSelect = SettingsSnapshot::NoInputSource;
    settings.vol[SettingsSnapshot::LimitIndex(0, 1)] = 70;
    settings.vol[SettingsSnapshot::LimitIndex(2, 2)] = 7;

    link.commands.IsConnected = true;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(UploadAllToDevice(link.commands, settings), TransferOutcome::Complete);
    QVERIFY2(clock.elapsed() >= 1500, "unmuting waits for the unit");

    const QList<QByteArray> frames = Frames(link.sim.Received());
    QCOMPARE(frames.size(), UploadAllFrameCount);
    QCOMPARE(frames.at(frames.size() - 5), Bytes({0xCD, 0x00, 0x07, 0x00, 0x00, 0x00}));
    QCOMPARE(frames.at(frames.size() - 2), Bytes({0xCD, 0x00, 0x0C, 0x00, 0x00, 0x03}));
    QCOMPARE(frames.last(), Bytes({0xCD, 0xEF, 0x00, 0x00, 0x00, 0x00}));
    QCOMPARE(link.progress.last(), 100);

    const VerifiedUpload verified = UploadAndVerify(link.commands, settings);
    QVERIFY(verified.Complete());
    QVERIFY(verified.held == settings);
    QVERIFY(verified.differences.isEmpty());
    QVERIFY(link.prompt.shown.isEmpty());
}

void TestBulkTransfer::refusedValueStopsReadWithMessage()
{
    LinkFixture link;
    Preset(link.sim, ParamBlock::ChannelMode, 0, 2, 9);
    Preset(link.sim, ParamBlock::ChannelMaximum, 0, 2, 66);
    link.commands.IsConnected = true;
    SettingsSnapshot settings;
    const ReadResult read = ReadAllFromDevice(link.commands, settings);
    QCOMPARE(Frames(link.sim.Received()).size(), ReadAllFrameCount);
    QCOMPARE(read.outcome, TransferOutcome::Refused);
    QCOMPARE(read.refused->Name(), QStringLiteral("KTV mode"));
    QCOMPARE(read.refusedValue, quint8(9));
    QCOMPARE(read.taken, ReadAllFrameCount - 1);
    QCOMPARE(settings.vol[SettingsSnapshot::LimitIndex(2, 1)], 66);  // read before the refused value, kept
    QCOMPARE(settings.vol[SettingsSnapshot::LimitIndex(2, 2)], 0);
    QVERIFY(link.commands.IsConnected);
}

void TestBulkTransfer::silentProcessorStopsReadOnce()
{
    SimOptions options;
    options.silentAfter = 120;  // inside the microphone presets
    LinkFixture link(options);
    link.commands.IsConnected = true;
    SettingsSnapshot settings;
    const ReadResult read = ReadAllFromDevice(link.commands, settings);
    QCOMPARE(read.outcome, TransferOutcome::Lost);
    QCOMPARE(read.taken, 120);
    QCOMPARE(Frames(link.sim.Received()).size(), 121);
    QCOMPARE(link.prompt.Texts(QStringLiteral("warn")), QStringList{LossReported});
    QVERIFY(!link.commands.IsConnected);
    QVERIFY(!link.commands.ProgressOn);
    // What was read before the loss stays; the rest is as it was.
    QCOMPARE(settings.music[0][0], FactorySettings().music[0][0]);
    QCOMPARE(settings.mic[5][0], quint8(0));
}

QTEST_MAIN(TestBulkTransfer)
#include "tst_bulktransfer.moc"
