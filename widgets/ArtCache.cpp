#include "ArtCache.h"

#include <QHash>
#include <QPainter>

QPixmap CachedArt(const QString &face, const QSize &size, qreal devicePixelRatio, const ArtPainter &paint)
{
    static QHash<QString, QPixmap> cache;
    const QString key = face + QLatin1Char('@') + QString::number(devicePixelRatio);
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return found.value();

    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        paint(painter);
    }
    cache.insert(key, pixmap);
    return pixmap;
}
