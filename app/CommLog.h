#pragma once

#include <QString>
#include <QtGlobal>

struct AppState;

// Lines of the traffic log; each is appended only while the log window is open.
void LogSentFrame(AppState &state, const quint8 frame[6]);  // 发送: CD,01,00,03,05,00
void LogSyncByte(AppState &state);                           // 发送: FC 同步字
void LogReceivedByte(AppState &state, quint8 byte);          // 接收: 0A

// Writes the log's text to path as UTF-8 with CR LF line ends, in one step: a
// failed save leaves any earlier file as it was.
bool SaveLogText(const QString &path, const QString &text);
