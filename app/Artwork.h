#pragma once

#include <QRect>
#include <array>
#include <QPixmap>

struct LayoutGeometry;

// The main window's background for one layout: panel frames, panel titles
// and row captions, painted once per device-pixel ratio and kept.
const QPixmap &BackgroundPicture(const LayoutGeometry &geometry, qreal devicePixelRatio);

// The frames of the music, microphone and effect panels, top to bottom.
std::array<QRect, 3> PanelFrames(const LayoutGeometry &geometry);
