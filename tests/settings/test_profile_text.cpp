#include "Ini_Oper.h"
#include "ProfileText.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The profile layer must read and edit files exactly as the older platform does,
// since files travel between the two in both directions.
class TestProfileText : public QObject
{
    Q_OBJECT

private slots:
    void readsTheWayTheOlderPlatformDoes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");  // "<missing>" when nothing is found

        QTest::newRow("crlf") << QByteArray("[Main]\r\nA=1\r\nB=2\r\n") << QByteArray("B") << QByteArray("2");
        QTest::newRow("lf only") << QByteArray("[Main]\nA=1\nB=2") << QByteArray("B") << QByteArray("2");
        QTest::newRow("cr only") << QByteArray("[Main]\rA=1\rB=2\r") << QByteArray("B") << QByteArray("2");
        QTest::newRow("other case") << QByteArray("[mAIN]\r\nmusic0.1=9\r\n") << QByteArray("Music0.1") << QByteArray("9");
        QTest::newRow("blanks") << QByteArray(" \t[  Main ] \r\n   A \t=  1 2  \r\n") << QByteArray("A") << QByteArray("1 2");
        QTest::newRow("double quotes") << QByteArray("[Main]\nA=\" 12 \"\n") << QByteArray("A") << QByteArray("12");
        QTest::newRow("single quotes") << QByteArray("[Main]\nA='x'\n") << QByteArray("A") << QByteArray("x");
        QTest::newRow("unmatched quotes") << QByteArray("[Main]\nA=\"x'\n") << QByteArray("A") << QByteArray("\"x'");
        QTest::newRow("lone quote") << QByteArray("[Main]\nA=\"\n") << QByteArray("A") << QByteArray("\"");
        QTest::newRow("comment") << QByteArray("[Main]\n  ;A=1\nA=2\n") << QByteArray("A") << QByteArray("2");
        QTest::newRow("first equals splits") << QByteArray("[Main]\nA = b=c\n") << QByteArray("A") << QByteArray("b=c");
        QTest::newRow("empty value") << QByteArray("[Main]\nA=\n") << QByteArray("A") << QByteArray("");
        QTest::newRow("first key wins") << QByteArray("[Main]\nA=1\na=2\n") << QByteArray("A") << QByteArray("1");
        QTest::newRow("first section wins")
            << QByteArray("[Main]\nA=1\n[Other]\nB=3\n[MAIN]\nA=2\nB=4\n") << QByteArray("B") << QByteArray("<missing>");
        QTest::newRow("other section") << QByteArray("[Other]\nA=1\n") << QByteArray("A") << QByteArray("<missing>");
        QTest::newRow("key before any section") << QByteArray("A=1\n[Main]\n") << QByteArray("A") << QByteArray("<missing>");
        QTest::newRow("line without equals") << QByteArray("[Main]\nA\n") << QByteArray("A") << QByteArray("<missing>");
        QTest::newRow("nul ends value") << QByteArray("[Main]\nA=12\0junk\n", 17) << QByteArray("A") << QByteArray("12");
        QTest::newRow("over-long value")
            << QByteArray("[Main]\nA=" + QByteArray(248, '0') + "17\n") << QByteArray("A") << QByteArray(248, '0') + '1';
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[Main]\nA=1\n") << QByteArray("A") << QByteArray("1");
    }

    void readsTheWayTheOlderPlatformDoes()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        QCOMPARE(ProfileText(content).Value("Main", key).value_or("<missing>"), expected);
    }

    void editsOnlyWhatItMust_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("new file") << QByteArray() << QByteArray("A") << QByteArray("[Main]\r\nA=v\r\n");
        QTest::newRow("replace keeps spelling and line end")
            << QByteArray("; top\n[main]\n  TYPE = old \n;c\n\n[Other]\nA=1\n") << QByteArray("Type")
            << QByteArray("; top\n[main]\nTYPE=v\n;c\n\n[Other]\nA=1\n");
        QTest::newRow("new key after last key line")
            << QByteArray("[Main]\r\nB=1\r\n; note\r\n\r\n[Other]\r\nA=2\r\n") << QByteArray("A")
            << QByteArray("[Main]\r\nB=1\r\nA=v\r\n; note\r\n\r\n[Other]\r\nA=2\r\n");
        QTest::newRow("section without keys") << QByteArray("[Main]\n;x\n[Other]\n") << QByteArray("A")
                                              << QByteArray("[Main]\nA=v\r\n;x\n[Other]\n");
        QTest::newRow("last line without line end") << QByteArray("[Main]\r\nB=1") << QByteArray("A")
                                                    << QByteArray("[Main]\r\nB=1\r\nA=v\r\n");
        QTest::newRow("new section at the end") << QByteArray("[Other]\nA=1") << QByteArray("A")
                                                << QByteArray("[Other]\nA=1\r\n[Main]\r\nA=v\r\n");
        QTest::newRow("first of duplicate sections")
            << QByteArray("[Main]\rB=1\r[Other]\r[Main]\rA=2\r") << QByteArray("A")
            << QByteArray("[Main]\rB=1\rA=v\r\n[Other]\r[Main]\rA=2\r");
    }

    void editsOnlyWhatItMust()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, after);
        ProfileText profile(before);
        profile.SetValue("Main", key, "v");
        QCOMPARE(profile.Content(), after);
        QCOMPARE(profile.Value("Main", key).value_or("<missing>"), QByteArray("v"));
    }

    void keyAccessOnTheSettingsFile()
    {
        QTemporaryDir dir;
        int beeps = 0;
        SettingsFileState state;
        state.Beep = [&beeps] { ++beeps; };
        state.SettingsPath = dir.filePath("s.txt");

        QCOMPARE(ReadIniValue(state, "Type", QString(), "NULL"), QString("NULL"));
        QVERIFY(WriteIniValue(state, "Type", "QSV-416MZ", QString()));
        QVERIFY(WriteIniValue(state, "X", "1", "Other"));
        QVERIFY(WriteIniValue(state, "type", "2", "main"));
        QFile file(state.SettingsPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[Main]\r\nType=2\r\n[Other]\r\nX=1\r\n"));
        QCOMPARE(ReadIniValue(state, "TYPE", QString(), "NULL"), QString("2"));
        QCOMPARE(ReadIniValue(state, "x", "other", "NULL"), QString("1"));
        QCOMPARE(ReadIniValue(state, "Y", QString(), "fallback"), QString("fallback"));
        QCOMPARE(beeps, 0);

        state.SettingsPath = dir.filePath("missing/s.txt");
        QVERIFY(!WriteIniValue(state, "Type", "QSV-416MZ", QString()));
        QCOMPARE(beeps, 1);
        QVERIFY(!QFile::exists(state.SettingsPath));
    }
};

QTEST_GUILESS_MAIN(TestProfileText)
#include "test_profile_text.moc"
