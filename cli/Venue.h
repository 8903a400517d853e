#pragma once

#include "NamedSettings.h"
#include "UnitCommands.h"

#include <QList>
#include <QString>
#include <atomic>
#include <functional>

class UnitSession;

// Exit statuses of quorinctl.
enum ExitStatus { AllWell = 0, DifferencesFound = 1, BadUsage = 2, UnitFailed = 3, FileFailed = 4 };

struct Unit
{
    QString name;    // for file names and listings
    QString entry;   // the port entry
    QString origin;  // where it was named: "FILE:LINE", or empty for the command line
};

struct UnitResult
{
    explicit UnitResult(Unit unit = {}) : unit(std::move(unit)) {}

    Unit unit;
    int status = AllWell;
    QString result;   // a word: "ok", "differs", "failed", ...
    QString code;     // why it failed, stable, for --json: "busy", "lost", ...; else the result
    QString message;  // why, when it failed
    double seconds = 0;
    int model = -1;
    QString file;
    // Differences, "first" the file or the first side, "second" the unit.
    QList<SettingDifference> differences;
    // What the unit holds, when the command read it all.
    SettingsSnapshot settings;
    // Settings read or set by get and set, with their values (a volume as held at its maximum).
    QList<std::pair<AnySetting, quint8>> values;
};

// What one unit does, on its own thread with its own session.
using UnitJob = std::function<void(UnitSession &session, UnitResult &result)>;

// Runs the job for every unit at once, each on its own thread, and waits for all.
// Progress goes to standard error, a line per unit redrawn in place, when it is a
// terminal. The first Ctrl+C (or SIGTERM, SIGHUP) asks every unit to stop after its
// current frame; a second returns at once, the units still busy called stopped.
QList<UnitResult> RunUnits(const QList<Unit> &units, const UnitJob &job);
// A second interrupt came: after its report the program must end at once, with _exit.
bool InterruptedTwice();

// Units from a file: one per line, "NAME ENTRY" or just "ENTRY"; blank lines
// and lines starting with "#" skipped. Nothing, with the reason, when unreadable
// or when a name is unfit for a file name.
std::optional<QList<Unit>> ReadUnitsFile(const QString &path, QString *error);
// A unit named after its entry, fit for a file name.
Unit UnitFromEntry(const QString &entry);
// Why the units cannot all be told apart by name (two would share a backup file), or empty.
QString RepeatedUnitName(const QList<Unit> &units);
