#pragma once

#include <QtGlobal>

struct ProgramState;

// Lines of the traffic log; each is appended only while the log window is open.
void LogSentFrame(ProgramState &state, const quint8 frame[6]);  // 发送: CD,01,00,03,05,00
void LogSyncByte(ProgramState &state);                           // 发送: FC 同步字
void LogReceivedByte(ProgramState &state, quint8 byte);          // 接收: 0A
