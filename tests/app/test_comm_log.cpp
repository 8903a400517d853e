#include "CommIndicator.h"
#include "CommLog.h"
#include "AppState.h"
#include "ScriptedPrompt.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

class TestCommLog : public QObject
{
    Q_OBJECT

private slots:
    void linesOnlyWhileWindowOpen();
    void refreshFollowsTheLog();
    void clearingByDoubleClickAndByLength();
    void reopeningShowsOldText();
    void savedLogEqualsTheWindowsText();
};

void TestCommLog::linesOnlyWhileWindowOpen()
{
    ScriptedPrompt prompt;
    AppState state(prompt);
    const quint8 frame[6] = {0xCD, 0x01, 0x00, 0x03, 0x05, 0x00};
    LogSentFrame(state, frame);
    LogSyncByte(state);
    LogReceivedByte(state, 0x0A);
    QVERIFY(state.CommLog.isEmpty());

    state.LogWindowOpen = true;
    LogSentFrame(state, frame);
    LogSyncByte(state);
    LogReceivedByte(state, 0xFC);
    LogReceivedByte(state, 0x0A);
    QCOMPARE(state.CommLog, QStringLiteral("\r\n发送: CD,01,00,03,05,00\r\n发送: FC 同步字\r\n接收: FC\r\n接收: 0A"));
}

void TestCommLog::refreshFollowsTheLog()
{
    ScriptedPrompt prompt;
    AppState state(prompt);
    state.CommLog = QStringLiteral("双击清空显示 , 可拉长或宽");
    auto *window = new CommIndicator(state);
    QCOMPARE(window->windowTitle(), QStringLiteral("通信指示器  双击清空显示  可拉长或宽"));
    QVERIFY(state.LogWindowOpen);
    QCOMPARE(window->Timer1().interval(), 200);
    window->Timer1_Timer();
    QCOMPARE(window->Text1()->toPlainText(), state.CommLog);

    // What the user typed is kept until the log's length changes.
    window->Text1()->setPlainText(QStringLiteral("typed"));
    window->Timer1_Timer();
    QCOMPARE(window->Text1()->toPlainText(), QStringLiteral("typed"));
    LogReceivedByte(state, 0x33);
    QTRY_COMPARE_WITH_TIMEOUT(window->Text1()->toPlainText(),
                              QStringLiteral("双击清空显示 , 可拉长或宽\n接收: 33"), 1000);
    QCOMPARE(window->Text1()->textCursor().position(), window->Text1()->toPlainText().size());
    delete window;
    QVERIFY(!state.LogWindowOpen);
}

void TestCommLog::clearingByDoubleClickAndByLength()
{
    ScriptedPrompt prompt;
    AppState state(prompt);
    auto window = std::make_unique<CommIndicator>(state);
    window->show();
    state.CommLog = QStringLiteral("old lines");
    window->Timer1_Timer();
    QTest::mouseDClick(window->Text1()->viewport(), Qt::LeftButton);
    QVERIFY(state.CommLog.isEmpty());
    window->Timer1_Timer();
    QVERIFY(window->Text1()->toPlainText().isEmpty());
    LogReceivedByte(state, 0x01);
    QCOMPARE(state.CommLog, QStringLiteral("\r\n接收: 01"));

    state.CommLog = QString(60000, QLatin1Char('x'));
    window->Timer1_Timer();
    QCOMPARE(window->Text1()->toPlainText().size(), 60000);
    state.CommLog += QStringLiteral("y");
    window->Timer1_Timer();
    QVERIFY(state.CommLog.isEmpty());
    QVERIFY(window->Text1()->toPlainText().isEmpty());
    LogReceivedByte(state, 0x02);
    window->Timer1_Timer();
    QCOMPARE(window->Text1()->toPlainText(), QStringLiteral("\n接收: 02"));
}

void TestCommLog::reopeningShowsOldText()
{
    ScriptedPrompt prompt;
    AppState state(prompt);
    auto window = std::make_unique<CommIndicator>(state);
    LogReceivedByte(state, 0x10);
    window.reset();
    LogReceivedByte(state, 0x11);  // closed: not logged
    window = std::make_unique<CommIndicator>(state);
    window->Timer1_Timer();
    QCOMPARE(window->Text1()->toPlainText(), QStringLiteral("\n接收: 10"));
}

void TestCommLog::savedLogEqualsTheWindowsText()
{
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppState state(prompt);
    CommIndicator window(state);
    const quint8 frame[6] = {0xCD, 0x02, 0x00, 0x01, 0x03, 0x0C};
    LogSentFrame(state, frame);
    LogReceivedByte(state, 0x33);
    window.Timer1_Timer();
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    prompt.fileAnswers.enqueue(path);
    window.SaveToFile();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QCOMPARE(saved, QStringLiteral("\r\n发送: CD,02,00,01,03,0C\r\n接收: 33").toUtf8());
    QCOMPARE(QString::fromUtf8(saved).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), window.Text1()->toPlainText());

    prompt.fileAnswers.enqueue(dir.filePath(QStringLiteral("no/such/folder/log.txt")));
    window.SaveToFile();
    QCOMPARE(prompt.Texts(QStringLiteral("critical")).size(), 1);
}

QTEST_MAIN(TestCommLog)
#include "test_comm_log.moc"
