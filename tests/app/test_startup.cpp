#include "CommIndicator.h"
#include "Main.h"
#include "MainFrm.h"
#include "AppState.h"
#include "QtUserPrompt.h"
#include "ScriptedPrompt.h"
#include "UserFormValue.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void displayDecisions_data();
    void displayDecisions();
    void refusedDisplayShowsMessageAndNoWindow();
    void windowsHaveTheirCaptionsAndSizes();
    void closeNoKeepsEverything();
    void closeYesClosesPortAndEnds();
    void logWindowKey();
    void backgroundDragAndPointerMoves();
    void qtTextsAreChineseInAnyLocale();
};

static ScreenMetrics Screen(float twips, int w, int h)
{
    ScreenMetrics m;
    m.twipsPerPixelX = twips;
    m.twipsPerPixelY = twips;
    m.widthPixels = w;
    m.heightPixels = h;
    return m;
}

void TestStartup::displayDecisions_data()
{
    QTest::addColumn<float>("twips");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("decision");
    using D = StartupDecision;
    QTest::newRow("120 dpi on a large screen") << 12.0f << 1920 << 1080 << int(D::WrongDpi);
    QTest::newRow("929 wide") << 15.0f << 929 << 560 << int(D::TooSmall);
    QTest::newRow("559 high") << 15.0f << 1024 << 559 << int(D::TooSmall);
    QTest::newRow("930 x 560") << 15.0f << 930 << 560 << int(D::SmallLayout);
    QTest::newRow("1024 x 768") << 15.0f << 1024 << 768 << int(D::SmallLayout);
    QTest::newRow("1024 x 770") << 15.0f << 1024 << 770 << int(D::SmallLayout);
    QTest::newRow("1024 x 771") << 15.0f << 1024 << 771 << int(D::BigLayout);
    QTest::newRow("1280 x 1024") << 15.0f << 1280 << 1024 << int(D::BigLayout);
}

void TestStartup::displayDecisions()
{
    QFETCH(float, twips);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, decision);
    QCOMPARE(int(DecideStartup(Screen(twips, width, height))), decision);
}

void TestStartup::refusedDisplayShowsMessageAndNoWindow()
{
    ScriptedPrompt prompt;
    AppState state(prompt);
    QVERIFY(!Main(state, Screen(12, 1920, 1080)));
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].look, QStringLiteral("warn"));
    const QStringList parts = prompt.shown[0].text.split(QStringLiteral("\r\n\r\n"));
    QCOMPARE(parts.size(), 4);
    QVERIFY(parts[0].startsWith(QStringLiteral("应用程序检测到您的电脑的当前DPI设置为120")));
    QVERIFY(parts[1].startsWith(QStringLiteral("XP系统请按下面方法更改")));
    QVERIFY(parts[2].startsWith(QStringLiteral("Vista系统请按下面方法更改")));
    QCOMPARE(parts[3], QStringLiteral("点击确定退出应用程序。"));
    QCOMPARE(state.LayoutVariant, quint8(0));

    prompt.shown.clear();
    QVERIFY(!Main(state, Screen(15, 929, 700)));
    QCOMPARE(prompt.Texts(QStringLiteral("warn")),
             QStringList{QStringLiteral("您的电脑显示器分辨率太低,至少需要930*560才能正常显示本程序界面,按确定退出.")});
    QVERIFY(!state.port.IsOpen());
}

void TestStartup::windowsHaveTheirCaptionsAndSizes()
{
    ScriptedPrompt prompt;
    {
        AppState state(prompt);
        auto big = Main(state, Screen(15, 1280, 1024));
        QVERIFY(big);
        QCOMPARE(state.LayoutVariant, quint8(1));
        QCOMPARE(big->windowTitle(), QStringLiteral("Quorin  "));
        QCOMPARE(big->size(), QSize(934, 682));
        QCOMPARE(big->Label4->text(), QStringLiteral("未连接"));
        QCOMPARE(big->Label5->text(), QStringLiteral("QSV-416MZ"));
    }
    {
        AppState state(prompt);
        auto small = Main(state, Screen(15, 1024, 768));
        QVERIFY(small);
        QCOMPARE(state.LayoutVariant, quint8(2));
        QCOMPARE(small->windowTitle(), QStringLiteral("Quorix"));
        QCOMPARE(small->size(), QSize(927, 563));
    }
}

void TestStartup::closeNoKeepsEverything()
{
    ScriptedPrompt prompt;
    AppState state(prompt);
    int ended = 0;
    state.EndProgram = [&] { ++ended; };
    auto window = Main(state, Screen(15, 1280, 1024));
    prompt.yesNoAnswer = false;
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QCOMPARE(prompt.Texts(QStringLiteral("question")), QStringList{QStringLiteral("确定要退出应用程序吗？")});
    QCOMPARE(ended, 0);
}

void TestStartup::closeYesClosesPortAndEnds()
{
    // A real open port (a pseudo-terminal) shows that the unload closes it.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0);
    QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
    ScriptedPrompt prompt;
    AppState state(prompt);
    state.port.SetPortList(QStringList{QString::fromLocal8Bit(ptsname(master))});
    QVERIFY(state.port.OpenPort(QStringLiteral("1")));
    bool portOpenAtEnd = true;
    state.EndProgram = [&] { portOpenAtEnd = state.port.IsOpen(); };
    auto window = Main(state, Screen(15, 1280, 1024));
    prompt.yesNoAnswer = true;
    QVERIFY(window->close());
    QVERIFY(!portOpenAtEnd);
    QVERIFY(!state.port.IsOpen());
    ::close(master);
}

void TestStartup::logWindowKey()
{
    ScriptedPrompt prompt;
    AppState state(prompt);
    auto window = Main(state, Screen(15, 1280, 1024));
    QTest::keyClick(window.get(), 'W', Qt::ShiftModifier);
    QVERIFY(!window->LogWindow());
    QVERIFY(!state.LogWindowOpen);

    QTest::keyClick(window.get(), 'w');
    CommIndicator *first = window->LogWindow();
    QVERIFY(first);
    QVERIFY(state.LogWindowOpen);
    QTest::keyClick(window.get(), 'w');
    QCOMPARE(window->LogWindow(), first);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](QWidget *w) { return qobject_cast<CommIndicator *>(w) != nullptr; }),
             1);
}

void TestStartup::backgroundDragAndPointerMoves()
{
    ScriptedPrompt prompt;
    AppState state(prompt);
    auto window = Main(state, Screen(15, 1280, 1024));
    window->move(100, 100);
    QSignalSpy moved(window.get(), &MainFrm::BackgroundPointerMoved);

    // Find a bare background point.
    QPoint bare(5, 5);
    QVERIFY(!window->childAt(bare));

    QTest::mouseMove(window.get(), bare);
    QVERIFY(moved.count() >= 1);
    QCOMPARE(window->pos(), QPoint(100, 100));

    const QPoint before = window->pos();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, bare);
    QVERIFY(window->IsDragging());
    QMouseEvent drag(QEvent::MouseMove, QPointF(bare + QPoint(30, 20)),
                     QPointF(window->mapToGlobal(bare) + QPoint(30, 20)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drag);
    QCOMPARE(window->pos(), before + QPoint(30, 20));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, bare);
    QVERIFY(!window->IsDragging());

    window->showMaximized();
    if (window->isMaximized()) {
        const int count = moved.count();
        QTest::mouseMove(window.get(), QPoint(6, 6));
        QCOMPARE(moved.count(), count);
    }
}

void TestStartup::qtTextsAreChineseInAnyLocale()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    LoadQtTranslations();

    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok);
    QVERIFY2(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")),
             qPrintable(box.button(QMessageBox::Yes)->text()));
    QVERIFY(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("否")));
    QVERIFY(box.button(QMessageBox::Ok)->text().startsWith(QStringLiteral("确定")));

    QString cancelText, listText;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        if (const auto *buttons = dialog->findChild<QDialogButtonBox *>())
            cancelText = buttons->button(QDialogButtonBox::Cancel)->text();
        if (const auto *list = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
            listText = list->currentText();
        dialog->reject();
    });
    QtUserPrompt prompt;
    QVERIFY(prompt.SaveFileName(nullptr, QStringLiteral("保存配置文件"), QDir::tempPath(), SettingsFileFilter())
                .isEmpty());
    QCOMPARE(cancelText, QStringLiteral("取消"));
    QCOMPARE(listText, QStringLiteral("音响配置文件 (*.txt)       "));
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
