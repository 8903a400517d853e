#pragma once

#include <QCursor>

// The shared 32 x 32 monochrome pointing hand, hot spot at (5, 0).
const QCursor &HandCursor();
