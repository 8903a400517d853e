#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// How a value is shown to the user, by the format number of its parameter: the
// slider's value box in the editor, and the command-line tool's listings.
// Returns false where the format shows nothing.
bool FormatValueTipText(int valueTipType, int value, QString *text);

// The power-on mode of channel 0 (MUS), 1 (MIC) or 2 (KTV) as the limits panel
// shows it: MUS1..MUS6, MIC1..MIC6, KTV1..KTV4 then EFF1..EFF4.
QString ChannelModeName(int channel, int value);

// Names and texts as a person types them: letter case and repeated blanks do not count.
QString SimplifiedText(const QString &text);

// A raw number among values (no sign), or the value whose shown text is text; nothing else.
std::optional<quint8> ParseShownValue(const QString &text, const QList<quint8> &values,
                                      const std::function<QString(quint8)> &shown);
