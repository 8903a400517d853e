#include "C_ComboBox.h"

#include <QLineEdit>
#include <QScreen>
#include <QtTest>

namespace {

// The list is its own top-level window; its pointer events are delivered to it directly.
void MoveOver(QWidget *list, int y)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(20, y), list->mapToGlobal(QPointF(20, y)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list, &move);
}

void PressOn(QWidget *list, int y, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, y), list->mapToGlobal(QPointF(20, y)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(list, &press);
}

void AddSix(C_ComboBox &combo)
{
    for (const char *name : {"MUSIC1", "MUSIC2", "MUSIC3", "MUSIC4", "MUSIC5", "MUSIC6"})
        combo.AddItem(QString::fromLatin1(name));
}

} // namespace

class TestComboBox : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void itemsAndSelection();
    void faceTogglesTheList();
    void pointerPicksTheRow();
    void opensUpwardNearTheScreenBottom();
    void focusLossClosesSilently();
};

void TestComboBox::init()
{
    QCursor::setPos(900, 700);
    QCoreApplication::processEvents();
}

void TestComboBox::itemsAndSelection()
{
    C_ComboBox combo;
    combo.ReadProperties({});
    QCOMPARE(combo.TopIndex(), -1);
    QCOMPARE(combo.size(), QSize(70, 19));
    AddSix(combo);
    QCOMPARE(combo.TopIndex(), 0);
    QCOMPARE(combo.Caption(), QString("0"));
    QCOMPARE(combo.ListWindow()->height(), 75);
    QCOMPARE(combo.ListWindow()->width(), 70);

    QSignalSpy itemClick(&combo, &C_ComboBox::ItemClick);
    combo.SetTopIndex(2);
    QCOMPARE(combo.Caption(), QString("MUSIC3"));
    combo.SetTopIndex(9);
    QCOMPARE(combo.TopIndex(), 5);
    QCOMPARE(combo.Caption(), QString("MUSIC6"));
    combo.SetTopIndex(-1);
    QCOMPARE(combo.TopIndex(), -1);
    QCOMPARE(combo.Caption(), QString());
    QCOMPARE(itemClick.count(), 0);

    C_ComboBox empty;
    empty.SetTopIndex(3);
    QCOMPARE(empty.TopIndex(), -1);

    C_ComboBox small;
    small.ReadProperties({{"ShowSize", true}});
    QCOMPARE(small.size(), QSize(70, 16));
}

void TestComboBox::faceTogglesTheList()
{
    QWidget host;
    host.resize(300, 200);
    auto *combo = new C_ComboBox(&host);
    combo->ReadProperties({});
    AddSix(*combo);
    combo->move(20, 20);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy itemClick(combo, &C_ComboBox::ItemClick);
    const QImage normal = combo->grab().toImage();

    QTest::mousePress(combo, Qt::LeftButton, {}, QPoint(30, 9));
    QVERIFY(combo->IsOpen());
    QVERIFY(combo->IsPressed());
    QVERIFY(combo->grab().toImage() != normal);
    QVERIFY(combo->ListWindow()->isVisible());
    QVERIFY(combo->ListWindow()->isWindow());
    QVERIFY(combo->ListWindow()->windowFlags().testFlag(Qt::Tool));
    QCOMPARE(combo->ListWindow()->pos(), combo->mapToGlobal(QPoint(0, 19)));
    QTest::mouseRelease(combo, Qt::LeftButton, {}, QPoint(30, 9));
    QVERIFY(!combo->IsPressed());
    QCOMPARE(combo->grab().toImage(), normal);

    QTest::mouseClick(combo, Qt::RightButton, {}, QPoint(30, 9));
    QVERIFY(!combo->IsOpen());
    QVERIFY(!combo->ListWindow()->isVisible());
    QCOMPARE(itemClick.count(), 0);
}

void TestComboBox::pointerPicksTheRow()
{
    QWidget host;
    host.resize(300, 200);
    auto *combo = new C_ComboBox(&host);
    combo->ReadProperties({});
    AddSix(*combo);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy itemClick(combo, &C_ComboBox::ItemClick);
    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(30, 9));
    QWidget *list = combo->ListWindow();
    QVERIFY(QTest::qWaitForWindowExposed(list));

    // Fourth row: 540 to 719 twips, pixels 36 to 47.
    MoveOver(list, 36);
    QCOMPARE(combo->TopIndex(), 3);
    MoveOver(list, 47);
    QCOMPARE(combo->TopIndex(), 3);
    MoveOver(list, 62);
    QCOMPARE(combo->TopIndex(), 5);
    MoveOver(list, 73); // below the last row
    QCOMPARE(combo->TopIndex(), 5);
    MoveOver(list, 40);
    PressOn(list, 40, Qt::LeftButton);
    QCOMPARE(itemClick.count(), 1);
    QCOMPARE(itemClick.at(0).at(0).toInt(), 3);
    QCOMPARE(combo->Caption(), QString("MUSIC4"));
    QVERIFY(!combo->IsOpen());
    QVERIFY(!list->isVisible());

    // A press without a move before it takes the row under the pointer.
    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(30, 9));
    PressOn(list, 5, Qt::RightButton);
    QCOMPARE(itemClick.count(), 2);
    QCOMPARE(itemClick.at(1).at(0).toInt(), 0);
}

void TestComboBox::opensUpwardNearTheScreenBottom()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    C_ComboBox combo;
    combo.ReadProperties({});
    AddSix(combo);
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));
    combo.move(100, screen.bottom() - 40);
    QTRY_VERIFY(combo.mapToGlobal(QPoint(0, 0)).y() > screen.bottom() - 60);
    QTest::mouseClick(&combo, Qt::LeftButton, {}, QPoint(30, 9));
    QVERIFY(combo.IsOpen());
    const QWidget *list = combo.ListWindow();
    QCOMPARE(list->y() + list->height(), combo.mapToGlobal(QPoint(0, 0)).y());
    QCOMPARE(list->x(), combo.mapToGlobal(QPoint(0, 0)).x());
}

void TestComboBox::focusLossClosesSilently()
{
    QWidget host;
    host.resize(300, 200);
    auto *combo = new C_ComboBox(&host);
    combo->ReadProperties({});
    AddSix(*combo);
    auto *edit = new QLineEdit(&host);
    edit->move(150, 20);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QApplication::setActiveWindow(&host);
    QSignalSpy itemClick(combo, &C_ComboBox::ItemClick);

    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(30, 9));
    QVERIFY(combo->IsOpen());
    QTRY_VERIFY(combo->hasFocus());
    QVERIFY(combo->IsOpen());
    edit->setFocus();
    QTRY_VERIFY(!combo->IsOpen());
    QVERIFY(!combo->ListWindow()->isVisible());
    QCOMPARE(itemClick.count(), 0);
    QCOMPARE(combo->TopIndex(), 0);
}

QTEST_MAIN(TestComboBox)
#include "test_combobox.moc"
