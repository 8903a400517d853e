#pragma once

#include "ValueText.h"

// Pixel and value arithmetic of C_ScrollBar, apart from the widget so it can be checked directly.

// Track length in pixels: 69 for the tall slider, 58 for the compact one.
int TrackLength(bool showSize);

// Track length divided by the range, kept in single precision.
float PixelsPerStep(bool showSize, int maxValue);

// Row of the thumb's centre: MaxValue at row 36, 0 at the bottom of the track.
int ThumbRow(int maxValue, int value, float pixelsPerStep);

// Value under pointer row y while dragging, clamped to 0..maxValue.
int ValueAtRow(int maxValue, float pixelsPerStep, int y);

