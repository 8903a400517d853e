#include "C_ScrollBar.h"

#include <QLabel>
#include <QtTest>

namespace {

const QColor Orange1(206, 154, 56);
const QColor Orange2(195, 147, 57);
const QColor Edge(31, 34, 27);
const QColor HoverYellow(255, 255, 0);

WidgetProperties TallProps(int maxValue)
{
    return {{"MaxValue", maxValue}, {"ShowSize", true}, {"Title", "REV Dly"}, {"ValueTipType", 3}};
}

} // namespace

class TestSlider : public QObject
{
    Q_OBJECT
private slots:
    void loadsSavedProperties();
    void codeWritesClampAndStaySilent();
    void drawsThumbAtItsRow();
    void dragFollowsPointerRow();
    void arrowKeysActOnlyOnHoveredThumb();
    void disabledSliderIgnoresPointer();
};

void TestSlider::loadsSavedProperties()
{
    const QList<QPair<int, int>> middles = {{15, 8}, {21, 10}, {13, 6}, {3, 2}, {127, 64}, {10, 5}};
    for (const auto &[maxValue, middle] : middles) {
        C_ScrollBar slider;
        slider.ReadProperties({{"MaxValue", maxValue}});
        QCOMPARE(slider.Value(), middle);
    }

    C_ScrollBar defaults;
    defaults.ReadProperties({});
    QCOMPARE(defaults.MaxValue(), 10);
    QCOMPARE(defaults.Value(), 5);
    QCOMPARE(defaults.Title(), QString("None"));
    QCOMPARE(defaults.ValueTip(), QString("5"));
    QVERIFY(!defaults.ShowSize());
    QVERIFY(defaults.TitleVisible());
    QVERIFY(defaults.isEnabled());
    QCOMPARE(defaults.height(), 100);

    // The saved value-box text is replaced by the formatted middle value, except where nothing formats.
    C_ScrollBar formatted;
    formatted.ReadProperties({{"MaxValue", 20}, {"ValueTip", "old"}, {"ValueTipType", 6}, {"ShowSize", true},
                              {"Text1", "+10"}, {"Text2", "0"}, {"Text3", "-10"}, {"ValueGlobal", true}});
    QCOMPARE(formatted.ValueTip(), QString("0dB"));
    QCOMPARE(formatted.Text1(), QString("+10"));
    QCOMPARE(formatted.Text3(), QString("-10"));
    QVERIFY(formatted.ValueGlobal());
    QCOMPARE(formatted.height(), 111);
    C_ScrollBar keeps;
    keeps.ReadProperties({{"ValueTip", "kept"}, {"ValueTipType", 7}});
    QCOMPARE(keeps.ValueTip(), QString("kept"));
}

void TestSlider::codeWritesClampAndStaySilent()
{
    C_ScrollBar slider;
    slider.ReadProperties({{"MaxValue", 80}});
    QSignalSpy scroll(&slider, &C_ScrollBar::Scroll);
    slider.SetValue(-5);
    QCOMPARE(slider.Value(), 0);
    slider.SetValue(200);
    QCOMPARE(slider.Value(), 80);
    QCOMPARE(slider.ValueTip(), QString("80"));

    slider.SetValue(60);
    slider.SetMaxValuePreview(40);
    QCOMPARE(slider.Value(), 40);
    slider.SetValue(20);
    slider.SetMaxValuePreview(40);
    QCOMPARE(slider.Value(), 20);
    slider.SetValue(33);
    slider.SetMaxValue(40);
    QCOMPARE(slider.Value(), 20);
    QCOMPARE(scroll.count(), 0);

    // The height follows ShowSize at the next resize, whatever the host asks for.
    slider.SetShowSize(true);
    slider.show();
    slider.resize(90, 40);
    QCOMPARE(slider.size(), QSize(90, 111));
}

void TestSlider::drawsThumbAtItsRow()
{
    C_ScrollBar slider;
    slider.ReadProperties(TallProps(80));
    slider.SetValue(40);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    QCOMPARE(slider.ThumbY(), 71);

    QImage image = slider.grab().toImage();
    QCOMPARE(image.pixelColor(50, 66), Edge);
    QCOMPARE(image.pixelColor(50, 70), Orange1);
    QCOMPARE(image.pixelColor(50, 71), Orange2);
    QCOMPARE(image.pixelColor(50, 75), Edge);
    QCOMPARE(image.pixelColor(34, 66), Edge);
    QCOMPARE(image.pixelColor(68, 75), Edge);
    QVERIFY(image.pixelColor(50, 76) != Edge);
    // The thick middle tick at row 70 lies under the thumb; the top tick and the groove show.
    QCOMPARE(image.pixelColor(40, 35), QColor(31, 26, 23));
    QCOMPARE(image.pixelColor(52, 90), QColor(31, 26, 23));

    // Hovering turns the two middle rows yellow.
    QTest::mouseMove(&slider, QPoint(50, 71));
    QTRY_VERIFY(slider.Hovered());
    image = slider.grab().toImage();
    QCOMPARE(image.pixelColor(50, 70), HoverYellow);
    QCOMPARE(image.pixelColor(50, 71), HoverYellow);
    QCOMPARE(image.pixelColor(50, 72), Edge);
}

void TestSlider::dragFollowsPointerRow()
{
    QWidget host;
    host.resize(200, 200);
    auto *slider = new C_ScrollBar(&host);
    slider->ReadProperties(TallProps(80));
    slider->move(10, 10);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy scroll(slider, &C_ScrollBar::Scroll);
    QSignalSpy mouseIn(slider, &C_ScrollBar::MouseIn);

    // A press off the thumb does nothing.
    QTest::mouseMove(slider, QPoint(50, 100));
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(50, 100));
    QTest::mouseMove(slider, QPoint(50, 101));
    QVERIFY(!slider->Dragging());
    QCOMPARE(slider->Value(), 40);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(50, 101));

    QTest::mouseMove(slider, QPoint(50, 71));
    QVERIFY(slider->Hovered());
    QCOMPARE(mouseIn.count(), 1);
    QCOMPARE(slider->cursor().shape(), Qt::BitmapCursor);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(50, 71));
    QVERIFY(slider->Dragging());

    // Rows within one value raise one Scroll, not one per move.
    QTest::mouseMove(slider, QPoint(50, 70));
    QTest::mouseMove(slider, QPoint(50, 69));
    QCOMPARE(slider->Value(), 42);
    const int afterFirst = scroll.count();
    QTest::mouseMove(slider, QPoint(51, 69));
    QCOMPARE(scroll.count(), afterFirst);

    QTest::mouseMove(slider, QPoint(50, 5));
    QCOMPARE(slider->Value(), 80);
    QCOMPARE(slider->ValueTip(), QString("80ms"));
    QTest::mouseMove(slider, QPoint(50, 110));
    QCOMPARE(slider->Value(), 0);
    QVERIFY(slider->Dragging());

    // Leaving the track column ends the drag; coming back does not resume it.
    QTest::mouseMove(slider, QPoint(75, 80));
    QVERIFY(!slider->Dragging());
    QTest::mouseMove(slider, QPoint(50, 50));
    QCOMPARE(slider->Value(), 0);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(50, 50));
    QVERIFY(scroll.count() >= 3);
}

void TestSlider::arrowKeysActOnlyOnHoveredThumb()
{
    QWidget host;
    host.resize(200, 200);
    auto *slider = new C_ScrollBar(&host);
    slider->ReadProperties({{"MaxValue", 3}, {"ShowSize", true}});
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy scroll(slider, &C_ScrollBar::Scroll);

    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Up);
    QCOMPARE(slider->Value(), 2);
    QCOMPARE(scroll.count(), 0);

    QTest::mouseMove(slider, QPoint(50, slider->ThumbY()));
    QVERIFY(slider->Hovered());
    QVERIFY(slider->hasFocus());
    QTest::keyClick(slider, Qt::Key_Up);
    QCOMPARE(slider->Value(), 3);
    QCOMPARE(scroll.count(), 1);
    QTest::keyClick(slider, Qt::Key_Up);
    QCOMPARE(slider->Value(), 3);
    QCOMPARE(scroll.count(), 1);
    QCOMPARE(slider->ThumbY(), 36);

    slider->SetValue(0);
    QTest::mouseMove(slider, QPoint(50, slider->ThumbY()));
    QVERIFY(slider->Hovered());
    QTest::keyClick(slider, Qt::Key_Down);
    QCOMPARE(slider->Value(), 0);
    QTest::keyClick(slider, Qt::Key_Up);
    QCOMPARE(slider->Value(), 1);
    QCOMPARE(scroll.count(), 2);

    // Focus loss drops the hover.
    auto *other = new QWidget(&host);
    other->setFocusPolicy(Qt::StrongFocus);
    other->show();
    other->setFocus();
    QTRY_VERIFY(!slider->Hovered());
}

void TestSlider::disabledSliderIgnoresPointer()
{
    QWidget host;
    host.resize(200, 200);
    auto *slider = new C_ScrollBar(&host);
    slider->ReadProperties(TallProps(80));
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QImage enabledLook = slider->grab().toImage();
    slider->setEnabled(false);
    QCOMPARE(slider->grab().toImage(), enabledLook);

    QSignalSpy scroll(slider, &C_ScrollBar::Scroll);
    QTest::mouseMove(slider, QPoint(50, 71));
    QVERIFY(!slider->Hovered());
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(50, 71));
    QTest::mouseMove(slider, QPoint(50, 40));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(50, 40));
    QCOMPARE(slider->Value(), 40);
    QCOMPARE(scroll.count(), 0);

    // A drag survives the slider being disabled while its command runs.
    slider->setEnabled(true);
    QTest::mouseMove(slider, QPoint(50, 72));
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(50, 72));
    QVERIFY(slider->Dragging());
    QTest::mouseMove(slider, QPoint(50, 60));
    QCOMPARE(scroll.count(), 1);
    slider->setEnabled(false);
    QTest::mouseMove(slider, QPoint(50, 50));
    QCOMPARE(scroll.count(), 1);
    slider->setEnabled(true);
    QTest::mouseMove(slider, QPoint(50, 50));
    QCOMPARE(scroll.count(), 2);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(50, 50));
}

QTEST_MAIN(TestSlider)
#include "test_slider.moc"
