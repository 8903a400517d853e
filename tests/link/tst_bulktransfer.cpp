#include "BulkTransfer.h"
#include "LinkFixture.h"
#include "PlainBulkEditor.h"

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
    PlainBulkEditor editor;
    link.commands.ProgressTotal = ReadAllFrameCount;
    ReadAllFromDevice(link.commands, editor, link.prompt);
    UploadAllToDevice(link.commands, editor, link.prompt);
    Pump(50);
    QCOMPARE(link.prompt.Texts(QStringLiteral("warn")),
             QStringList(2, QStringLiteral("还没有连接到目标机。")));
    QVERIFY(link.sim.Received().isEmpty());
    QVERIFY(link.progress.isEmpty());
    QVERIFY(editor.enabledLog.isEmpty());
}

void TestBulkTransfer::completeReadAppliesWhatTheProcessorHolds()
{
    LinkFixture link;
    PlainBulkEditor editor;
    for (const auto &slot : editor.tableSlots)
        Preset(link.sim, slot.block, slot.selector, slot.address, quint8((slot.address * 3 + slot.selector) % 200));
    Preset(link.sim, ParamBlock::MuteSwitch, 0, 0, 1);
    Preset(link.sim, ParamBlock::InputSource, 0, 0, 5);
    Preset(link.sim, ParamBlock::ChannelMinimum, 0, 1, 44);
    Preset(link.sim, ParamBlock::ChannelMode, 0, 2, 6);
    const int preset = link.sim.Processor().FramesReceived();

    link.commands.IsConnected = true;
    link.commands.ProgressTotal = ReadAllFrameCount;
    ReadAllFromDevice(link.commands, editor, link.prompt);

    const QList<QByteArray> frames = Frames(link.sim.Received());
    QCOMPARE(frames.size(), ReadAllFrameCount);
    QCOMPARE(link.sim.Processor().FramesReceived() - preset, ReadAllFrameCount);
    QCOMPARE(frames.first(), Bytes({0xCD, 0x01, 0x00, 0x00, 0x00, 0x00}));
    QCOMPARE(frames.last(), Bytes({0xCD, 0x01, 0x03, 0x00, 0x02, 0x00}));
    QCOMPARE(link.progress.first(), 2);
    QCOMPARE(link.progress.last(), 100);
    QVERIFY(!link.commands.ProgressOn);
    QCOMPARE(editor.enabledLog, (QList<bool>{false, true}));
    QVERIFY(link.prompt.shown.isEmpty());

    for (const auto &slot : editor.tableSlots)
        QCOMPARE(int(*slot.value), (slot.address * 3 + slot.selector) % 200);
    QCOMPARE(editor.switches[int(ParamBlock::MuteSwitch)], quint8(1));
    QCOMPARE(editor.input, quint8(3));  // 5 selects no source
    QCOMPARE(editor.limits[1][0], quint8(44));
    QCOMPARE(editor.limits[2][2], quint8(6));
    QCOMPARE(editor.shows, 1);
}

void TestBulkTransfer::uploadThenReadRoundTrip()
{
    LinkFixture link;
    PlainBulkEditor editor;
    for (const auto &slot : editor.tableSlots)
        *slot.value = quint8((slot.address + 7 * slot.selector) % 120);
    editor.switches[int(ParamBlock::LockSwitch)] = 1;
    editor.switches[int(ParamBlock::ExciterSwitch)] = 1;
    editor.input = 3;
    editor.limits[0][1] = 70;
    editor.limits[2][2] = 7;

    link.commands.IsConnected = true;
    link.commands.ProgressTotal = UploadAllFrameCount;
    QElapsedTimer clock;
    clock.start();
    UploadAllToDevice(link.commands, editor, link.prompt);
    QVERIFY2(clock.elapsed() >= 1500, "unmuting waits for the unit");

    const QList<QByteArray> frames = Frames(link.sim.Received());
    QCOMPARE(frames.size(), UploadAllFrameCount);
    QCOMPARE(frames.at(frames.size() - 5), Bytes({0xCD, 0x00, 0x07, 0x00, 0x00, 0x00}));
    QCOMPARE(frames.at(frames.size() - 2), Bytes({0xCD, 0x00, 0x0C, 0x00, 0x00, 0x03}));
    QCOMPARE(frames.last(), Bytes({0xCD, 0xEF, 0x00, 0x00, 0x00, 0x00}));
    QCOMPARE(link.progress.last(), 100);
    QCOMPARE(editor.enabledLog, (QList<bool>{false, true}));

    PlainBulkEditor readBack;
    ReadAllFromDevice(link.commands, readBack, link.prompt);
    for (int i = 0; i < editor.tableSlots.size(); ++i)
        QCOMPARE(*readBack.tableSlots[i].value, *editor.tableSlots[i].value);
    QCOMPARE(readBack.switches[int(ParamBlock::LockSwitch)], quint8(1));
    QCOMPARE(readBack.switches[int(ParamBlock::ExciterSwitch)], quint8(1));
    QCOMPARE(readBack.switches[int(ParamBlock::MuteSwitch)], quint8(0));
    QCOMPARE(readBack.limits[0][1], quint8(70));
    QCOMPARE(readBack.limits[2][2], quint8(7));
    QVERIFY(link.prompt.shown.isEmpty());
}

void TestBulkTransfer::refusedValueStopsReadWithMessage()
{
    LinkFixture link;
    PlainBulkEditor editor;
    Preset(link.sim, ParamBlock::ChannelMode, 0, 2, 9);
    Preset(link.sim, ParamBlock::ChannelMaximum, 0, 2, 66);
    link.commands.IsConnected = true;
    ReadAllFromDevice(link.commands, editor, link.prompt);
    QCOMPARE(Frames(link.sim.Received()).size(), ReadAllFrameCount);
    QCOMPARE(link.prompt.Texts(QStringLiteral("critical")), QStringList{QStringLiteral("从机器读数据时出错！")});
    QCOMPARE(editor.limits[2][1], quint8(66));  // read before the refused value, kept
    QCOMPARE(editor.limits[2][2], quint8(0));
    QVERIFY(editor.enabled);
    QVERIFY(link.commands.IsConnected);
}

void TestBulkTransfer::silentProcessorStopsReadOnce()
{
    SimOptions options;
    options.silentAfter = 120;  // inside the microphone presets
    LinkFixture link(options);
    PlainBulkEditor editor;
    link.commands.IsConnected = true;
    ReadAllFromDevice(link.commands, editor, link.prompt);
    QCOMPARE(Frames(link.sim.Received()).size(), 121);
    QCOMPARE(link.prompt.Texts(QStringLiteral("warn")),
             QStringList{QStringLiteral("与目标通信连接超时，已断开连接。")});
    QVERIFY(link.prompt.Texts(QStringLiteral("critical")).isEmpty());
    QVERIFY(!link.commands.IsConnected);
    QVERIFY(editor.enabled);
    QVERIFY(!link.commands.ProgressOn);
    QCOMPARE(editor.shows, 1);  // the screen shows what the tables now hold
}

QTEST_MAIN(TestBulkTransfer)
#include "tst_bulktransfer.moc"
