#include "ComboGeometry.h"
#include "ProgressGeometry.h"
#include "Rounding.h"
#include "SliderGeometry.h"

#include <QtTest>

class TestWidgetArithmetic : public QObject
{
    Q_OBJECT
private slots:
    void roundsHalvesToEven();
    void thumbRowUsesSinglePrecisionStep();
    void pointerRowToValue();
    void valueTipFormats_data();
    void valueTipFormats();
    void progressColumns();
    void comboRowsAndPlacement();
};

void TestWidgetArithmetic::roundsHalvesToEven()
{
    QCOMPARE(RoundHalfEven(7.5), 8);
    QCOMPARE(RoundHalfEven(10.5), 10);
    QCOMPARE(RoundHalfEven(6.5), 6);
    QCOMPARE(RoundHalfEven(63.5), 64);
    QCOMPARE(RoundHalfEven(-2.5), -2);
    QCOMPARE(RoundHalfEven(-3.5), -4);
    QCOMPARE(RoundHalfEven(2.5000001), 3);
    QCOMPARE(RoundHalfEven(-0.4), 0);
}

void TestWidgetArithmetic::thumbRowUsesSinglePrecisionStep()
{
    // 69/80 in single precision lies just above 0.8625, which tips 70.5 up to 71.
    QCOMPARE(ThumbRow(80, 40, PixelsPerStep(true, 80)), 71);
    QCOMPARE(ThumbRow(80, 80, PixelsPerStep(true, 80)), 36);
    QCOMPARE(ThumbRow(80, 0, PixelsPerStep(true, 80)), 105);
    QCOMPARE(ThumbRow(10, 0, PixelsPerStep(false, 10)), 94);
    QCOMPARE(ThumbRow(10, 5, PixelsPerStep(false, 10)), 65);
    QCOMPARE(TrackLength(true), 69);
    QCOMPARE(TrackLength(false), 58);
    // A range of zero must not divide by zero.
    QVERIFY(std::isfinite(PixelsPerStep(true, 0)));
}

void TestWidgetArithmetic::pointerRowToValue()
{
    const float step = PixelsPerStep(true, 80);
    QCOMPARE(ValueAtRow(80, step, 36), 80);
    QCOMPARE(ValueAtRow(80, step, 105), 0);
    QCOMPARE(ValueAtRow(80, step, 70), 41);
    QCOMPARE(ValueAtRow(80, step, 71), 39);
    QCOMPARE(ValueAtRow(80, step, -50), 80);
    QCOMPARE(ValueAtRow(80, step, 300), 0);
    // 127 steps on 69 rows: neighbouring rows skip values.
    const float coarse = PixelsPerStep(true, 127);
    QVERIFY(ValueAtRow(127, coarse, 50) - ValueAtRow(127, coarse, 51) >= 1);
    QCOMPARE(ValueAtRow(127, coarse, 36), 127);
}

void TestWidgetArithmetic::valueTipFormats_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << 0 << 40 << "40";
    QTest::newRow("plain zero") << 0 << 0 << "0";
    QTest::newRow("delay first") << 1 << 0 << "12ms";
    QTest::newRow("delay eight") << 1 << 8 << "110ms";
    QTest::newRow("delay last") << 1 << 15 << "196ms";
    QTest::newRow("seconds") << 2 << 30 << "3.0s";
    QTest::newRow("seconds half") << 2 << 5 << "0.5s";
    QTest::newRow("seconds zero") << 2 << 0 << "0.0s";
    QTest::newRow("ms") << 3 << 20 << "20ms";
    QTest::newRow("triple ms") << 4 << 127 << "381ms";
    QTest::newRow("triple ms 64") << 4 << 64 << "192ms";
    QTest::newRow("dB") << 5 << 2 << "2dB";
    QTest::newRow("eq bottom") << 6 << 0 << "-10dB";
    QTest::newRow("eq centre") << 6 << 10 << "0dB";
    QTest::newRow("eq plus") << 6 << 13 << "+3dB";
    QTest::newRow("eq top") << 6 << 20 << "+10dB";
    QTest::newRow("Hz zero") << 8 << 0 << "20Hz";
    QTest::newRow("Hz") << 8 << 21 << "230Hz";
    QTest::newRow("limit off") << 9 << 0 << "OFF";
    QTest::newRow("limit 1.2") << 9 << 3 << "1.2V";
    QTest::newRow("limit top") << 9 << 6 << "2V";
    QTest::newRow("delay past table") << 1 << 99 << "196ms";
}

void TestWidgetArithmetic::valueTipFormats()
{
    QFETCH(int, type);
    QFETCH(int, value);
    QFETCH(QString, text);
    QString out;
    QVERIFY(FormatValueTipText(type, value, &out));
    QCOMPARE(out, text);
}

void TestWidgetArithmetic::progressColumns()
{
    QCOMPARE(ProgressFilled(738, 50), 369);
    QCOMPARE(ProgressFilled(738, 0), 0);
    QCOMPARE(ProgressFilled(738, 100), 738);
    QCOMPARE(ProgressFilled(50, 5), 2);   // 2.5 goes to the even 2
    QCOMPARE(ProgressFilled(70, 5), 4);   // 3.5 goes to the even 4
    QCOMPARE(ProgressGradientColour(738, 0), QColor(255, 0, 0));
    QCOMPARE(ProgressGradientColour(738, 735), QColor(0, 0, 255));
    const QColor mid = ProgressGradientColour(738, 365);
    QVERIFY(qAbs(mid.red() - 128) <= 2 && qAbs(mid.blue() - 127) <= 2 && mid.green() == 0);

    QString text;
    QVERIFY(!FormatValueTipText(7, 3, &text));
    QVERIFY(!FormatValueTipText(42, 3, &text));
}

void TestWidgetArithmetic::comboRowsAndPlacement()
{
    QCOMPARE(ComboListHeight(6), 75);
    QCOMPARE(ComboListHeight(3), 38);  // 37.5 to the even 38
    QCOMPARE(ComboListHeight(1), 12);  // 12.5 to the even 12
    QCOMPARE(ComboRowTwips(9), 180);
    QCOMPARE(ComboRowAt(0, 9), 0);
    QCOMPARE(ComboRowAt(11, 9), 0);
    QCOMPARE(ComboRowAt(12, 9), 1);
    QCOMPARE(ComboRowAt(36, 9), 3);   // 540 twips
    QCOMPARE(ComboRowAt(47, 9), 3);   // 705 twips
    QCOMPARE(ComboRowAt(48, 9), 4);
    // Below the face while it fits, else with its bottom at the widget's top.
    QCOMPARE(ComboListTop(100, 19, 75, 1080), 119);
    QCOMPARE(ComboListTop(1000, 19, 75, 1080), 925);
    QCOMPARE(ComboListTop(986, 19, 75, 1080), 911);  // would end exactly at the bottom edge
    QCOMPARE(ComboListTop(985, 19, 75, 1080), 1004);
}

QTEST_APPLESS_MAIN(TestWidgetArithmetic)
#include "test_widget_arithmetic.moc"
