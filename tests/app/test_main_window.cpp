#include "EditorFixture.h"

#include "Artwork.h"
#include "C_Button.h"
#include "C_FlagBar.h"
#include "C_Option.h"
#include "C_OptionEx.h"
#include "C_ProgressBar.h"
#include "MainFrmLayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void layoutPlacesEveryControl_data();
    void layoutPlacesEveryControl();
    void startsWithFactoryValuesOnTheFirstPages();
    void offlineEditsAreStoredOnly();
    void resetRestoresFactoryValues();
    void arrowKeysReachTheSliderUnderThePointer();
    void valueTextsStayInsideTheirBox();
    void panelsAreSpacedEvenly();
};

namespace {

// A slider's first columns hold nothing but the right-aligned scale labels
// margin; a control stacked above it may cover them (the EFF sliders stand
// 66.7 pixels apart, the music switches meet the first auxiliary slider).
bool CoversBlankSliderMargin(const QList<QWidget *> &stacking, QWidget *a, QWidget *b, const QRect &common)
{
    for (auto [lower, upper] : {std::pair{a, b}, std::pair{b, a}}) {
        if (qobject_cast<C_ScrollBar *>(lower) && common.right() < lower->x() + 10
            && stacking.indexOf(upper) > stacking.indexOf(lower))
            return true;
    }
    return false;
}

// Visible controls of one container: inside it and clear of each other.
void CheckNoOverlap(QWidget *container)
{
    QList<QWidget *> shown;
    for (QObject *child : container->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (w && !w->isWindow() && w->isVisible())
            shown << w;
    }
    for (QWidget *w : shown)
        QVERIFY2(container->rect().contains(w->geometry()), qPrintable(w->objectName()));
    for (int a = 0; a < shown.size(); ++a)
        for (int b = a + 1; b < shown.size(); ++b) {
            const QRect common = shown[a]->geometry() & shown[b]->geometry();
            if (common.isEmpty())
                continue;
            QVERIFY2(CoversBlankSliderMargin(shown, shown[a], shown[b], common),
                     qPrintable(shown[a]->objectName() + QStringLiteral(" / ") + shown[b]->objectName()));
        }
}

} // namespace

void TestMainWindow::layoutPlacesEveryControl_data()
{
    QTest::addColumn<bool>("big");
    QTest::newRow("MainFrm_Big") << true;
    QTest::newRow("MainFrm_Small") << false;
}

void TestMainWindow::layoutPlacesEveryControl()
{
    QFETCH(bool, big);
    const LayoutGeometry &geometry = big ? MainFrm_Big : MainFrm_Small;
    EditorFixture f(geometry);
    MainFrm &w = *f.window;

    for (const ControlPlacement &placement : DescribeMainFrm(geometry)) {
        QWidget *control = w.Control(placement.Key());
        QVERIFY2(control, qPrintable(placement.Key()));
        QCOMPARE(control->objectName(), placement.Key());
    }
    for (int page = 0; page < 2; ++page) {
        w.C_Option1_OptionClick(page);
        w.C_ComboBox3_ItemClick(page == 0 ? 0 : 3);
        CheckNoOverlap(&w);
        CheckNoOverlap(w.Frame1);
        CheckNoOverlap(w.Frame2);
    }

    // Saved configuration as the layout gave it.
    QCOMPARE(w.C_ScrollBar7[0]->ShowSize(), big);
    QCOMPARE(w.C_ScrollBar4[2]->ShowSize(), big);
    QCOMPARE(w.C_ScrollBar2[9]->height(), big ? 111 : 100);
    QCOMPARE(w.C_ComboBox1->ShowSize(), !big);
    QCOMPARE(w.C_ComboBox3->height(), big ? 19 : 16);
    QCOMPARE(w.C_ProgressBar1->size(), big ? QSize(738, 25) : QSize(758, 23));
    QVERIFY(w.C_FlagBar2->ValueInvert());
    QVERIFY(!w.C_FlagBar3->ValueInvert());
    QCOMPARE(w.C_ScrollBar7[7]->MaxValue(), 6);
    QCOMPARE(w.C_ScrollBar7[7]->ValueTipType(), 9);
    QCOMPARE(w.C_ScrollBar3[7]->Text1(), QStringLiteral("381ms"));
    QCOMPARE(w.C_ScrollBar4[1]->Text3(), QStringLiteral("Min"));
    QCOMPARE(w.C_ScrollBar1[7]->property("Tag").toString(), QStringLiteral("8"));
    QCOMPARE(w.C_FlagBar2->property("Tag").toString(), QStringLiteral("21"));
    QVERIFY(!w.C_ScrollBar4[0]->property("Tag").isValid());
    QCOMPARE(w.C_OptionEx2[1]->ButtonIndex(), quint8(13));
    QCOMPARE(w.C_OptionEx3[2]->ButtonIndex(), quint8(16));
    const QStringList captions{QStringLiteral("读取"), QStringLiteral("上传"), QStringLiteral("导入"),
                               QStringLiteral("保存")};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(w.C_Button1[i]->Caption(), captions[i]);
        QCOMPARE(w.C_Button1[i]->ButtonIndex(), quint8(0));
    }
    // Two columns: read above upload, import above save.
    QCOMPARE(w.C_Button1[0]->x(), w.C_Button1[1]->x());
    QVERIFY(w.C_Button1[0]->y() < w.C_Button1[1]->y());
    QVERIFY(w.C_Button1[2]->x() > w.C_Button1[0]->x());
    QCOMPARE(w.C_Button1[2]->y(), w.C_Button1[0]->y());
    const QSize pictures[5] = {{619, 15}, {595, 16}, {644, 13}, {656, 14}, {660, 16}};
    QWidget *strips[5] = {w.Picture1, w.Picture2, w.Picture3, w.Picture4, w.Picture5};
    for (int p = 0; p < 5; ++p)
        QCOMPARE(strips[p]->size(), pictures[p]);
    if (big) {
        QCOMPARE(w.C_ScrollBar4[1]->geometry(), QRect(736, 248, 73, 111));
        QCOMPARE(w.Limits->Text1[4]->geometry(), QRect(862, 304, 35, 18));
        QCOMPARE(w.Limits->VScroll1[8]->geometry(), QRect(899, 496, 13, 19));
        QCOMPARE(w.Frame1->geometry(), QRect(20, 83, 680, 119));
        QCOMPARE(w.C_ScrollBar1[8]->pos(), QPoint(612, 244));
        QCOMPARE(w.C_ScrollBar7[9]->pos(), QPoint(143, 5));
    }
}

void TestMainWindow::startsWithFactoryValuesOnTheFirstPages()
{
    EditorFixture f;
    MainFrm &w = *f.window;
    for (int k = 0; k < 16; ++k)
        QCOMPARE(w.C_ScrollBar7[k]->isVisible(), k < 8);
    QVERIFY(w.Picture1->isVisible() && !w.Picture2->isVisible() && w.Picture3->isVisible());
    QVERIFY(w.Picture4->isVisible() && !w.Picture5->isVisible());
    QVERIFY(!w.C_FlagBar2->isVisible() && !w.Label3->isVisible());
    QVERIFY(w.C_Option1[0]->Value() && !w.C_Option1[1]->Value());
    QVERIFY(w.C_ScrollBar3[0]->isVisible() && !w.C_ScrollBar2[0]->isVisible());
    QCOMPARE(w.C_ComboBox1->Caption(), QStringLiteral("MUSIC1"));
    QCOMPARE(w.C_ComboBox2->Caption(), QStringLiteral("MIC1"));
    QCOMPARE(w.C_ComboBox3->Caption(), QStringLiteral("KTV1"));
    QCOMPARE(w.C_ComboBox3->ItemCount(), 4);
    QVERIFY(!w.C_ScrollBar7[0]->TitleVisible());
    QVERIFY(w.C_ScrollBar4[0]->TitleVisible());

    QCOMPARE(w.C_ScrollBar1[0]->Value(), 7);
    QCOMPARE(w.C_ScrollBar3[4]->Value(), 90);
    QCOMPARE(w.C_ScrollBar7[13]->Value(), 21);
    QVERIFY(w.C_FlagBar2->Value() == false && w.C_FlagBar2->IsOn());
    QCOMPARE(w.Model.MicPresetTable[5][7].address, quint8(8));
    QCOMPARE(w.Model.MusicPresetTable[2][17].address, quint8(28));
    QCOMPARE(w.Model.EffProgramTable[1][3].address, quint8(199));

    const int minimums[3] = {20, 30, 36};
    const QStringList modes{QStringLiteral("MUS1"), QStringLiteral("MIC1"), QStringLiteral("KTV1")};
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(w.Limits->SpinValue(3 * c), minimums[c]);
        QCOMPARE(w.Limits->SpinValue(3 * c + 1), 80);
        QCOMPARE(w.Limits->Text1[3 * c + 2]->text(), modes[c]);
        QCOMPARE(w.C_ScrollBar4[c]->Value(), minimums[c]);
        for (int r = 0; r < 3; ++r)
            QCOMPARE(w.Limits->TextColour(3 * c + r), QColor(0, 0, 0));
    }
    QVERIFY(w.C_OptionEx2[1]->Value() && !w.C_OptionEx2[0]->Value());
    QVERIFY(w.C_OptionEx1[5]->Value());
    QCOMPARE(w.Label4->text(), QStringLiteral("未连接"));
    QCOMPARE(f.state.CommLog, QStringLiteral("双击清空显示 , 可拉长或宽"));
    QVERIFY(w.Connection.CommConnect.isActive());
}

void TestMainWindow::offlineEditsAreStoredOnly()
{
    EditorFixture f;
    MainFrm &w = *f.window;

    ChooseListEntry(w.C_ComboBox3, 3);
    QCOMPARE(w.Model.CurrentEffectProgram, 21);
    QVERIFY(!w.C_ScrollBar3[0]->isVisible() && w.Picture5->isVisible());
    const int eff2[10] = {8, 14, 50, 68, 50, 45, 55, 20, 80, 80};
    for (int k = 0; k < 10; ++k) {
        QVERIFY(w.C_ScrollBar2[k]->isVisible());
        QCOMPARE(w.C_ScrollBar2[k]->Value(), eff2[k]);
    }
    QVERIFY(w.isEnabled());

    ChooseListEntry(w.C_ComboBox1, 2);
    QTest::mouseClick(w.C_Option1[1], Qt::LeftButton);
    QVERIFY(w.C_ScrollBar7[15]->isVisible() && w.C_FlagBar3->isVisible() && w.Label6->isVisible());
    QVERIFY(!w.C_ScrollBar7[0]->isVisible() && w.Picture2->isVisible() && !w.Picture1->isVisible());
    DragSlider(w.C_ScrollBar7[14], 70);
    QCOMPARE(w.C_ScrollBar7[14]->Value(), 70);
    QCOMPARE(w.Model.MusicPresetTable[2][14].value, quint8(70));
    QCOMPARE(w.Model.MusicPresetTable[0][14].value, quint8(30));
    QVERIFY(w.C_ScrollBar7[14]->isEnabled());
    QTest::mouseClick(w.C_FlagBar3, Qt::LeftButton, {}, QPoint(50, 10));
    QCOMPARE(w.Model.MusicPresetTable[2][17].value, quint8(1));

    // A typed maximum caps the volume even before Enter.
    w.Limits->Text1[1]->setText(QStringLiteral("25"));
    DragSlider(w.C_ScrollBar4[0], 60);
    QCOMPARE(w.C_ScrollBar4[0]->Value(), 25);

    // A key chosen offline shows for 300 ms, then natural.
    QTest::mouseClick(w.C_OptionEx1[7], Qt::LeftButton);
    QVERIFY(w.C_OptionEx1[7]->Value() && !w.C_OptionEx1[5]->Value());
    QTRY_VERIFY_WITH_TIMEOUT(w.C_OptionEx1[5]->Value(), 1000);
    QVERIFY(!w.C_OptionEx1[7]->Value());

    QTest::mouseClick(w.C_OptionEx2[2], Qt::LeftButton);
    QVERIFY(w.C_OptionEx2[2]->Value() && !w.C_OptionEx2[1]->Value());

    QTest::mouseClick(w.C_OptionEx3[0], Qt::LeftButton);
    QTest::mouseClick(w.C_OptionEx3[1], Qt::LeftButton);
    QCOMPARE(f.prompt.Texts(QStringLiteral("warn")),
             QStringList({QStringLiteral("不可用！"), QStringLiteral("不可用！")}));
    QVERIFY(!w.C_OptionEx3[0]->Value() && !w.C_OptionEx3[1]->Value());
    QVERIFY(!f.state.port.IsOpen());
}

void TestMainWindow::resetRestoresFactoryValues()
{
    EditorFixture f;
    MainFrm &w = *f.window;
    w.Model.MicPresetTable[0][0].value = 15;
    w.C_ScrollBar1[0]->SetValue(15);
    w.C_OptionEx2[1]->SetValue(false);
    w.C_OptionEx2[0]->SetValue(true);
    w.C_FlagBar1->SetValue(true);
    QVERIFY(w.Limits->CommitLimitValue(0, 5));
    QVERIFY(w.Limits->CommitLimitValue(1, 10));
    QVERIFY(w.Limits->SetModeValue(8, 6));
    w.C_ComboBox2_ItemClick(3);
    w.C_OptionEx1_OptionClick(5);

    QTest::mouseClick(w.C_OptionEx3[2], Qt::LeftButton);
    QCOMPARE(f.prompt.Texts(QStringLiteral("warn")), QStringList{QStringLiteral("已复位所有设置值！")});
    QVERIFY(!w.C_OptionEx3[2]->Value());
    QCOMPARE(w.Model.MicPresetTable[0][0].value, quint8(7));
    QCOMPARE(w.C_ScrollBar1[0]->Value(), 10);  // MIC4 stays selected
    QCOMPARE(w.Model.CurrentMicPreset, 3);
    QVERIFY(w.C_OptionEx2[1]->Value() && !w.C_OptionEx2[0]->Value());
    QVERIFY(!w.C_FlagBar1->Value());
    QCOMPARE(w.Limits->Text1[8]->text(), QStringLiteral("KTV1"));
    // Every limit and volume at its factory value, whatever the panel held.
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(w.Limits->SpinValue(3 * c), FactoryChannelMinimum[c]);
        QCOMPARE(w.Limits->SpinValue(3 * c + 1), FactoryChannelMaximum);
        QCOMPARE(w.C_ScrollBar4[c]->Value(), FactoryChannelMinimum[c]);
    }
    QVERIFY(w.C_OptionEx1[5]->Value());
    QVERIFY(!f.state.port.IsOpen());
}

void TestMainWindow::arrowKeysReachTheSliderUnderThePointer()
{
    EditorFixture f;
    MainFrm &w = *f.window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // 127 steps on a 69-pixel track: only the keys reach every value.
    C_ScrollBar *slider = w.C_ScrollBar1[0];
    QTest::mouseMove(slider, QPoint(52, slider->ThumbY()));
    QVERIFY(slider->Hovered());
    const int start = slider->Value();
    for (int press = 1; press <= 3; ++press) {
        QWidget *keys = QApplication::focusWidget();
        QCOMPARE(keys, slider);
        QTest::keyClick(keys, Qt::Key_Up);
        QCOMPARE(slider->Value(), start + press);
        QCOMPARE(w.Model.MicPresetTable[0][0].value, quint8(start + press));
    }

    // Typing in a limits box goes on while the pointer crosses a thumb.
    QLineEdit *box = w.Limits->Text1[1];
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), box);
    box->selectAll();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_6);
    QTest::mouseMove(slider, QPoint(52, slider->ThumbY() + 30));
    QTest::mouseMove(slider, QPoint(52, slider->ThumbY()));
    QVERIFY(slider->Hovered());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_5);
    QCOMPARE(box->text(), QStringLiteral("65"));
}

void TestMainWindow::panelsAreSpacedEvenly()
{
    for (const LayoutGeometry *geometry : {&MainFrm_Big, &MainFrm_Small}) {
        const std::array<QRect, 3> frames = PanelFrames(*geometry);
        const int upper = frames[1].top() - frames[0].bottom();
        const int lower = frames[2].top() - frames[1].bottom();
        QVERIFY2(upper >= 3 && lower >= 3 && std::abs(upper - lower) <= 3,
                 qPrintable(QStringLiteral("%1 and %2 pixels apart").arg(upper).arg(lower)));
    }
}

void TestMainWindow::valueTextsStayInsideTheirBox()
{
    // The box's inside runs from x 36 to 67 of the slider.
    for (const LayoutGeometry *geometry : {&MainFrm_Big, &MainFrm_Small}) {
        EditorFixture f(*geometry);
        const QList<C_ScrollBar *> sliders = f.window->findChildren<C_ScrollBar *>();
        for (C_ScrollBar *slider : sliders) {
            for (int v = 0; v <= slider->MaxValue(); ++v) {
                slider->SetValue(v);
                const QLabel *text = slider->findChildren<QLabel *>().value(1);
                QVERIFY(text);
                const QRect ink = text->fontMetrics().boundingRect(text->text()).translated(text->pos());
                QVERIFY2(text->x() >= 36 && text->x() + text->fontMetrics().horizontalAdvance(text->text()) <= 67,
                         qPrintable(QStringLiteral("%1 at %2..%3").arg(text->text()).arg(text->x()).arg(ink.right())));
            }
        }
    }
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
