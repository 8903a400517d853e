#include "ValueText.h"

#include <algorithm>
#include <array>

namespace {

const std::array<const char *, 16> DelayTable = {
    "12ms", "24ms", "36ms", "49ms", "61ms", "73ms", "86ms", "98ms",
    "110ms", "122ms", "135ms", "147ms", "159ms", "172ms", "184ms", "196ms"};

const std::array<const char *, 7> OutputLimitTable = {
    "OFF", "0.775V", "1V", "1.2V", "1.5V", "1.75V", "2V"};

template <std::size_t N>
QString TableEntry(const std::array<const char *, N> &table, int index)
{
    // Out-of-table values show the nearest end rather than reading past the table.
    const int clamped = std::clamp(index, 0, static_cast<int>(N) - 1);
    return QString::fromLatin1(table[static_cast<std::size_t>(clamped)]);
}

} // namespace

bool FormatValueTipText(int valueTipType, int v, QString *text)
{
    switch (valueTipType) {
    case 0:
        *text = QString::number(v);
        return true;
    case 1:
        *text = TableEntry(DelayTable, v);
        return true;
    case 2:
        *text = QString::number(v / 10.0, 'f', 1) + QLatin1Char('s');
        return true;
    case 3:
        *text = QString::number(v) + QStringLiteral("ms");
        return true;
    case 4:
        *text = QString::number(3 * v) + QStringLiteral("ms");
        return true;
    case 5:
        *text = QString::number(v) + QStringLiteral("dB");
        return true;
    case 6:
        if (v == 10)
            *text = QStringLiteral("0dB");
        else if (v < 10)
            *text = QString::number(v - 10) + QStringLiteral("dB");
        else
            *text = QLatin1Char('+') + QString::number(v - 10) + QStringLiteral("dB");
        return true;
    case 8:
        *text = QString::number(10 * v + 20) + QStringLiteral("Hz");
        return true;
    case 9:
        *text = TableEntry(OutputLimitTable, v);
        return true;
    default:
        return false;
    }
}

QString ChannelModeName(int channel, int value)
{
    if (channel == 0)
        return QStringLiteral("MUS%1").arg(value + 1);
    if (channel == 1)
        return QStringLiteral("MIC%1").arg(value + 1);
    return value < 4 ? QStringLiteral("KTV%1").arg(value + 1) : QStringLiteral("EFF%1").arg(value - 3);
}

QString SimplifiedText(const QString &text)
{
    return text.simplified().toLower();
}

std::optional<quint8> ParseShownValue(const QString &text, const QList<quint8> &values,
                                      const std::function<QString(quint8)> &shown)
{
    const QString wanted = SimplifiedText(text);
    bool isNumber = false;
    const int number = wanted.toInt(&isNumber, 10);
    if (isNumber && !wanted.startsWith(QLatin1Char('+')) && !wanted.startsWith(QLatin1Char('-')))
        return number >= 0 && number <= 255 && values.contains(quint8(number)) ? std::optional<quint8>(quint8(number))
                                                                               : std::nullopt;
    for (quint8 v : values)
        if (SimplifiedText(shown(v)) == wanted)
            return v;
    return std::nullopt;
}
