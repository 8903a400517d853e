#pragma once

#include "Venue.h"

// The outcome of a run: readable text on standard output by default, one JSON document with --json.
// A difference's two values belong to firstSide and secondSide ("file" and "unit", or diff's A and B);
// JSON calls them "first" and "second" and names the sides at the top.
void PrintReport(const QString &command, const QList<UnitResult> &results, bool json, const QString &firstSide,
                 const QString &secondSide);
// The run's exit status: the worst of its units.
int RunStatus(const QList<UnitResult> &results);
