// Runs on a real X server: the captions a window manager shows are the windows' own.
#include "CommIndicator.h"
#include "Main.h"
#include "MainFrm.h"
#include "AppState.h"
#include "ScriptedPrompt.h"

#include <QApplication>
#include <QProcess>
#include <QtTest>

namespace {

// A window's name properties as the X server holds them.
QString NameProperties(const QWidget *window)
{
    QProcess xprop;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    xprop.setProcessEnvironment(env);
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window->winId()),
                                          QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME")});
    xprop.waitForFinished(5000);
    return QString::fromUtf8(xprop.readAllStandardOutput());
}

QString Expected(const QString &caption)
{
    return QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \"%1\"\n").arg(caption);
}

} // namespace

class TestWindowTitles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server");
        ConfigureApplication();
    }

    void captionsAndNothingElse_data()
    {
        QTest::addColumn<bool>("big");
        QTest::newRow("MainFrm_Big") << true;
        QTest::newRow("MainFrm_Small") << false;
    }

    void captionsAndNothingElse()
    {
        QFETCH(bool, big);
        ScriptedPrompt prompt;
        AppState state(prompt);
        state.port.SetPortList(QStringList{});
        MainFrm window(state, big ? MainFrm_Big : MainFrm_Small, ScreenMetrics{});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(NameProperties(&window).startsWith(
            Expected(QString::fromUtf8(big ? MainFrm_Big.caption : MainFrm_Small.caption))));

        QTest::keyClick(&window, 'w');
        QVERIFY(window.LogWindow());
        QVERIFY(QTest::qWaitForWindowExposed(window.LogWindow()));
        QTRY_VERIFY(NameProperties(window.LogWindow())
                        .startsWith(Expected(QStringLiteral("通信指示器  双击清空显示  可拉长或宽"))));
    }
};

QTEST_MAIN(TestWindowTitles)
#include "test_window_titles.moc"
