#include "EditorFixture.h"

#include "C_FlagBar.h"
#include "C_Option.h"
#include "C_OptionEx.h"
#include "C_ProgressBar.h"
#include "SimulatorTerminal.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

class TestEditorLink : public QObject
{
    Q_OBJECT

private slots:
    void connectingSynchronisesTheEditor();
    void editsSendTheirFrames();
    void keyFallsBackWhenNotConfirmed();
    void muteAndLockWhileConnected();
};

namespace {

using Frame = QList<int>;

Frame Set(int block, int selector, int address, int value)
{
    return {0xCD, SetOp, block, selector, address, value};
}

Frame Get(int block, int address)
{
    return {0xCD, GetOp, block, 0, address, 0};
}

// The simulated processor on a pseudo-terminal, and the main window that finds it.
struct ConnectedEditor
{
    explicit ConnectedEditor(const SimOptions &options = {}, const QList<Frame> &presets = {})
        : sim(options)
    {
        QVERIFY(sim.Open());
        for (const Frame &frame : presets)
            for (int byte : frame)
                sim.Processor().Receive(quint8(byte));
        sim.Processor().OnFrame = [this](const CommandFrame &frame) {
            frames.append(Frame(frame.begin(), frame.end()));
        };
        editor = std::make_unique<EditorFixture>(MainFrm_Big, QStringList{sim.Path()});
        window = editor->window.get();
        QTRY_VERIFY_WITH_TIMEOUT(window->Commands.IsConnected && window->isEnabled() && frames.size() > 40,
                                 5000);
        QTRY_VERIFY(!window->Commands.ProgressOn);
    }

    // Frames received from now on.
    QList<Frame> Take()
    {
        const QList<Frame> taken = frames;
        frames.clear();
        return taken;
    }

    SimulatorTerminal sim;
    QList<Frame> frames;
    std::unique_ptr<EditorFixture> editor;
    MainFrm *window = nullptr;
};

} // namespace

void TestEditorLink::connectingSynchronisesTheEditor()
{
    // The processor holds volumes and switches of its own; MUS above the editor's maximum.
    ConnectedEditor link({}, {Set(6, 0, 0, 90), Set(6, 0, 1, 55), Set(6, 0, 2, 12), Set(7, 0, 0, 1),
                              Set(10, 0, 0, 1), Set(12, 0, 0, 2)});
    MainFrm &w = *link.window;
    QList<Frame> expected{{0xCD, IdentifyOp, 0, 0, 0, ModelCode}};
    for (const ParamSlot &slot : w.Model.MusicPresetTable[0])
        expected << Set(0, 0, slot.address, slot.value);
    for (const ParamSlot &slot : w.Model.MicPresetTable[0])
        expected << Set(1, 0, slot.address, slot.value);
    for (const ParamSlot &slot : w.Model.KtvProgramTable[0])
        expected << Set(2, 0, slot.address, slot.value);
    expected << Get(6, 0) << Get(6, 1) << Get(6, 2) << Get(7, 0) << Get(8, 0) << Get(10, 0) << Get(12, 0);
    const QList<Frame> frames = link.Take();
    QCOMPARE(frames, expected);
    QCOMPARE(expected.size(), 1 + 18 + 9 + 8 + 7);
    QCOMPARE(expected[1], Set(0, 0, 0, 10));
    QCOMPARE(expected[36], Get(6, 0));

    QCOMPARE(w.Label4->text(), QStringLiteral("连接成功"));
    QCOMPARE(w.Commands.ProgressTotal, 42);
    QCOMPARE(w.C_ProgressBar1->Value(), quint8(100));
    QCOMPARE(w.C_ScrollBar4[0]->Value(), 80);
    QCOMPARE(w.C_ScrollBar4[1]->Value(), 55);
    QCOMPARE(w.C_ScrollBar4[2]->Value(), 12);
    QVERIFY(w.C_OptionEx3[0]->Value() && !w.C_OptionEx3[1]->Value());
    QVERIFY(w.C_FlagBar1->Value());
    QVERIFY(w.C_OptionEx2[2]->Value() && !w.C_OptionEx2[1]->Value());
    // Nothing read back goes into the tables.
    QCOMPARE(w.Model.MusicPresetTable[0][8].value, quint8(80));
}

void TestEditorLink::editsSendTheirFrames()
{
    ConnectedEditor link;
    MainFrm &w = *link.window;
    link.Take();

    DragSlider(w.C_ScrollBar7[3], 15);
    QCOMPARE(w.C_ScrollBar7[3]->Value(), 15);
    QCOMPARE(link.Take(), QList<Frame>{Set(0, 0, 3, 15)});
    QCOMPARE(w.Model.MusicPresetTable[0][3].value, quint8(15));

    ChooseListEntry(w.C_ComboBox3, 3);
    QCOMPARE(w.C_ComboBox3->Caption(), QStringLiteral("EFF2"));
    const int eff2[10] = {8, 14, 50, 68, 50, 45, 55, 20, 80, 80};
    QList<Frame> effFrames;
    for (int k = 0; k < 10; ++k) {
        QVERIFY(w.C_ScrollBar2[k]->isVisible());
        QCOMPARE(w.C_ScrollBar2[k]->Value(), eff2[k]);
        effFrames << Set(2, 21, EffParams[k].address, eff2[k]);
    }
    QCOMPARE(link.Take(), effFrames);
    QVERIFY(w.isEnabled());

    ChooseListEntry(w.C_ComboBox2, 3);
    const QList<Frame> micFrames = link.Take();
    QCOMPARE(micFrames.size(), 9);
    const int addresses[9] = {0, 1, 2, 3, 4, 5, 6, 8, 7};
    for (int k = 0; k < 9; ++k)
        QCOMPARE(micFrames[k], Set(1, 3, addresses[k], w.Model.MicPresetTable[3][k].value));

    // A volume dragged above the channel's maximum stops there, and that is sent.
    QLineEdit *micMaximum = w.Limits->Text1[4];
    micMaximum->setFocus();
    micMaximum->selectAll();
    QTest::keyClicks(micMaximum, QStringLiteral("60"));
    QTest::keyClick(micMaximum, Qt::Key_Return);
    QCOMPARE(w.Limits->SpinValue(4), 60);
    QVERIFY(link.Take().isEmpty());
    DragSlider(w.C_ScrollBar4[1], 75);
    QCOMPARE(w.C_ScrollBar4[1]->Value(), 60);
    QCOMPARE(link.Take(), QList<Frame>{Set(6, 0, 1, 60)});

    QTest::mouseClick(w.C_Option1[1], Qt::LeftButton);
    QTest::mouseClick(w.C_FlagBar2, Qt::LeftButton, {}, QPoint(50, 10));
    QCOMPARE(link.Take(), QList<Frame>{Set(0, 0, 21, 0)});
    QTest::mouseClick(w.C_FlagBar1, Qt::LeftButton, {}, QPoint(50, 10));
    QTest::mouseClick(w.C_OptionEx2[0], Qt::LeftButton);
    QCOMPARE(link.Take(), QList<Frame>({Set(10, 0, 0, 1), Set(12, 0, 0, 0)}));
}

void TestEditorLink::keyFallsBackWhenNotConfirmed()
{
    SimOptions refusing;
    refusing.keyAnswer = 48;
    ConnectedEditor link(refusing);
    MainFrm &w = *link.window;
    link.Take();

    QTest::mouseClick(w.C_OptionEx1[7], Qt::LeftButton);
    QCOMPARE(link.Take(), QList<Frame>{Set(11, 0, 0, 7)});
    QVERIFY(w.C_OptionEx1[7]->Value());
    QTest::qWait(200);
    QVERIFY(w.C_OptionEx1[7]->Value());
    QTRY_VERIFY_WITH_TIMEOUT(w.C_OptionEx1[5]->Value() && !w.C_OptionEx1[7]->Value(), 1000);

    // The processor's key reset byte brings natural back at once.
    w.C_OptionEx1[5]->SetValue(false);
    w.C_OptionEx1[2]->SetValue(true);
    link.sim.SendRaw(QByteArray(1, char(KeyResetByte)));
    QTRY_VERIFY_WITH_TIMEOUT(w.C_OptionEx1[5]->Value() && !w.C_OptionEx1[2]->Value(), 1000);
}

void TestEditorLink::muteAndLockWhileConnected()
{
    ConnectedEditor link;
    MainFrm &w = *link.window;
    link.Take();

    QTest::mouseClick(w.C_OptionEx1[6], Qt::LeftButton);  // confirmed with 0x33: stays
    QTest::qWait(450);
    QVERIFY(w.C_OptionEx1[6]->Value());
    QCOMPARE(link.Take(), QList<Frame>{Set(11, 0, 0, 6)});

    QTest::mouseClick(w.C_OptionEx3[1], Qt::LeftButton);
    QVERIFY(w.C_OptionEx3[1]->Value());
    QCOMPARE(link.Take(), QList<Frame>{Set(8, 0, 0, 1)});
    QCOMPARE(link.sim.Processor().Value(ParamBlock::LockSwitch, 0, 0), quint8(1));

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(w.C_OptionEx3[0], Qt::LeftButton);
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(w.C_OptionEx3[0]->Value());
    clock.restart();
    QTest::mouseClick(w.C_OptionEx3[0], Qt::LeftButton);
    QVERIFY(clock.elapsed() >= 1500);
    QVERIFY(!w.C_OptionEx3[0]->Value());
    QCOMPARE(link.Take(), QList<Frame>({Set(7, 0, 0, 1), Set(7, 0, 0, 0)}));
    QVERIFY(w.isEnabled());
    QVERIFY(w.Commands.IsConnected);
    QVERIFY(link.editor->prompt.shown.isEmpty());
}

QTEST_MAIN(TestEditorLink)
#include "test_editor_link.moc"
