#include "C_Button.h"

#include <QtTest>

class TestButton : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void takesItsFaceSize();
    void pressAndReleaseClickWithAnyButton();
    void hoverFollowsEnterAndLeave();
    void stateFromContainer();
};

void TestButton::init()
{
    // Each case starts with the pointer away from where its windows open.
    QCursor::setPos(900, 700);
    QCoreApplication::processEvents();
}

void TestButton::takesItsFaceSize()
{
    C_Button large;
    large.ReadProperties({});
    QCOMPARE(large.Caption(), QString("按钮"));
    large.show();
    QVERIFY(QTest::qWaitForWindowExposed(&large));
    large.resize(100, 40);
    QCOMPARE(large.size(), QSize(63, 26));

    C_Button small;
    small.ReadProperties({{"ButtonIndex", 1}, {"Caption", "读取"}});
    small.show();
    QVERIFY(QTest::qWaitForWindowExposed(&small));
    small.resize(100, 40);
    QCOMPARE(small.size(), QSize(43, 23));
    QCOMPARE(small.Caption(), QString("读取"));

    // The caption is centred on the face; a longer caption starts further left.
    const int shortLeft = large.CaptionLeft();
    large.SetCaption("上传上传");
    QVERIFY(large.CaptionLeft() < shortLeft);
    QVERIFY(large.CaptionLeft() >= 0);
}

void TestButton::pressAndReleaseClickWithAnyButton()
{
    QWidget host;
    host.resize(200, 100);
    auto *button = new C_Button(&host);
    button->ReadProperties({{"Caption", "读取"}});
    button->move(10, 10);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy click(button, &C_Button::Click);

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(button->State(), quint8(2));
    QVERIFY(button->IsPressed());
    const QImage pressed = button->grab().toImage();
    QCOMPARE(pressed.pixelColor(6, 16), QColor(121, 121, 117));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(click.count(), 1);
    QCOMPARE(button->State(), quint8(1));
    QVERIFY(!button->IsPressed());

    QTest::mouseClick(button, Qt::RightButton, {}, QPoint(30, 13));
    QCOMPARE(click.count(), 2);

    // Dragging out before the release still clicks, and the look ends at hover.
    QTest::mouseMove(button, QPoint(31, 13));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(31, 13));
    QTest::mouseMove(button, QPoint(120, 60));
    QCOMPARE(button->State(), quint8(2));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(120, 60));
    QCOMPARE(click.count(), 3);
    QCOMPARE(button->State(), quint8(1));

    // The Click handler sees the hover state before the face is redrawn.
    quint8 stateInHandler = 0;
    connect(button, &C_Button::Click, button, [&] { stateInHandler = button->State(); });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 13));
    QCOMPARE(stateInHandler, quint8(1));
}

void TestButton::hoverFollowsEnterAndLeave()
{
    QWidget host;
    host.resize(200, 100);
    auto *button = new C_Button(&host);
    button->move(10, 10);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy enter(button, &C_Button::MouseEnter);
    QSignalSpy leave(button, &C_Button::MouseLeave);

    QTest::mouseMove(&host, QPoint(150, 80));
    QTest::mouseMove(button, QPoint(30, 13));
    QTRY_COMPARE(enter.count(), 1);
    QVERIFY(button->IsMouseInside());
    QCOMPARE(button->State(), quint8(1));
    const QColor rim = button->grab().toImage().pixelColor(31, 1);
    QVERIFY(rim.red() > 150 && rim.blue() < 80);
    QTest::mouseMove(button, QPoint(31, 14));
    QCOMPARE(enter.count(), 1);

    QTest::mouseMove(&host, QPoint(150, 80));
    QTRY_COMPARE(leave.count(), 1);
    QVERIFY(!button->IsMouseInside());
    QCOMPARE(button->State(), quint8(0));

    // A first move that arrives with a button held ends at hover; the next move shows pressed.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 13));
    QEvent leaveEvent(QEvent::Leave);
    QApplication::sendEvent(button, &leaveEvent);
    QCOMPARE(button->State(), quint8(0));
    QMouseEvent move(QEvent::MouseMove, QPointF(31, 13), button->mapToGlobal(QPointF(31, 13)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &move);
    QCOMPARE(button->State(), quint8(1));
    QMouseEvent again(QEvent::MouseMove, QPointF(32, 13), button->mapToGlobal(QPointF(32, 13)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &again);
    QCOMPARE(button->State(), quint8(2));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(32, 13));
}

void TestButton::stateFromContainer()
{
    C_Button button;
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    button.SetState(0); // the window may have opened under the pointer
    const QImage normal = button.grab().toImage();
    button.SetState(1);
    QCOMPARE(button.State(), quint8(1));
    QVERIFY(button.grab().toImage() != normal);
    button.SetState(0);
    QCOMPARE(button.grab().toImage(), normal);

    // A look without a face shows only the background around the caption.
    button.SetState(3);
    const QImage bare = button.grab().toImage();
    QCOMPARE(bare.pixelColor(2, 13), QColor(63, 63, 61));
    QCOMPARE(bare.pixelColor(31, 2), QColor(63, 63, 61));
}

QTEST_MAIN(TestButton)
#include "test_button.moc"
