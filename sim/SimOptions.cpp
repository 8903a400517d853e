#include "SimOptions.h"

namespace {

// Decimal, or hexadecimal with 0x, from 0 to highest.
std::optional<long> Number(const QCommandLineParser &parser, const QCommandLineOption &option, long highest,
                           QString *error)
{
    const QString text = parser.value(option);
    bool ok = false;
    const long value = text.toLong(&ok, 0);
    if (ok && value >= 0 && value <= highest)
        return value;
    *error = QStringLiteral("--%1: bad value %2").arg(option.names().constFirst(), text);
    return std::nullopt;
}

} // namespace

SimCommandLine::SimCommandLine()
    : modelCode(QStringLiteral("model-code"), QStringLiteral("Answer N to the identification (default 0x6E)."),
                QStringLiteral("N")),
      silentAfter(QStringLiteral("silent-after"), QStringLiteral("Stop answering after N frames."),
                  QStringLiteral("N")),
      noHeartbeat(QStringLiteral("no-heartbeat"), QStringLiteral("Never answer the heartbeat byte.")),
      keyAnswer(QStringLiteral("key-answer"), QStringLiteral("Byte answered to a music key set (default 0x33)."),
                QStringLiteral("N")),
      keyResetEvery(QStringLiteral("key-reset-every"),
                    QStringLiteral("Send the key reset byte 0xFE every MS milliseconds."), QStringLiteral("MS")),
      lineTime(QStringLiteral("line-time"), QStringLiteral("Each byte received and sent costs 10/9600 s.")),
      logFrames(QStringLiteral("log-frames"), QStringLiteral("Log each frame received to standard error.")),
      device(QStringLiteral("device"),
             QStringLiteral("Serve PATH (a null-modem cable) instead of a new pseudo-terminal."),
             QStringLiteral("PATH"))
{
    parser.setApplicationDescription(
        QStringLiteral("A simulated QSV-416MZ processor. Prints the path of its pseudo-terminal on the first "
                       "line of standard output and answers there like the unit, from the factory values.\n"
                       "Numbers are decimal or hexadecimal with 0x."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({modelCode, silentAfter, noHeartbeat, keyAnswer, keyResetEvery, lineTime, logFrames, device});
}

std::optional<SimOptions> SimCommandLine::Parse(const QStringList &arguments, QString *error)
{
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().constFirst());
        return std::nullopt;
    }
    SimOptions options;
    options.heartbeat = !parser.isSet(noHeartbeat);
    options.lineTime = parser.isSet(lineTime);
    options.logFrames = parser.isSet(logFrames);
    options.device = parser.value(device);
    const long most = 1L << 30;
    const std::pair<const QCommandLineOption *, long> numbers[] = {
        {&modelCode, 255}, {&keyAnswer, 255}, {&silentAfter, most}, {&keyResetEvery, most}};
    for (const auto &[option, highest] : numbers) {
        if (!parser.isSet(*option))
            continue;
        const std::optional<long> value = Number(parser, *option, highest, error);
        if (!value)
            return std::nullopt;
        if (option == &modelCode)
            options.modelCode = static_cast<quint8>(*value);
        else if (option == &keyAnswer)
            options.keyAnswer = static_cast<quint8>(*value);
        else if (option == &silentAfter)
            options.silentAfter = static_cast<int>(*value);
        else
            options.keyResetEveryMs = static_cast<int>(*value);
    }
    return options;
}

std::optional<SimOptions> ParseSimOptions(const QStringList &arguments, QString *error)
{
    SimCommandLine line;
    return line.Parse(QStringList{QStringLiteral("quorin-sim")} + arguments, error);
}
