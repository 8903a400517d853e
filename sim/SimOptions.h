#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <optional>

// How the simulated processor behaves; the same options drive tests, demos and benchmarks.
struct SimOptions
{
    quint8 modelCode = 0x6E;      // answered to the identification
    int silentAfter = -1;         // stop answering after this many frames; -1 never
    bool heartbeat = true;        // answer 0xFC with 0xFC
    quint8 keyAnswer = 0x33;      // answered to a music key set
    int keyResetEveryMs = 0;      // send 0xFE this often; 0 never
    bool lineTime = false;        // each byte received and sent costs 10/9600 s
    bool logFrames = false;       // each frame received to stderr
    QString device;               // serve this device instead of a new pseudo-terminal
    // An upload frame (block, selector, address) acknowledged but not stored, as a faulty unit
    // would: for tests of the verification. Sets still store.
    std::optional<std::array<quint8, 3>> ignoredUpload;
};

// quorin-sim's command line: the options above, --help and --version.
class SimCommandLine
{
public:
    SimCommandLine();

    // arguments begin with the program name. On a bad option returns nothing and
    // puts the reason into *error.
    std::optional<SimOptions> Parse(const QStringList &arguments, QString *error);

    QCommandLineParser parser;

private:
    const QCommandLineOption modelCode, silentAfter, noHeartbeat, keyAnswer, keyResetEvery, lineTime,
        logFrames, device;
};

// The same without the program name, for code that builds a simulator from a list.
std::optional<SimOptions> ParseSimOptions(const QStringList &arguments, QString *error);
