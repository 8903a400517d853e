// Import and save of a settings file whose [Main] section follows 50 MB of
// another section, beside a plain read and write of the same file.

#include "AppState.h"
#include "ScriptedPrompt.h"
#include "SettingsDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QByteArray LargeFile()
{
    QByteArray text = "[Archive]\r\n";
    for (int i = 0; text.size() < 50 * 1000 * 1000; ++i)
        text += "Entry" + QByteArray::number(i) + "=" + QByteArray(40, 'x') + "\r\n";
    text += "[Main]\r\nType=QSV-416MZ\r\n";
    for (const char *table : {"Music", "Mic", "Ktv", "Eff"})
        for (int m = 0; m < 6; ++m)
            for (int k = 0; k < 18; ++k)
                text += table + QByteArray::number(m) + '.' + QByteArray::number(k) + "=5\r\n";
    return text;
}

double Seconds(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("venue.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(LargeFile()) < 0)
            return 1;
    }
    std::printf("file: %.1f MB\n", double(QFile(path).size()) / 1e6);

    QElapsedTimer clock;
    clock.start();
    {
        QFile in(path);
        QSaveFile out(path);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return 1;
        out.write(in.readAll());
        out.commit();
    }
    const double copy = Seconds(clock);

    ScriptedPrompt prompt;
    AppState state(prompt);
    prompt.fileAnswers.enqueue(path);
    clock.restart();
    const std::optional<SettingsSnapshot> imported = ImportSettingsFile(state, nullptr);
    const double import = Seconds(clock);

    prompt.fileAnswers.enqueue(path);
    clock.restart();
    const bool saved = imported && SaveSettingsFile(state, nullptr, *imported);
    const double save = Seconds(clock);
    if (!saved) {
        std::fprintf(stderr, "import or save failed\n");
        return 1;
    }
    std::printf("plain read and write: %.3f s\n", copy);
    std::printf("import: %.3f s (%.2f x the plain read and write)\n", import, import / copy);
    std::printf("save:   %.3f s (%.2f x the plain read and write)\n", save, save / copy);
    return 0;
}
