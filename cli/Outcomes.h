#pragma once

#include "BulkTransfer.h"
#include "Identify.h"
#include "UnitCommands.h"
#include "Venue.h"

#include <QString>

// quorinctl's words for how a unit's work ended, with the stable code that --json
// carries. Each returns true when the step went well; otherwise the failure is
// recorded in result and the job stops there.
bool Took(UnitResult &result, const OpenResult &opened);
bool Took(UnitResult &result, TransferOutcome outcome, bool upload);
// A single get or set.
bool Took(UnitResult &result, CommandOutcome outcome);

// One line on standard error, whole even when units write at once.
void WriteErrorLine(const QString &line);
