#pragma once

#include "Sessions.h"

#include <optional>

// The state file of the sessions: JSON marked as ours, each session by the SHA-256 of its
// token, readable by the service alone, replaced in one step.
using SessionTable = QHash<QByteArray, Sessions::Session>;

// An absent file holds no sessions; a damaged, oversized or foreign one is nullopt and why.
std::optional<SessionTable> ReadSessionFile(const QString &path, QString *error);
bool WriteSessionFile(const QString &path, const SessionTable &sessions, QString *error);
