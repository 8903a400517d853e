#include "SimOptions.h"

namespace {

// Decimal, or hexadecimal with 0x.
std::optional<long> Number(const QString &text)
{
    bool ok = false;
    const long value = text.toLong(&ok, 0);
    return ok ? std::optional<long>(value) : std::nullopt;
}

} // namespace

std::optional<SimOptions> ParseSimOptions(const QStringList &arguments, QString *error)
{
    SimOptions options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &name = arguments.at(i);
        if (name == QLatin1String("--no-heartbeat")) {
            options.heartbeat = false;
            continue;
        }
        if (name == QLatin1String("--line-time")) {
            options.lineTime = true;
            continue;
        }
        if (name == QLatin1String("--log-frames")) {
            options.logFrames = true;
            continue;
        }
        const bool takesValue = name == QLatin1String("--model-code")
            || name == QLatin1String("--silent-after") || name == QLatin1String("--key-answer")
            || name == QLatin1String("--key-reset-every") || name == QLatin1String("--device");
        if (!takesValue) {
            *error = QStringLiteral("unknown option %1").arg(name);
            return std::nullopt;
        }
        if (i + 1 >= arguments.size()) {
            *error = QStringLiteral("%1 needs a value").arg(name);
            return std::nullopt;
        }
        const QString text = arguments.at(++i);
        if (name == QLatin1String("--device")) {
            options.device = text;
            continue;
        }
        const std::optional<long> value = Number(text);
        const bool isByte = name == QLatin1String("--model-code") || name == QLatin1String("--key-answer");
        const long highest = isByte ? 255 : 1L << 30;
        if (!value || *value < 0 || *value > highest) {
            *error = QStringLiteral("%1: bad value %2").arg(name, text);
            return std::nullopt;
        }
        if (name == QLatin1String("--model-code"))
            options.modelCode = static_cast<quint8>(*value);
        else if (name == QLatin1String("--key-answer"))
            options.keyAnswer = static_cast<quint8>(*value);
        else if (name == QLatin1String("--silent-after"))
            options.silentAfter = static_cast<int>(*value);
        else
            options.keyResetEveryMs = static_cast<int>(*value);
    }
    return options;
}

QString SimOptionsUsage()
{
    return QStringLiteral(
        "  --model-code N       answer N to the identification (default 0x6E)\n"
        "  --silent-after N     stop answering after N frames\n"
        "  --no-heartbeat       never answer the heartbeat byte\n"
        "  --key-answer N       byte answered to a music key set (default 0x33)\n"
        "  --key-reset-every MS send the key reset byte 0xFE every MS milliseconds\n"
        "  --line-time          each byte received and sent costs 10/9600 s\n"
        "  --log-frames         log each frame received to stderr\n"
        "  --device PATH        serve PATH (a null-modem cable) instead of a new pseudo-terminal\n");
}
