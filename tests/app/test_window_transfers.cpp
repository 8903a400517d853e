#include "EditorFixture.h"

#include "C_Button.h"
#include "C_FlagBar.h"
#include "C_OptionEx.h"
#include "C_ProgressBar.h"
#include "CompareWindow.h"
#include "LimitsPanel.h"
#include "SettingsFile.h"
#include "SimulatorTerminal.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

// The four push buttons of the real window: read and upload against the simulated
// processor, save and import through settings files.
class TestWindowTransfers : public QObject
{
    Q_OBJECT

private slots:
    void readAndUploadThroughTheButtons();
    void saveAndImportRoundTrip();
    void refusedImportChangesNothing();
    void toolBackupEqualsTheSaveAfterARead();
    void compareWithTheUnitAndUploadWithVerification();
    void undoAndRedoSendWhatTheyRestore();
    void undoSendsOnlyWhatAHandWould();
    void refusedLimitFromTheUnitStaysInRed();
    void stoppedReadLeavesTheLimitsAlone();
};

namespace {

void Preset(SimulatorTerminal &sim, ParamBlock block, quint8 selector, quint8 address, quint8 value)
{
    for (quint8 b : SettingFrame(UploadOp, block, selector, address, value))
        sim.Processor().Receive(b);
}

QList<int> TableValues(const MainFrm &w)
{
    QList<int> values;
    for (const auto &row : w.Model.MusicPresetTable)
        for (const ParamSlot &s : row)
            values << s.value;
    for (const auto &row : w.Model.MicPresetTable)
        for (const ParamSlot &s : row)
            values << s.value;
    for (const auto &row : w.Model.KtvProgramTable)
        for (const ParamSlot &s : row)
            values << s.value;
    for (const auto &row : w.Model.EffProgramTable)
        for (const ParamSlot &s : row)
            values << s.value;
    return values;
}

// Each limit box's text, colour and spin, then the volume sliders.
QStringList LimitsView(const MainFrm &w)
{
    QStringList view;
    for (int i = 0; i < LimitsPanel::CellCount; ++i)
        view << QStringLiteral("%1 %2 %3").arg(w.Limits->Text1[i]->text(), w.Limits->TextColour(i).name())
                    .arg(w.Limits->SpinValue(i));
    for (const C_ScrollBar *volume : w.C_ScrollBar4)
        view << QString::number(volume->Value());
    return view;
}

} // namespace

void TestWindowTransfers::readAndUploadThroughTheButtons()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    // MUSIC2: connecting sends only the selected memories, MUSIC1 among them.
    Preset(sim, ParamBlock::MusicParam, 1, 0, 15);
    Preset(sim, ParamBlock::ChannelMaximum, 0, 1, 50);
    Preset(sim, ParamBlock::ChannelMode, 0, 2, 5);
    Preset(sim, ParamBlock::ExciterSwitch, 0, 0, 1);
    EditorFixture f(MainFrm_Big, {sim.Path()});
    MainFrm &w = *f.window;
    QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected && w.isEnabled() && !w.Commands.ProgressOn, 5000);

    QTest::mouseClick(w.C_Button1[0], Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(w.Commands.ProgressTotal, 211);
    QCOMPARE(w.Model.MusicPresetTable[1][0].value, quint8(15));
    QCOMPARE(w.Limits->SpinValue(4), 50);
    QCOMPARE(w.Limits->Text1[8]->text(), QStringLiteral("EFF2"));
    QVERIFY(w.C_FlagBar1->Value());
    QCOMPARE(w.C_ProgressBar1->Value(), quint8(100));
    QVERIFY(w.isEnabled());

    w.Model.EffProgramTable[1][9].value = 33;
    w.C_OptionEx3[1]->SetValue(true);
    QTest::mouseClick(w.C_Button1[1], Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(w.Commands.ProgressTotal, 212);
    QCOMPARE(sim.Processor().Value(ParamBlock::EffectParam, 21, EffParams[9].address), quint8(33));
    QCOMPARE(sim.Processor().Value(ParamBlock::LockSwitch, 0, 0), quint8(1));
    QCOMPARE(sim.Received().right(6), QByteArray::fromHex("cdef00000000"));
    QVERIFY(f.prompt.shown.isEmpty());
}

void TestWindowTransfers::saveAndImportRoundTrip()
{
    QTemporaryDir dir;
    EditorFixture f;
    MainFrm &w = *f.window;
    w.Model.MusicPresetTable[3][5].value = 17;
    w.Model.MicPresetTable[5][8].value = 2;
    w.Model.EffProgramTable[0][7].value = 39;
    w.C_OptionEx2[1]->SetValue(false);
    w.C_OptionEx2[2]->SetValue(true);
    w.C_FlagBar1->SetValue(true);
    w.C_OptionEx3[1]->SetValue(true);
    QVERIFY(w.Limits->CommitLimitValue(4, 55));
    QVERIFY(w.Limits->SetModeValue(8, 6));
    const QList<int> saved = TableValues(w);

    f.prompt.fileAnswers.enqueue(dir.filePath(QStringLiteral("venue")));
    QTest::mouseClick(w.C_Button1[3], Qt::LeftButton, {}, QPoint(30, 13));
    QFile file(dir.filePath(QStringLiteral("venue.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\r\n"), 213);  // the section line and 212 keys

    w.LoadFactoryDefaults();
    QVERIFY(TableValues(w) != saved);
    f.prompt.fileAnswers.enqueue(file.fileName());
    QTest::mouseClick(w.C_Button1[2], Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(TableValues(w), saved);
    QVERIFY(w.C_OptionEx2[2]->Value() && !w.C_OptionEx2[1]->Value());
    QVERIFY(w.C_FlagBar1->Value());
    QVERIFY(w.C_OptionEx3[1]->Value() && !w.C_OptionEx3[0]->Value());
    QCOMPARE(w.Limits->SpinValue(4), 55);
    QCOMPARE(w.Limits->Text1[8]->text(), QStringLiteral("EFF3"));
    QCOMPARE(w.C_ScrollBar7[5]->Value(), 10);  // MUSIC1 is on screen, not MUSIC4
    QCOMPARE(f.prompt.Texts(QStringLiteral("critical")), QStringList());
}

void TestWindowTransfers::refusedImportChangesNothing()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("bad.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Main]\r\nType=QSV-416MZ\r\nMusic0.0=3\r\nMusic2.5=300\r\nINPUTSELECT=0\r\n");
    file.close();

    EditorFixture f;
    MainFrm &w = *f.window;
    const QList<int> before = TableValues(w);
    f.prompt.fileAnswers.enqueue(file.fileName());
    QTest::mouseClick(w.C_Button1[2], Qt::LeftButton, {}, QPoint(30, 13));
    // A part of a file is refused whole, bad value and all.
    QCOMPARE(f.prompt.Texts(QStringLiteral("critical")),
             QStringList{QStringLiteral("配置文件不完整：%1\n缺少 Music0.1，未导入任何设置。").arg(file.fileName())});
    QCOMPARE(TableValues(w), before);
    QVERIFY(w.C_OptionEx2[1]->Value());
    QCOMPARE(w.C_ScrollBar7[0]->Value(), 10);
}

// quorinctl's backup of a unit is the file "保存" writes after "读取" of the same unit.
void TestWindowTransfers::toolBackupEqualsTheSaveAfterARead()
{
    QTemporaryDir dir;
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    Preset(sim, ParamBlock::MicParam, 4, MicParams[8].address, 9);
    Preset(sim, ParamBlock::EffectParam, 21, EffParams[4].address, 57);
    Preset(sim, ParamBlock::ChannelMinimum, 0, 2, 44);
    Preset(sim, ParamBlock::InputSource, 0, 0, 3);
    Preset(sim, ParamBlock::MuteSwitch, 0, 0, 1);
    {
        EditorFixture f(MainFrm_Big, {sim.Path()});
        MainFrm &w = *f.window;
        QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected && w.isEnabled() && !w.Commands.ProgressOn, 5000);
        QTest::mouseClick(w.C_Button1[0], Qt::LeftButton, {}, QPoint(30, 13));
        f.prompt.fileAnswers.enqueue(dir.filePath(QStringLiteral("editor.txt")));
        QTest::mouseClick(w.C_Button1[3], Qt::LeftButton, {}, QPoint(30, 13));
        QVERIFY(f.prompt.Texts(QStringLiteral("warn")).isEmpty() && f.prompt.Texts(QStringLiteral("critical")).isEmpty());
    }
    QProcess tool;
    tool.start(QStringLiteral(QUORINCTL), {QStringLiteral("backup"), sim.Path(), dir.filePath(QStringLiteral("tool.txt"))});
    QTRY_VERIFY_WITH_TIMEOUT(tool.state() == QProcess::NotRunning, 20000);
    QCOMPARE(tool.exitCode(), 0);
    QFile editor(dir.filePath(QStringLiteral("editor.txt"))), backup(dir.filePath(QStringLiteral("tool.txt")));
    QVERIFY(editor.open(QIODevice::ReadOnly) && backup.open(QIODevice::ReadOnly));
    const QByteArray saved = editor.readAll();
    QVERIFY(saved.contains("\r\nVOL2.0=44\r\n") && saved.contains("\r\nINPUTSELECT=3\r\n"));
    QCOMPARE(backup.readAll(), saved);
}

void TestWindowTransfers::compareWithTheUnitAndUploadWithVerification()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    EditorFixture f(MainFrm_Big, {sim.Path()});
    MainFrm &w = *f.window;
    QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected && w.isEnabled() && !w.Commands.ProgressOn, 5000);

    // Behind the editor's back.
    Preset(sim, ParamBlock::MusicParam, 2, 0, 13);
    Preset(sim, ParamBlock::ChannelMaximum, 0, 1, 66);
    const qsizetype before = sim.Received().size();
    w.CompareWithUnit();
    CompareWindow *compare = w.Comparison();
    QVERIFY(compare && compare->isVisible());
    QCOMPARE(compare->Differences().size(), 2);
    QCOMPARE(compare->Differences()[0].setting->Name(), QStringLiteral("MUSIC3 57Hz"));
    QCOMPARE(compare->Differences()[1].setting->Name(), QStringLiteral("MIC max"));
    QCOMPARE(compare->List()->topLevelItem(0)->text(2), QStringLiteral("+3dB (13)"));
    QCOMPARE(compare->Summary()->text(), QStringLiteral("2 项不同"));
    const QByteArray read = sim.Received().mid(before);
    QCOMPARE(read.size(), 211 * 6);
    for (qsizetype i = 0; i < read.size(); i += 6)
        QCOMPARE(quint8(read[i + 1]), GetOp);  // the comparison changes nothing on the unit

    compare->TakeAll();
    QCOMPARE(w.Model.MusicPresetTable[2][0].value, quint8(13));
    QCOMPARE(w.Limits->SpinValue(4), 66);
    QCOMPARE(compare->Summary()->text(), QStringLiteral("一致"));
    w.Undo();
    QCOMPARE(w.Model.MusicPresetTable[2][0].value, quint8(10));
    w.Redo();
    QCOMPARE(w.Model.MusicPresetTable[2][0].value, quint8(13));

    w.Model.EffProgramTable[0][7].value = 33;
    w.CompareWithUnit();
    QCOMPARE(compare->Differences().size(), 1);
    compare->SendAll();
    QCOMPARE(sim.Received().right(6), QByteArray::fromHex("cd020214b521"));
    QCOMPARE(sim.Processor().Value(ParamBlock::EffectParam, 20, EffParams[7].address), quint8(33));

    w.Model.MicPresetTable[1][2].value = 4;
    w.UploadAndVerify();
    QCOMPARE(sim.Processor().Value(ParamBlock::MicParam, 1, MicParams[2].address), quint8(4));
    QVERIFY(compare->Differences().isEmpty());
    QVERIFY(compare->Summary()->text().startsWith(QStringLiteral("一致")));
    QVERIFY(w.isEnabled());
    QVERIFY(f.prompt.shown.isEmpty());

    // A unit that keeps one value of the upload wrong: that one value is reported.
    SimOptions faulty;
    faulty.ignoredUpload = std::array<quint8, 3>{quint8(ParamBlock::MicParam), 1, MicParams[2].address};
    SimulatorTerminal stubborn(faulty);
    QVERIFY(stubborn.Open());
    w.Commands.IsConnected = false;
    w.State().port.SetPortList(QStringList{stubborn.Path()});
    QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected && w.isEnabled() && !w.Commands.ProgressOn, 5000);
    w.UploadAndVerify();
    QCOMPARE(compare->Differences().size(), 1);
    QCOMPARE(compare->Differences()[0].setting->Name(), QStringLiteral("MIC2 400Hz"));
    QCOMPARE(compare->Differences()[0].first, quint8(4));

    // A right-button press on the background opens the menu, never a drag.
    QPoint background;
    for (int y = 0; y < w.height() && background.isNull(); y += 3)
        for (int x = 0; x < w.width() && background.isNull(); x += 3)
            if (!w.childAt(x, y))
                background = QPoint(x, y);
    QTest::mousePress(&w, Qt::RightButton, {}, background);
    QVERIFY(!w.IsDragging());
    QTest::mouseRelease(&w, Qt::RightButton, {}, background);
}

void TestWindowTransfers::undoAndRedoSendWhatTheyRestore()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    EditorFixture f(MainFrm_Big, {sim.Path()});
    MainFrm &w = *f.window;
    QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected && w.isEnabled() && !w.Commands.ProgressOn, 5000);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // A drag of many values is one step, and undoing it sends the old value once.
    DragSlider(w.C_ScrollBar7[0], 16);
    DragSlider(w.C_ScrollBar7[1], 4);
    QCOMPARE(w.Model.MusicPresetTable[0][0].value, quint8(16));
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.Model.MusicPresetTable[0][1].value, quint8(10));
    QCOMPARE(w.Model.MusicPresetTable[0][0].value, quint8(16));
    qsizetype before = sim.Received().size();
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.Model.MusicPresetTable[0][0].value, quint8(10));
    QCOMPARE(w.C_ScrollBar7[0]->Value(), 10);
    QCOMPARE(sim.Received().mid(before), QByteArray::fromHex("cd020000000a"));
    before = sim.Received().size();
    QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w.Model.MusicPresetTable[0][0].value, quint8(16));
    QCOMPARE(sim.Received().mid(before), QByteArray::fromHex("cd0200000010"));

    // A list choice, undone as a click on the old entry would do.
    ChooseListEntry(w.C_ComboBox2, 3);
    QCOMPARE(w.Model.CurrentMicPreset, 3);
    w.Undo();
    QCOMPARE(w.Model.CurrentMicPreset, 0);
    QCOMPARE(w.C_ComboBox2->TopIndex(), 0);

    // A bulk read undone and redone changes the editor only: the unit still holds what was read.
    Preset(sim, ParamBlock::EffectParam, 21, EffParams[2].address, 77);
    Preset(sim, ParamBlock::ChannelMinimum, 0, 0, 25);
    const EditorState beforeRead = w.CaptureState();
    QTest::mouseClick(w.C_Button1[0], Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(w.Model.EffProgramTable[1][2].value, quint8(77));
    before = sim.Received().size();
    w.Undo();
    QVERIFY(w.CaptureState() == beforeRead);
    w.Redo();
    QCOMPARE(sim.Received().size(), before);
    QCOMPARE(w.Model.EffProgramTable[1][2].value, quint8(77));
    QCOMPARE(w.Limits->SpinValue(0), 25);
    QVERIFY(w.isEnabled());
    QVERIFY(f.prompt.Texts(QStringLiteral("warn")).isEmpty());
}

void TestWindowTransfers::undoSendsOnlyWhatAHandWould()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    QTemporaryDir dir;
    EditorFixture f(MainFrm_Big, {sim.Path()});
    MainFrm &w = *f.window;
    QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected && w.isEnabled() && !w.Commands.ProgressOn, 5000);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const auto sentBy = [&](const std::function<void()> &action) {
        const qsizetype before = sim.Received().size();
        action();
        return sim.Received().mid(before);
    };

    // The limits panel never talks to the unit, nor does its undo.
    QTest::mouseClick(w.Limits->Text1[1], Qt::LeftButton);
    w.Limits->Text1[1]->selectAll();
    QTest::keyClicks(w.Limits->Text1[1], QStringLiteral("60"));
    QTest::keyClick(w.Limits->Text1[1], Qt::Key_Return);
    QCOMPARE(w.Limits->SpinValue(1), 60);
    QCOMPARE(sentBy([&] { w.Undo(); }), QByteArray());
    QCOMPARE(w.Limits->SpinValue(1), 80);

    // An import sent nothing; undone or redone it sends nothing either.
    SettingsSnapshot file = w.CurrentSettings();
    file.music[0][0] = 3;
    file.music[4][0] = 4;
    file.mute = true;
    QVERIFY(WriteSettingsFile(dir.filePath(QStringLiteral("a.txt")), file, false));
    f.prompt.fileAnswers.enqueue(dir.filePath(QStringLiteral("a.txt")));
    QCOMPARE(sentBy([&] { QTest::mouseClick(w.C_Button1[2], Qt::LeftButton, {}, QPoint(30, 13)); }), QByteArray());
    QCOMPARE(w.Model.MusicPresetTable[4][0].value, quint8(4));
    QCOMPARE(sentBy([&] { w.Undo(); w.Redo(); w.Undo(); }), QByteArray());
    QCOMPARE(w.Model.MusicPresetTable[4][0].value, quint8(10));

    // Values taken from a comparison: only the selected memory's and the switch's are sent.
    Preset(sim, ParamBlock::MusicParam, 0, 1, 12);
    Preset(sim, ParamBlock::MusicParam, 3, 1, 14);
    Preset(sim, ParamBlock::ChannelMaximum, 0, 2, 70);
    Preset(sim, ParamBlock::ExciterSwitch, 0, 0, 1);
    w.CompareWithUnit();
    QCOMPARE(w.Comparison()->Differences().size(), 4);
    w.Comparison()->TakeAll();
    QCOMPARE(sentBy([&] { w.Undo(); }), QByteArray::fromHex("cd020000010a" "cd020a000000"));
    QCOMPARE(w.Model.MusicPresetTable[3][1].value, quint8(10));

    // A held key repeats its change; the whole press is one step.
    C_ScrollBar *slider = w.C_ScrollBar1[0];
    slider->setFocus();
    QTest::mouseMove(slider, QPoint(52, slider->ThumbY()));
    const int start = slider->Value();
    QTest::keyPress(slider, Qt::Key_Up);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(slider, &repeat);
    }
    QTest::keyRelease(slider, Qt::Key_Up);
    QCOMPARE(slider->Value(), start + 4);
    w.Undo();
    QCOMPARE(slider->Value(), start);

    // Ctrl+Z while a slider's set awaits its reply waits its turn on the one reply state.
    bool deferred = false;
    std::function<void()> undoWhileWaiting = [&] {
        if (!w.Commands.IsWaiting) {
            QTimer::singleShot(0, &w, undoWhileWaiting);
            return;
        }
        const CommandFrame waitingFor = w.Commands.Frame;
        w.Undo();
        deferred = w.Commands.IsWaiting && w.Commands.Frame == waitingFor;
    };
    QTimer::singleShot(0, &w, undoWhileWaiting);
    const QByteArray sent = sentBy([&] { DragSlider(w.C_ScrollBar7[2], 15); QTest::qWait(300); });
    QVERIFY(deferred);
    QCOMPARE(sent, QByteArray::fromHex("cd020000020f" "cd020000020a"));
    QCOMPARE(w.C_ScrollBar7[2]->Value(), 10);
    QVERIFY(f.prompt.shown.size() == 1 && f.prompt.shown[0].look == QStringLiteral("open"));
}

// A limit above 80 from the unit shows in its box, red, beside the read's error.
void TestWindowTransfers::refusedLimitFromTheUnitStaysInRed()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    Preset(sim, ParamBlock::ChannelMaximum, 0, 1, 95);
    EditorFixture f(MainFrm_Big, {sim.Path()});
    MainFrm &w = *f.window;
    QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected && w.isEnabled() && !w.Commands.ProgressOn, 5000);
    QTest::mouseClick(w.C_Button1[0], Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(f.prompt.Texts(QStringLiteral("critical")), QStringList{QStringLiteral("从机器读数据时出错！")});
    QCOMPARE(w.Limits->Text1[4]->text(), QStringLiteral("95"));
    QCOMPARE(w.Limits->TextColour(4), QColor(255, 0, 0));
    QCOMPARE(w.Limits->SpinValue(4), 80);

    // The compare window sends what the editor holds now, and keeps what was not sent.
    Preset(sim, ParamBlock::ChannelMaximum, 0, 1, 80);
    w.Model.MusicPresetTable[0][0].value = 4;
    w.CompareWithUnit();
    CompareWindow *compare = w.Comparison();
    QVERIFY(compare);
    QCOMPARE(compare->Differences().size(), 1);
    w.Commands.IsConnected = false;
    compare->SendAll();
    QCOMPARE(compare->Differences().size(), 1);
    w.Commands.IsConnected = true;
    w.Model.MusicPresetTable[0][0].value = 6;
    const qsizetype before = sim.Received().size();
    compare->SendAll();
    QCOMPARE(sim.Received().mid(before), QByteArray::fromHex("cd0200000006"));
    QVERIFY(compare->Differences().isEmpty());
}

// A read lost in the microphone presets keeps what it read of the tables, and never
// reached the limits: the red typing, the spins and the volume sliders stay.
void TestWindowTransfers::stoppedReadLeavesTheLimitsAlone()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    EditorFixture f(MainFrm_Big, {sim.Path()});
    MainFrm &w = *f.window;
    QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected && w.isEnabled() && !w.Commands.ProgressOn, 5000);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    QVERIFY(w.Limits->CommitLimitValue(0, 30));
    QTest::mouseClick(w.Limits->Text1[1], Qt::LeftButton);
    w.Limits->Text1[1]->selectAll();
    QTest::keyClicks(w.Limits->Text1[1], QStringLiteral("10"));
    w.C_ScrollBar4[1]->SetValue(60);
    w.Limits->VScroll1[4]->setValue(40);
    const QStringList before = LimitsView(w);
    QCOMPARE(before.mid(0, 2), (QStringList{QStringLiteral("30 #000000 30"), QStringLiteral("10 #ff0000 80")}));
    QCOMPARE(before.mid(LimitsPanel::CellCount + 1, 1), QStringList{QStringLiteral("60")});

    Preset(sim, ParamBlock::MusicParam, 0, 0, 15);
    sim.Processor().OnFrame = [&sim](const CommandFrame &frame) {
        if (frame[1] == GetOp && frame[2] == quint8(ParamBlock::MicParam) && frame[3] == 2)
            sim.Processor().Silence();
    };
    QTest::mouseClick(w.C_Button1[0], Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(f.prompt.Texts(QStringLiteral("warn")).size(), 1);
    QVERIFY(!w.Commands.IsConnected && w.isEnabled());
    QCOMPARE(w.Model.MusicPresetTable[0][0].value, quint8(15));
    QCOMPARE(w.C_ScrollBar7[0]->Value(), 15);
    QCOMPARE(LimitsView(w), before);
}

QTEST_MAIN(TestWindowTransfers)
#include "test_window_transfers.moc"
