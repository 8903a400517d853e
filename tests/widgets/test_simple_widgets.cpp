#include "C_FlagBar.h"
#include "C_Option.h"
#include "C_OptionEx.h"
#include "C_ProgressBar.h"

#include "ProgressGeometry.h"

#include <QtTest>

class TestSimpleWidgets : public QObject
{
    Q_OBJECT
private slots:
    void switchFollowsPressedHalf();
    void switchInvertedValue();
    void progressColumns_data();
    void progressColumns();
    void optionClicksEverywhereWithoutSelecting();
    void optionExTakesItsFaceSize();
};

void TestSimpleWidgets::switchFollowsPressedHalf()
{
    C_FlagBar flag;
    flag.ReadProperties({});
    flag.resize(100, 40);
    flag.show();
    QVERIFY(QTest::qWaitForWindowExposed(&flag));
    QCOMPARE(flag.size(), QSize(56, 23));
    QSignalSpy click(&flag, &C_FlagBar::SwitchClick);
    const QImage offLook = flag.grab().toImage();

    QTest::mouseClick(&flag, Qt::LeftButton, {}, QPoint(40, 10));
    QVERIFY(flag.Value());
    QCOMPARE(click.count(), 1);
    const QImage onLook = flag.grab().toImage();
    QVERIFY(onLook != offLook);

    // Same half again, the middle column, and a right-button press on the left half.
    QTest::mouseClick(&flag, Qt::LeftButton, {}, QPoint(50, 10));
    QTest::mouseClick(&flag, Qt::LeftButton, {}, QPoint(28, 10));
    QVERIFY(flag.Value());
    QCOMPARE(click.count(), 3);
    QTest::mouseClick(&flag, Qt::RightButton, {}, QPoint(27, 10));
    QVERIFY(!flag.Value());
    QCOMPARE(click.count(), 4);
    QCOMPARE(flag.grab().toImage(), offLook);

    flag.SetValue(true);
    QCOMPARE(click.count(), 4);
    QCOMPARE(flag.grab().toImage(), onLook);
}

void TestSimpleWidgets::switchInvertedValue()
{
    C_FlagBar flag;
    flag.ReadProperties({{"ValueInvert", true}});
    QVERIFY(flag.Value());
    QVERIFY(!flag.IsOn());
    QTest::mouseClick(&flag, Qt::LeftButton, {}, QPoint(50, 10));
    QVERIFY(flag.IsOn());
    QVERIFY(!flag.Value());
    flag.SetValue(true);
    QVERIFY(!flag.IsOn());
    // Changing the inversion flips what Value reads, not the image.
    flag.SetValueInvert(false);
    QVERIFY(!flag.IsOn());
    QVERIFY(!flag.Value());
}

void TestSimpleWidgets::progressColumns_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("lastGradient"); // -1: none
    QTest::addColumn<int>("firstGrey");    // -1: none
    QTest::newRow("half of 738") << 738 << 50 << 366 << 367;
    QTest::newRow("empty") << 738 << 0 << -1 << 2;
    QTest::newRow("full") << 738 << 100 << 736 << -1;
    QTest::newRow("one percent of 758") << 758 << 1 << -1 << 2; // filled 8: columns 1..5 gradient
    QTest::newRow("small bar 2 percent") << 100 << 2 << -1 << 2;
}

void TestSimpleWidgets::progressColumns()
{
    QFETCH(int, width);
    QFETCH(int, value);
    QFETCH(int, lastGradient);
    QFETCH(int, firstGrey);
    const QColor background(224, 224, 224);
    const QColor grey(192, 192, 192);

    C_ProgressBar bar;
    bar.resize(width, 25);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    bar.SetValue(static_cast<quint8>(value));
    const QImage image = bar.grab().toImage();
    const int y = 22; // below the text

    QCOMPARE(image.pixelColor(0, y), QColor(Qt::black));
    QCOMPARE(image.pixelColor(width - 1, y), QColor(Qt::black));
    QCOMPARE(image.pixelColor(5, 0), QColor(Qt::black));
    QCOMPARE(image.pixelColor(5, 24), QColor(Qt::black));

    if (value == 0 || value == 2) {
        QCOMPARE(image.pixelColor(1, y), background);
        QCOMPARE(image.pixelColor(2, y), grey);
    } else if (value == 1) {
        QCOMPARE(image.pixelColor(1, y), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(5, y), ProgressGradientColour(width, 4));
        QCOMPARE(image.pixelColor(6, y), grey);
    } else {
        QCOMPARE(image.pixelColor(1, y), QColor(255, 0, 0));
        QVERIFY(image.pixelColor(lastGradient, y) != grey);
        QVERIFY(image.pixelColor(lastGradient, y).green() == 0);
    }
    if (lastGradient > 0 && firstGrey > 0) {
        QCOMPARE(image.pixelColor(firstGrey, y), grey);
        QCOMPARE(image.pixelColor(width - 3, y), grey);
        const QColor last = image.pixelColor(lastGradient, y);
        QVERIFY(qAbs(last.red() - last.blue()) <= 4);
    }
    if (value == 100) {
        QCOMPARE(image.pixelColor(width - 2, y), QColor(0, 0, 255));
    } else {
        QCOMPARE(image.pixelColor(width - 2, y), background);
    }
    // Same value again: the same picture.
    bar.SetValue(static_cast<quint8>(value));
    QCOMPARE(bar.grab().toImage(), image);
}

void TestSimpleWidgets::optionClicksEverywhereWithoutSelecting()
{
    C_Option option;
    option.ReadProperties({});
    QCOMPARE(option.Caption(), QString("Label1"));
    QVERIFY(!option.Value());
    option.show();
    QVERIFY(QTest::qWaitForWindowExposed(&option));
    option.resize(20, 27); // 300 x 400 twips
    QCOMPARE(option.size(), QSize(33, 17));
    option.resize(110, 40);
    QCOMPARE(option.size(), QSize(110, 17));

    QSignalSpy click(&option, &C_Option::OptionClick);
    const QImage before = option.grab().toImage();
    QTest::mouseClick(&option, Qt::LeftButton, {}, QPoint(8, 8));  // bullet
    QTest::mouseClick(&option, Qt::LeftButton, {}, QPoint(17, 8)); // between bullet and caption
    QTest::mouseClick(&option, Qt::LeftButton, {}, QPoint(40, 8)); // caption
    QCOMPARE(click.count(), 3);
    QVERIFY(!option.Value());
    QCOMPARE(option.grab().toImage(), before);

    option.SetValue(true);
    QCOMPARE(click.count(), 3);
    const QImage selected = option.grab().toImage();
    QCOMPARE(selected.pixelColor(8, 8), QColor(241, 238, 61));
    QCOMPARE(before.pixelColor(8, 8), QColor(63, 63, 61));
    QTest::mouseClick(&option, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(click.count(), 4);
    QVERIFY(option.Value());
}

void TestSimpleWidgets::optionExTakesItsFaceSize()
{
    C_OptionEx option;
    option.ReadProperties({});
    QCOMPARE(option.ButtonIndex(), quint8(0));
    option.show();
    QVERIFY(QTest::qWaitForWindowExposed(&option));
    option.resize(100, 100);
    QCOMPARE(option.size(), QSize(36, 22));

    const QList<QPair<int, QSize>> sizes = {{3, {36, 22}}, {12, {44, 22}}, {16, {42, 24}}, {5, {36, 22}}, {11, {44, 22}}};
    for (const auto &[index, size] : sizes) {
        option.SetButtonIndex(static_cast<quint8>(index));
        QCOMPARE(option.size(), size);
    }

    C_OptionEx loaded;
    loaded.ReadProperties({{"Value", true}, {"ButtonIndex", 16}});
    loaded.show();
    QVERIFY(QTest::qWaitForWindowExposed(&loaded));
    QCOMPARE(loaded.size(), QSize(42, 24));
    QSignalSpy click(&loaded, &C_OptionEx::OptionClick);
    const QImage selected = loaded.grab().toImage();
    QTest::mouseClick(&loaded, Qt::LeftButton, {}, QPoint(20, 12));
    QCOMPARE(click.count(), 1);
    QVERIFY(loaded.Value());
    loaded.SetValue(false);
    QVERIFY(loaded.grab().toImage() != selected);
    QCOMPARE(click.count(), 1);
    // Selected faces are yellow, unselected Mute/Lock/Reset faces black.
    QCOMPARE(selected.pixelColor(6, 4), QColor(241, 238, 61));
    QCOMPARE(loaded.grab().toImage().pixelColor(6, 4), QColor(12, 12, 12));
}

QTEST_MAIN(TestSimpleWidgets)
#include "test_simple_widgets.moc"
