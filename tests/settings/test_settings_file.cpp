#include "AppState.h"
#include "ScriptedPrompt.h"
#include "SettingsDialogs.h"
#include "UserFormValue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

using S = SettingsSnapshot;

S Sample()
{
    S s;
    for (int m = 0; m < S::MusicPresets; ++m)
        for (int k = 0; k < S::MusicParams; ++k)
            s.music[m][k] = quint8(m * 40 + k * 3 + 1);
    for (int m = 0; m < S::MicPresets; ++m)
        for (int k = 0; k < S::MicParams; ++k)
            s.mic[m][k] = quint8(255 - m * 9 - k);
    for (int p = 0; p < S::KtvPrograms; ++p)
        for (int k = 0; k < S::KtvParams; ++k)
            s.ktv[p][k] = quint8(100 + p * 8 + k);
    for (int p = 0; p < S::EffPrograms; ++p)
        for (int k = 0; k < S::EffParams; ++k)
            s.eff[p][k] = quint8(200 + p * 10 + k);
    s.inputSelect = 2;
    s.exciter = true;
    s.lock = true;
    const int vol[S::LimitCells] = {5, 70, 3, 30, 60, 5, 0, 80, 7};
    std::copy(std::begin(vol), std::end(vol), std::begin(s.vol));
    return s;
}

// The file's key lines as the file format lays them down, in order.
QList<QByteArray> KeyLines(const S &s)
{
    QList<QByteArray> lines{"Type=QSV-416MZ"};
    const auto table = [&](const char *name, int memories, int params, const auto &values) {
        for (int m = 0; m < memories; ++m)
            for (int k = 0; k < params; ++k)
                lines << QByteArray(name) + QByteArray::number(m) + '.' + QByteArray::number(k) + '='
                        + QByteArray::number(values[m][k]);
    };
    table("Music", 6, 18, s.music);
    table("Mic", 6, 9, s.mic);
    table("Ktv", 2, 8, s.ktv);
    table("Eff", 2, 10, s.eff);
    lines << "INPUTSELECT=" + QByteArray::number(s.inputSelect < 0 ? 3 : s.inputSelect)
          << "EX=" + QByteArray::number(s.exciter) << "MUTE=" + QByteArray::number(s.mute)
          << "LOCK=" + QByteArray::number(s.lock);
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            lines << "VOL" + QByteArray::number(c) + '.' + QByteArray::number(r) + '='
                    + QByteArray::number(s.vol[3 * c + r]);
    return lines;
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedPrompt prompt;
    AppState state{prompt};
    QWidget owner;

    QString PathOf(const QString &name) const { return dir.filePath(name); }

    void WriteFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(PathOf(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray ReadFile(const QString &name) const
    {
        QFile file(PathOf(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    std::optional<S> Import(const QByteArray &bytes)
    {
        WriteFile("in.txt", bytes);
        prompt.fileAnswers.enqueue(PathOf("in.txt"));
        return ImportSettingsFile(state, &owner);
    }

private slots:
    void init() { prompt.shown.clear(); }

    void saveAndImportRestoreEveryValue()
    {
        S saved = Sample();
        prompt.fileAnswers.enqueue(PathOf("a"));
        QVERIFY(SaveSettingsFile(state, &owner, saved));
        QCOMPARE(state.SettingsPath, PathOf("a.txt"));
        QCOMPARE(state.DefaultSection, QString("Main"));
        QCOMPARE(ReadFile("a.txt"), "[Main]\r\n" + KeyLines(saved).join("\r\n") + "\r\n");

        prompt.fileAnswers.enqueue(PathOf("a.txt"));
        std::optional<S> imported = ImportSettingsFile(state, &owner);
        QVERIFY(imported);
        QVERIFY(*imported == saved);

        // No input source selected travels as 3 and comes back as none.
        saved.inputSelect = S::NoInputSource;
        prompt.fileAnswers.enqueue(PathOf("a.txt"));
        QVERIFY(SaveSettingsFile(state, &owner, saved));
        QVERIFY(ReadFile("a.txt").contains("\r\nINPUTSELECT=3\r\n"));
        prompt.fileAnswers.enqueue(PathOf("a.txt"));
        imported = ImportSettingsFile(state, &owner);
        QVERIFY(imported && *imported == saved);
        QCOMPARE(prompt.Texts("critical"), QStringList());
    }

    void dialogsAndFileNames_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "b" << "b.txt";
        QTest::newRow("upper case kept") << "c.TXT" << "c.TXT";
        QTest::newRow("other extension") << "e.txt.bak" << "e.txt.bak.txt";
    }

    void dialogsAndFileNames()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        prompt.fileAnswers.enqueue(PathOf(chosen));
        QVERIFY(SaveSettingsFile(state, &owner, S()));
        QVERIFY(QFile::exists(PathOf(written)));
        QCOMPARE(prompt.shown.first().look, QString("save"));
        QCOMPARE(prompt.shown.first().text, QString("保存配置文件"));
        QCOMPARE(prompt.lastDialogOwner, &owner);
        QCOMPARE(prompt.lastDialogFilter, QString("音响配置文件 (*.txt)       (*.txt)"));
        QCOMPARE(prompt.lastDialogFolder, QCoreApplication::applicationDirPath());

        prompt.lastDialogOwner = nullptr;
        QVERIFY(!ImportSettingsFile(state, &owner));  // cancelled
        QCOMPARE(prompt.shown.last().look, QString("open"));
        QCOMPARE(prompt.shown.last().text, QString("浏览配置文件"));
        QCOMPARE(prompt.lastDialogOwner, &owner);
        QCOMPARE(prompt.lastDialogFilter, SettingsFileFilter());
        QCOMPARE(prompt.lastDialogFolder, QCoreApplication::applicationDirPath());
        QCOMPARE(prompt.shown.size(), 2);

        QCOMPARE(SettingsDialogFolder(PathOf("no-such-folder")),
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    }

    void handWrittenFilesImport()
    {
        // Every key in another case, with blanks and quotes, under other sections and comments,
        // in each of the three line ends.
        const S expected = Sample();
        for (const QByteArray &end : {QByteArray("\r\n"), QByteArray("\n"), QByteArray("\r")}) {
            QByteArray file = "; written by hand" + end + "[Other]" + end + "Type=NOPE" + end + end
                + "  [ main ]  " + end;
            int n = 0;
            for (const QByteArray &line : KeyLines(expected)) {
                const int equals = line.indexOf('=');
                const QByteArray value = line.mid(equals + 1);
                const QByteArray quoted = n % 3 == 0 ? '"' + value + '"' : n % 3 == 1 ? "'" + value + "'" : value;
                file += "  " + line.left(equals).toLower() + " =  " + quoted + " " + end;
                ++n;
            }
            file += "[MAIN]" + end + "Music0.0=9" + end;
            const std::optional<S> imported = Import(file);
            QVERIFY(imported);
            QVERIFY(*imported == expected);
        }

        // First of duplicate keys, a NUL, an over-long value, the words true and false.
        std::optional<S> imported = Import(QByteArray("[Main]\nMusic0.0=5\nmusic0.0=9\nMusic0.1=12") + '\0'
                          + "x\nMusic0.2=" + QByteArray(248, '0') + "17\nEX=TRUE\nLOCK=false\nMUTE=-1\n"
                          + KeyLines(Sample()).join("\n") + "\n");
        QVERIFY(imported);
        QCOMPARE(imported->music[0][0], quint8(5));
        QCOMPARE(imported->music[0][1], quint8(12));
        QCOMPARE(imported->music[0][2], quint8(1));
        QVERIFY(imported->exciter && !imported->lock && imported->mute);
        QCOMPARE(prompt.Texts("critical"), QStringList());
    }

    void badFilesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QString model = "您导入的文件不是QSV-416MZ的配置文件。";
        const QString bad = "导入的数据有错误！";
        // A whole file with one line replaced.
        const auto head = [](const QByteArray &line) {
            QList<QByteArray> lines = KeyLines(Sample());
            const QByteArray key = line.left(line.indexOf('=') + 1);
            for (QByteArray &l : lines)
                if (l.startsWith(key))
                    l = line;
            return "[Main]\r\n" + lines.join("\r\n") + "\r\n";
        };
        QTest::newRow("lower-case model") << QByteArray("[Main]\r\nType=qsv-416mz\r\n") << model;
        QTest::newRow("no model key") << QByteArray("[Main]\r\nMusic0.0=1\r\n") << model;
        QTest::newRow("model in another section") << QByteArray("[Other]\r\nType=QSV-416MZ\r\n") << model;
        QTest::newRow("table value 300") << head("Music2.5=300") << bad;
        QTest::newRow("not a number") << head("Mic0.0=abc") << bad;
        QTest::newRow("empty value") << head("Ktv1.7=") << bad;
        QTest::newRow("input source 4") << head("INPUTSELECT=4") << bad;
        QTest::newRow("switch word") << head("EX=yes") << bad;
        QTest::newRow("maximum 81") << head("VOL0.1=81") << bad;
        QTest::newRow("MIC mode 6") << head("VOL1.2=6") << bad;
        QTest::newRow("KTV mode 8") << head("VOL2.2=8") << bad;
    }

    // A part of a file is never taken for a whole one, nor a device or a pipe read.
    void partsOfFilesAreRefused()
    {
        const QByteArray whole = "[Main]\r\n" + KeyLines(Sample()).join("\r\n") + "\r\n";
        const QByteArray quarter = whole.left(whole.indexOf("Music2.10="));  // a backup's first 48 lines
        QCOMPARE(quarter.count("\r\n"), 48);
        QVERIFY(!Import(quarter));
        QCOMPARE(prompt.Texts("critical"), QStringList{"配置文件不完整：" + QDir::toNativeSeparators(PathOf("in.txt"))
                                                       + "\n缺少 Music2.10，未导入任何设置。"});
        QVERIFY(!Import("[Main]\r\nType=QSV-416MZ\r\n"));
        QVERIFY(prompt.Texts("critical").last().endsWith("缺少 Music0.0，未导入任何设置。"));

        const QString fifo = PathOf("pipe");
        QCOMPARE(QProcess::execute("mkfifo", {fifo}), 0);
        QCOMPARE(ReadSettingsFile(fifo).outcome, SettingsFileRead::Outcome::NotAFile);
        QCOMPARE(ReadSettingsFile("/dev/null").outcome, SettingsFileRead::Outcome::NotAFile);
    }

    void badFilesChangeNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QVERIFY(!Import(content));
        QCOMPARE(prompt.Texts("critical"), QStringList{message});
        QCOMPARE(ReadFile("in.txt"), content);
    }

    void importOfNoFileIsSilent()
    {
        state.SettingsPath = "before";
        prompt.fileAnswers.enqueue(PathOf("absent.txt"));
        QVERIFY(!ImportSettingsFile(state, &owner));
        prompt.fileAnswers.enqueue(dir.path());  // a folder is no settings file
        QVERIFY(!ImportSettingsFile(state, &owner));
        QCOMPARE(state.SettingsPath, QString("before"));
        QCOMPARE(prompt.shown.size(), 2);
    }

    void saveKeepsTheRestOfAnExistingFile()
    {
        const QByteArray before = "; hall settings\n[Hall]\nSeats=120\n\n[MAIN]\ntype=old\nOwner = Li\n"
                                  "music0.0=1\n; end of main\n\n[Other]\nX=1";
        WriteFile("keep.txt", before);
        const S saved = Sample();
        prompt.fileAnswers.enqueue(PathOf("keep.txt"));
        QVERIFY(SaveSettingsFile(state, &owner, saved));

        QList<QByteArray> added = KeyLines(saved);
        added.removeFirst();
        const QByteArray music00 = added.takeFirst();
        const QByteArray expected = "; hall settings\n[Hall]\nSeats=120\n\n[MAIN]\ntype=QSV-416MZ\nOwner = Li\n"
            + music00.toLower() + "\n" + added.join("\r\n") + "\r\n; end of main\n\n[Other]\nX=1";
        QCOMPARE(ReadFile("keep.txt"), expected);
    }

    void unicodeFilesKeepTheirEncoding_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QByteArray>("mark");
        QTest::newRow("UTF-16LE") << int(QStringConverter::Utf16LE) << QByteArray("\xFF\xFE");
        QTest::newRow("UTF-16BE") << int(QStringConverter::Utf16BE) << QByteArray("\xFE\xFF");
        QTest::newRow("UTF-8 with mark") << int(QStringConverter::Utf8) << QByteArray("\xEF\xBB\xBF");
    }

    void unicodeFilesKeepTheirEncoding()
    {
        QFETCH(int, encoding);
        QFETCH(QByteArray, mark);
        const auto encoded = [&](const QString &text) {
            QStringEncoder encoder{QStringConverter::Encoding(encoding)};
            return mark + QByteArray(encoder(text));
        };
        const auto decoded = [&](const QByteArray &bytes) {
            QStringDecoder decoder{QStringConverter::Encoding(encoding)};
            return QString(decoder(bytes.mid(mark.size())));
        };
        // As a Windows program writes it, with a section of its own in Chinese.
        const S sample = Sample();
        const QString text = QStringLiteral("[大厅]\r\n名称=一号厅\r\n[Main]\r\n")
            + QString::fromLatin1(KeyLines(sample).join("\r\n")) + QStringLiteral("\r\n");
        const std::optional<S> asciiTwin = Import("[Main]\r\n" + KeyLines(sample).join("\r\n") + "\r\n");
        std::optional<S> imported = Import(encoded(text));
        QVERIFY(imported && asciiTwin);
        QVERIFY(*imported == sample && *imported == *asciiTwin);

        S changed = sample;
        changed.music[2][3] = 99;
        changed.vol[1] = 61;
        prompt.fileAnswers.enqueue(PathOf("in.txt"));
        QVERIFY(SaveSettingsFile(state, &owner, changed));
        const QByteArray stored = ReadFile("in.txt");
        QVERIFY2(stored.startsWith(mark), stored.left(8).toHex().constData());
        QCOMPARE(decoded(stored), QString(text).replace(QStringLiteral("Music2.3=") + QString::number(sample.music[2][3]),
                                                        QStringLiteral("Music2.3=99"))
                                      .replace(QStringLiteral("VOL0.1=") + QString::number(sample.vol[1]),
                                               QStringLiteral("VOL0.1=61")));
        prompt.fileAnswers.enqueue(PathOf("in.txt"));
        imported = ImportSettingsFile(state, &owner);
        QVERIFY(imported && *imported == changed);
        QCOMPARE(prompt.Texts("critical"), QStringList());
    }

    void failedSaveShowsOneMessageAndKeepsTheFile()
    {
        // A folder that does not exist.
        prompt.fileAnswers.enqueue(PathOf("gone/x"));
        QVERIFY(!SaveSettingsFile(state, &owner, Sample()));
        QCOMPARE(prompt.Texts("critical"),
                 QStringList{"无法保存配置文件：" + QDir::toNativeSeparators(PathOf("gone/x.txt"))});
        QVERIFY(!QFile::exists(PathOf("gone")));

        // A full disk, by a file size limit that binds root too.
        const QByteArray before = "[Main]\r\nType=QSV-416MZ\r\n";
        WriteFile("full.txt", before);
        prompt.shown.clear();
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
        prompt.fileAnswers.enqueue(PathOf("full.txt"));
        const bool saved = SaveSettingsFile(state, &owner, Sample());
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!saved);
        QCOMPARE(prompt.Texts("critical").size(), 1);
        QVERIFY(prompt.Texts("critical").first().endsWith(QDir::toNativeSeparators(PathOf("full.txt"))));
        QVERIFY(prompt.Texts("beep").isEmpty());
        QCOMPARE(ReadFile("full.txt"), before);
        QCOMPARE(QDir(PathOf("")).entryList(QStringList{"full.txt*"}, QDir::Files), QStringList{"full.txt"});
    }
};

QTEST_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
