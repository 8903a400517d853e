#pragma once

#include <QColor>

// Pixel arithmetic of C_ProgressBar.

// Filled width in pixels of a bar w pixels wide at percent.
int ProgressFilled(int width, int percent);

// Colour of gradient column 1 + i on a bar w pixels wide: red at i = 0, blue at i = w - 3.
QColor ProgressGradientColour(int width, int i);
