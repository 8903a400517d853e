#pragma once

#include <QString>
#include <QStringList>

class LiveConfigStore;
class QObject;

// On SIGHUP the reloadable part of the configuration at path is read again and replaces
// the one in force; a file with a fault keeps the one in force and says why on standard
// error. The units, [service] and [mqtt] change at a restart only.
void ReloadOnHangup(const QString &path, const QStringList &units, LiveConfigStore &store, QObject *owner);
