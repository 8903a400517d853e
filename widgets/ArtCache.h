#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

class QPainter;

// Artwork is painted once per face and device-pixel ratio and kept for the program's life.
using ArtPainter = std::function<void(QPainter &painter)>;

QPixmap CachedArt(const QString &face, const QSize &size, qreal devicePixelRatio, const ArtPainter &paint);
