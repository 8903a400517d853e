#include "LimitsPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

class TestLimitsPanel : public QObject
{
    Q_OBJECT

private slots:
    void enterCommitsUnderTheOrderRules_data();
    void enterCommitsUnderTheOrderRules();
    void spinChangesKeepThePairInOrder();
    void keyFilterAndRefusedInput();
    void codeFillsRefuseOutOfRangeValues();
    void modeNames();
};

namespace {

const QColor Black(0, 0, 0);
const QColor Red(255, 0, 0);

// Clears box i and types text into it, as the user would.
void Type(LimitsPanel &panel, int i, const QString &text)
{
    QLineEdit *box = panel.Text1[i];
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

} // namespace

void TestLimitsPanel::enterCommitsUnderTheOrderRules_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("committed");
    QTest::addColumn<int>("signalled");  // maximum reported to the volume slider, -1 none

    QTest::newRow("minimum below the maximum") << 20 << 80 << 3 << "50" << 50 << -1;
    QTest::newRow("minimum above the maximum") << 20 << 40 << 3 << "50" << 40 << -1;
    QTest::newRow("maximum compared as a number") << 9 << 80 << 4 << "10" << 10 << 10;
    QTest::newRow("maximum below the minimum") << 30 << 80 << 4 << "20" << 30 << 30;
    QTest::newRow("empty minimum keeps its value") << 20 << 80 << 3 << "" << 20 << -1;
    QTest::newRow("maximum above 80 keeps its value") << 20 << 70 << 4 << "95" << 70 << -1;
}

void TestLimitsPanel::enterCommitsUnderTheOrderRules()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, cell);
    QFETCH(QString, typed);
    QFETCH(int, committed);
    QFETCH(int, signalled);

    QWidget host;
    LimitsPanel panel(&host);
    QVERIFY(panel.CommitLimitValue(4, maximum));
    QVERIFY(panel.CommitLimitValue(3, minimum));
    QSignalSpy maxima(&panel, &LimitsPanel::MaximumCommitted);

    Type(panel, cell, typed);
    QCOMPARE(panel.TextColour(cell), Red);
    QCOMPARE(panel.SpinValue(cell), cell == 3 ? minimum : maximum);

    QTest::keyClick(panel.Text1[cell], Qt::Key_Return);
    QCOMPARE(panel.SpinValue(cell), committed);
    QCOMPARE(panel.Text1[cell]->text(), QString::number(committed));
    QCOMPARE(panel.TextColour(cell), Black);
    QVERIFY(panel.SpinValue(3) <= panel.SpinValue(4));
    if (signalled < 0) {
        QVERIFY(maxima.isEmpty());
    } else {
        QCOMPARE(maxima.size(), 1);
        QCOMPARE(maxima[0][0].toInt(), 1);
        QCOMPARE(maxima[0][1].toInt(), signalled);
    }
}

void TestLimitsPanel::spinChangesKeepThePairInOrder()
{
    QWidget host;
    LimitsPanel panel(&host);
    QSignalSpy maxima(&panel, &LimitsPanel::MaximumCommitted);
    QVERIFY(panel.CommitLimitValue(6, 30));
    maxima.clear();

    panel.VScroll1[7]->setValue(29);
    QCOMPARE(panel.SpinValue(7), 30);
    QCOMPARE(panel.Text1[7]->text(), QStringLiteral("30"));
    QCOMPARE(panel.TextColour(7), Black);

    panel.VScroll1[7]->setValue(50);
    panel.VScroll1[6]->setValue(60);
    QCOMPARE(panel.SpinValue(6), 50);
    QCOMPARE(panel.Text1[6]->text(), QStringLiteral("50"));
    // Lowering a maximum with the spin leaves the volume alone.
    QVERIFY(maxima.isEmpty());

    // An edited box turns black again when its spin moves.
    Type(panel, 7, QStringLiteral("7"));
    QCOMPARE(panel.TextColour(7), Red);
    panel.VScroll1[7]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(panel.SpinValue(7), 51);
    QCOMPARE(panel.TextColour(7), Black);
    QCOMPARE(panel.Text1[7]->text(), QString::number(panel.SpinValue(7)));
}

void TestLimitsPanel::keyFilterAndRefusedInput()
{
    QWidget host;
    LimitsPanel panel(&host);
    QLineEdit *box = panel.Text1[0];
    QCOMPARE(box->text(), QStringLiteral("0"));
    QTest::keyClicks(box, QStringLiteral("a- "));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("0"));
    box->setCursorPosition(1);
    QTest::keyClicks(box, QStringLiteral("57"));
    QCOMPARE(box->text(), QStringLiteral("05"));

    // Delete is no character and edits as usual.
    box->setCursorPosition(0);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), QStringLiteral("5"));
    // As X11 delivers it: Delete with the text U+007F.
    box->setText(QStringLiteral("05"));
    box->setCursorPosition(0);
    QKeyEvent x11Delete(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
    QApplication::sendEvent(box, &x11Delete);
    QCOMPARE(box->text(), QStringLiteral("5"));
    QTest::keyClick(box, Qt::Key_Enter);
    QCOMPARE(panel.SpinValue(0), 5);

    // Enter in a mode box only turns it black.
    QLineEdit *mode = panel.Text1[2];
    mode->setText(QStringLiteral("MUS"));
    QCOMPARE(panel.TextColour(2), Red);
    QTest::keyClick(mode, Qt::Key_Return);
    QCOMPARE(panel.TextColour(2), Black);
    QCOMPARE(panel.SpinValue(2), 0);

    box->setText(QString());
    QVERIFY(!panel.CommitLimitText(0));
    QCOMPARE(box->text(), QStringLiteral("5"));
}

void TestLimitsPanel::codeFillsRefuseOutOfRangeValues()
{
    QWidget host;
    LimitsPanel panel(&host);
    QVERIFY(panel.CommitLimitValue(1, 60));
    QVERIFY(!panel.CommitLimitValue(1, 81));
    QVERIFY(!panel.CommitLimitValue(0, -1));
    QVERIFY(!panel.CommitLimitValue(2, 3));
    QCOMPARE(panel.SpinValue(1), 60);
    QCOMPARE(panel.Text1[1]->text(), QStringLiteral("60"));

    QVERIFY(panel.SetModeValue(8, 7));
    QVERIFY(!panel.SetModeValue(8, 8));
    QVERIFY(!panel.SetModeValue(5, 6));
    QVERIFY(!panel.SetModeValue(4, 1));
    QCOMPARE(panel.Text1[8]->text(), QStringLiteral("EFF4"));
    QCOMPARE(panel.Text1[5]->text(), QStringLiteral("MIC1"));

    // The volume ceiling follows the maximum box, typed or committed.
    QCOMPARE(panel.VolumeCeiling(0), 60);
    panel.Text1[1]->setText(QStringLiteral("45"));
    QCOMPARE(panel.VolumeCeiling(0), 45);
    panel.Text1[1]->setText(QString());
    QCOMPARE(panel.VolumeCeiling(0), 60);
}

void TestLimitsPanel::modeNames()
{
    QCOMPARE(LimitsPanel::ModeName(0, 0), QStringLiteral("MUS1"));
    QCOMPARE(LimitsPanel::ModeName(0, 5), QStringLiteral("MUS6"));
    QCOMPARE(LimitsPanel::ModeName(1, 2), QStringLiteral("MIC3"));
    QCOMPARE(LimitsPanel::ModeName(2, 3), QStringLiteral("KTV4"));
    QCOMPARE(LimitsPanel::ModeName(2, 4), QStringLiteral("EFF1"));
    QCOMPARE(LimitsPanel::ModeName(2, 7), QStringLiteral("EFF4"));
}

QTEST_MAIN(TestLimitsPanel)
#include "test_limits_panel.moc"
