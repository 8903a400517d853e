#include "PortClaim.h"
#include "PortEntry.h"
#include "RS232Port.h"
#include "Outcomes.h"
#include "Report.h"
#include "NamedValue.h"
#include "UnitCommands.h"
#include "SettingsFile.h"
#include "UnitSession.h"
#include "Venue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

struct Command
{
    const char *name;
    const char *usage;
    const char *summary;
};

const Command Commands[] = {
    {"probe", "probe [UNIT...]", "Which units answer the identification, with their model code; no unit: COM1 to COM12."},
    {"backup", "backup UNIT FILE | backup --out DIR UNIT...",
     "Reads every setting and writes it as a settings file, as the editor saves it after a read (DIR/NAME.txt)."},
    {"restore", "restore FILE UNIT...",
     "Checks the file as the editor's import does, uploads it, then reads back and compares (unless --no-verify)."},
    {"verify", "verify FILE UNIT...", "Reads the units and lists every setting that differs from the file."},
    {"diff", "diff A B", "Every setting that differs between A and B, each a settings file or a unit."},
    {"get", "get UNIT NAME...", "Reads single settings by name, such as \"MUSIC3 57Hz\" or \"MIC max\"."},
    {"set", "set UNIT NAME=VALUE...",
     "Sets single settings as the editor's live edits do; VALUE is a raw number or as shown (\"+3dB\", \"AUX\")."},
};

const char *Description =
    "Back up, restore, verify and compare QSV-416MZ processors, one or a whole venue at once.\n\n"
    "A UNIT is a port entry: a device path, COM1 to COM12 as the editor counts the serial devices, "
    "tcp://HOST:PORT or rfc2217://HOST:PORT. --units FILE stands for the units: one per line, \"NAME UNIT\" "
    "or \"UNIT\". Several units run at once, each on its own line.\n\nCommands:\n%1\n"
    "Exit status: 0 all well, 1 differences found, 2 bad usage, 3 a unit did not answer or was lost "
    "(or Ctrl+C stopped it), 4 a file could not be read or written, or is no whole settings file (nothing sent).";

const Command *FindCommand(const QString &name)
{
    for (const Command &c : Commands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

int Usage(const QString &text)
{
    WriteErrorLine(QStringLiteral("quorinctl: ") + text);
    return BadUsage;
}

std::optional<QList<Unit>> TakeUnits(const QStringList &entries, const QString &unitsFile, QString *error)
{
    QList<Unit> units;
    if (!unitsFile.isEmpty()) {
        const std::optional<QList<Unit>> listed = ReadUnitsFile(unitsFile, error);
        if (!listed)
            return std::nullopt;
        units = *listed;
    }
    for (const QString &entry : entries)
        units.append(UnitFromEntry(entry));
    for (const Unit &unit : std::as_const(units)) {
        if (ComPortNumber(unit.entry) == 0 && !ParsePortEntry(unit.entry, error))
            return std::nullopt;
    }
    *error = RepeatedUnitName(units);
    if (!error->isEmpty())
        return std::nullopt;
    return units;
}

struct Options
{
    bool json = false;
    bool verify = true;
    QString unitsFile;
    QString outDir;
};

// Why a settings file is refused: a stable code for --json and the words.
std::pair<const char *, QString> FileFault(const SettingsFileRead &read)
{
    switch (read.outcome) {
    case SettingsFileRead::Outcome::Read:
    case SettingsFileRead::Outcome::Unreadable:
        break;
    case SettingsFileRead::Outcome::NotAFile:
        return {"not-a-file", QStringLiteral("is not a regular file (a device, a pipe or a folder); give a settings file")};
    case SettingsFileRead::Outcome::WrongModel:
        return {"wrong-model-file", QStringLiteral("is not a settings file of the QSV-416MZ")};
    case SettingsFileRead::Outcome::Incomplete:
        return {"incomplete-file", QStringLiteral("is not a whole settings file: it lacks %1 (a file must hold all 212 "
                                                  "settings); nothing was sent")
                                       .arg(QString::fromLatin1(read.missingKey))};
    case SettingsFileRead::Outcome::BadValue:
        return {"bad-value-file", QStringLiteral("holds a value that is not a number or is out of range")};
    }
    return {"unreadable-file", QStringLiteral("cannot be read")};
}

// The settings file at path, or nothing with the reason told on standard error (and, with
// --json, as a report whose units all failed for it).
std::optional<SettingsSnapshot> LoadFile(const QString &path, const QString &command, const QList<Unit> &units, bool json)
{
    const SettingsFileRead read = ReadSettingsFile(path);
    if (read.outcome == SettingsFileRead::Outcome::Read)
        return read.settings;
    const auto [code, why] = FileFault(read);
    WriteErrorLine(QStringLiteral("quorinctl: %1: %2").arg(path, why));
    if (json) {
        QList<UnitResult> results;
        for (const Unit &unit : units) {
            UnitResult r(unit);
            r.status = FileFailed;
            r.result = QStringLiteral("failed");
            r.code = QLatin1String(code);
            r.message = QStringLiteral("%1 %2").arg(path, why);
            r.file = path;
            results.append(r);
        }
        PrintReport(command, results, true, QStringLiteral("file"), QStringLiteral("unit"));
    }
    return std::nullopt;
}

// What a setting takes, for a person who gave it something else.
QString ValueHint(const AnySetting &setting)
{
    if (setting.stored) {
        const quint8 highest = quint8(setting.stored->Highest());
        return QStringLiteral("0 to %1, or as shown, such as \"%2\"").arg(highest).arg(setting.Shown(highest));
    }
    if (setting.live->Group() == LiveSetting::Kind::Volume)
        return QStringLiteral("0 to %1").arg(HighestVolume);
    QStringList shown;
    for (quint8 v : setting.live->Values())
        shown << setting.Shown(v);
    return shown.join(QStringLiteral(", "));
}

void Compared(const QList<SettingDifference> &differences, UnitResult &result)
{
    result.differences = differences;
    result.status = result.differences.isEmpty() ? AllWell : DifferencesFound;
    result.result = result.differences.isEmpty() ? QStringLiteral("ok") : QStringLiteral("differs");
}

int Run(const QString &command, QStringList args, const Options &options)
{
    QString error;
    const auto units = [&](const QStringList &entries) { return TakeUnits(entries, options.unitsFile, &error); };
    QString firstSide = QStringLiteral("file"), secondSide = QStringLiteral("unit");
    QList<UnitResult> results;

    if (command == QLatin1String("probe")) {
        const bool search = args.isEmpty() && options.unitsFile.isEmpty();
        if (search)
            for (int n = 1; n <= 12; ++n)
                args << QStringLiteral("COM%1").arg(n);
        const auto list = units(args);
        if (!list)
            return Usage(error);
        results = RunUnits(*list, [](UnitSession &, UnitResult &r) { r.result = QStringLiteral("ok"); });
        if (search) {
            // Ports that do not exist are no news when searching.
            results.erase(std::remove_if(results.begin(), results.end(), [](const UnitResult &r) {
                return r.code == QLatin1String("missing") || r.code == QLatin1String("not-allowed")
                    || r.code == QLatin1String("busy");
            }), results.end());
            if (results.isEmpty()) {
                UnitResult none({QStringLiteral("COM1-COM12"), QString(), QString()});
                none.status = UnitFailed;
                none.result = QStringLiteral("failed");
                none.code = QStringLiteral("missing");
                none.message = QStringLiteral("no port could be opened");
                results.append(none);
            }
        }
    } else if (command == QLatin1String("backup")) {
        if (options.outDir.isEmpty() && (args.size() != 2 || !options.unitsFile.isEmpty()))
            return Usage(QStringLiteral("backup UNIT FILE, or backup --out DIR UNIT..."));
        const QString file = options.outDir.isEmpty() ? args.takeLast() : QString();
        const auto list = units(args);
        if (!list || list->isEmpty())
            return Usage(list ? QStringLiteral("no unit given") : error);
        if (!options.outDir.isEmpty() && !QDir().mkpath(options.outDir)) {
            WriteErrorLine(QStringLiteral("quorinctl: cannot create %1").arg(options.outDir));
            return FileFailed;
        }
        results = RunUnits(*list, [&](UnitSession &session, UnitResult &r) {
            SettingsSnapshot settings;
            if (!Took(r, session.Read(settings).outcome, false))
                return;
            r.file = file.isEmpty() ? QDir(options.outDir).filePath(r.unit.name + QStringLiteral(".txt")) : file;
            const bool written = WriteSettingsFile(r.file, settings, false);
            r.status = written ? AllWell : FileFailed;
            r.result = written ? QStringLiteral("ok") : QStringLiteral("failed");
            if (!written) {
                r.code = QStringLiteral("file-unwritable");
                r.message = QStringLiteral("cannot write %1").arg(r.file);
            }
        });
    } else if (command == QLatin1String("restore") || command == QLatin1String("verify")) {
        if (args.isEmpty())
            return Usage(command + QStringLiteral(" FILE UNIT..."));
        const QString path = args.takeFirst();
        const auto list = units(args);
        if (!list || list->isEmpty())
            return Usage(list ? QStringLiteral("no unit given") : error);
        const std::optional<SettingsSnapshot> settings = LoadFile(path, command, *list, options.json);
        if (!settings)
            return FileFailed;
        const bool upload = command == QLatin1String("restore");
        results = RunUnits(*list, [&](UnitSession &session, UnitResult &r) {
            r.file = path;
            if (upload && !options.verify) {
                if (Took(r, session.Upload(*settings), true))
                    r.result = QStringLiteral("ok");
                return;
            }
            if (upload) {
                const VerifiedUpload verified = session.UploadAndVerify(*settings);
                if (Took(r, verified.upload, true) && Took(r, verified.read.outcome, false))
                    Compared(verified.differences, r);
                return;
            }
            SettingsSnapshot held;
            if (Took(r, session.Read(held).outcome, false))
                Compared(CompareSettings(*settings, held), r);
        });
    } else if (command == QLatin1String("diff")) {
        if (args.size() != 2 || !options.unitsFile.isEmpty())
            return Usage(QStringLiteral("diff A B"));
        firstSide = args[0];
        secondSide = args[1];
        SettingsSnapshot sides[2];
        QList<Unit> toRead;
        QList<int> unitSides;
        for (int i = 0; i < 2; ++i) {
            if (QFileInfo(args[i]).isFile()) {
                const std::optional<SettingsSnapshot> file = LoadFile(args[i], command, {}, options.json);
                if (!file)
                    return FileFailed;
                sides[i] = *file;
                continue;
            }
            const auto list = TakeUnits({args[i]}, QString(), &error);
            if (!list)
                return Usage(error);
            toRead.append(list->first());
            unitSides.append(i);
        }
        const QList<UnitResult> reads = RunUnits(toRead, [](UnitSession &session, UnitResult &r) {
            if (Took(r, session.Read(r.settings).outcome, false))
                r.result = QStringLiteral("ok");
        });
        if (RunStatus(reads) != AllWell) {
            PrintReport(command, reads, options.json, firstSide, secondSide);
            return RunStatus(reads);
        }
        for (int k = 0; k < reads.size(); ++k)
            sides[unitSides[k]] = reads[k].settings;
        UnitResult compared({QStringLiteral("diff"), args.join(QLatin1Char(' ')), QString()});
        for (const UnitResult &r : reads)
            compared.seconds = std::max(compared.seconds, r.seconds);
        compared.differences = CompareSettings(sides[0], sides[1]);
        compared.status = compared.differences.isEmpty() ? AllWell : DifferencesFound;
        compared.result = compared.differences.isEmpty() ? QStringLiteral("same") : QStringLiteral("differs");
        results.append(compared);
    } else if (command == QLatin1String("get") || command == QLatin1String("set")) {
        const bool set = command == QLatin1String("set");
        QStringList entries;
        if (options.unitsFile.isEmpty() && !args.isEmpty())
            entries << args.takeFirst();
        if (args.isEmpty())
            return Usage(set ? QStringLiteral("set UNIT NAME=VALUE...") : QStringLiteral("get UNIT NAME..."));
        // Every name and value is checked before anything is sent.
        QList<std::pair<AnySetting, quint8>> wanted;
        for (const QString &arg : std::as_const(args)) {
            if (set) {
                const NamedValue read = ReadNamedValue(arg);
                if (read.fault == NamedValue::Fault::NoEquals)
                    return Usage(QStringLiteral("\"%1\": NAME=VALUE expected").arg(arg));
                if (read.fault == NamedValue::Fault::NoSuchName)
                    return Usage(QStringLiteral("no setting is named \"%1\"").arg(read.name));
                if (read.fault == NamedValue::Fault::NoSuchValue)
                    return Usage(QStringLiteral("\"%1\" is no value of %2 (%3)").arg(read.text, read.setting.Name(),
                                                                                   ValueHint(read.setting)));
                wanted.append({read.setting, read.value});
            } else {
                const AnySetting setting = FindAnySetting(arg);
                if (!setting)
                    return Usage(QStringLiteral("no setting is named \"%1\"").arg(arg));
                if (!setting.Readable())
                    return Usage(QStringLiteral("%1 cannot be read back from the unit; it can only be set").arg(setting.Name()));
                wanted.append({setting, 0});
            }
        }
        const auto list = units(entries);
        if (!list || list->isEmpty())
            return Usage(list ? QStringLiteral("no unit given") : error);
        results = RunUnits(*list, [&](UnitSession &session, UnitResult &r) {
            for (auto [setting, value] : wanted) {
                if (set) {
                    const SetResult done = session.Set(setting, value);
                    if (!Took(r, done.outcome))
                        return;
                    value = done.applied;
                } else if (!Took(r, session.Get(setting, value))) {
                    return;
                }
                r.values.append({setting, value});
            }
            r.result = QStringLiteral("ok");
        });
    } else {
        return Usage(QStringLiteral("unknown command \"%1\"; see quorinctl --help").arg(command));
    }
    PrintReport(command, results, options.json, firstSide, secondSide);
    return RunStatus(results);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorinctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORIN_VERSION));

    QString commandList;
    for (const Command &c : Commands)
        commandList += QStringLiteral("  %1\n      %2\n").arg(QLatin1String(c.usage), QLatin1String(c.summary));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description).arg(commandList));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print one JSON document with every result."));
    const QCommandLineOption noVerify(QStringLiteral("no-verify"), QStringLiteral("restore: skip the read-back."));
    const QCommandLineOption unitsFile(QStringLiteral("units"), QStringLiteral("Take the units from FILE."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption outDir(QStringLiteral("out"), QStringLiteral("backup: one file per unit, DIR/NAME.txt."),
                                    QStringLiteral("DIR"));
    parser.addOptions({json, noVerify, unitsFile, outDir});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do; see the list above."));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The command's units, files, names."),
                                 QStringLiteral("[arguments...]"));
    if (!parser.parse(app.arguments()))
        return Usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(AllWell);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return Usage(QStringLiteral("no command given; see quorinctl --help"));
    const QString command = args.takeFirst();
    if (command == QLatin1String("help")) {
        const Command *c = args.isEmpty() ? nullptr : FindCommand(args.first());
        if (!c)
            parser.showHelp(args.isEmpty() ? AllWell : BadUsage);
        std::printf("quorinctl %s\n  %s\n", c->usage, c->summary);
        return AllWell;
    }
    const Options options{parser.isSet(json), !parser.isSet(noVerify), parser.value(unitsFile), parser.value(outDir)};
    const int status = Run(command, args, options);
    if (InterruptedTwice()) {
        // Units still waiting for a reply are left behind rather than awaited, their ports let go.
        PortClaim::LetGoOfAll();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(status);
    }
    return status;
}
