#pragma once

#include <QString>

// A unit's name becomes a file name (a backup) and a part of a path (the service):
// it must stay inside its folder and be one file's name. Empty when name is fit,
// else why not.
QString UnitNameFault(const QString &name);

// A name derived from a port entry: "tcp://room:4001" gives "room_4001".
QString UnitNameFromEntry(const QString &entry);
