#pragma once

#include <QList>
#include <QRect>
#include <array>
#include <QPixmap>
#include <QStringList>

struct LayoutGeometry;

// The main window's background for one layout: panel frames, panel titles
// and row captions, painted once and kept.
const QPixmap &BackgroundPicture(const LayoutGeometry &geometry);

// The frames of the music, microphone and effect panels, top to bottom.
std::array<QRect, 3> PanelFrames(const LayoutGeometry &geometry);

// A header strip: each caption centred on its column (x in the strip's pixels).
QPixmap HeaderStrip(QSize size, const QStringList &captions, const QList<int> &centres);
