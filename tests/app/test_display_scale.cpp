#include "Artwork.h"
#include "C_ProgressBar.h"
#include "C_ScrollBar.h"
#include "EditorFixture.h"
#include "Rounding.h"

#include <QtTest>

// Run at QT_SCALE_FACTOR 2 and 1.25: the artwork is painted at the screen's own
// resolution, pixel art on whole device pixels.
class TestDisplayScale : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sliderTicksAndThumbOnWholeDevicePixels();
    void progressBarColumnsMeet();
    void backgroundAndHeaderTextAtScreenResolution();

private:
    qreal ratio = 1;
};

namespace {

const QColor Tick(31, 26, 23);
const QColor Edge(31, 34, 27);

int Device(qreal logical, qreal ratio)
{
    return RoundHalfEven(logical * ratio);
}

// The lengths of the runs of one colour down a column.
QList<int> Runs(const QImage &image, int x, const QColor &colour)
{
    QList<int> runs;
    int length = 0;
    for (int y = 0; y <= image.height(); ++y) {
        if (y < image.height() && image.pixelColor(x, y) == colour) {
            ++length;
        } else if (length > 0) {
            runs << length;
            length = 0;
        }
    }
    return runs;
}

// The colours down a column from row y0, each with the length of its run.
QList<QPair<QRgb, int>> Pattern(const QImage &image, int x, int y0, int y1)
{
    QList<QPair<QRgb, int>> pattern;
    for (int y = y0; y < y1; ++y) {
        const QRgb colour = image.pixel(x, y);
        if (!pattern.isEmpty() && pattern.last().first == colour)
            ++pattern.last().second;
        else
            pattern.append({colour, 1});
    }
    return pattern;
}

QImage Doubled(const QImage &image)
{
    return image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage Pixels(const QPixmap &picture)
{
    return picture.toImage().convertToFormat(QImage::Format_RGB32);
}

QImage AtScaleOne(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    widget->render(&image);
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

void TestDisplayScale::initTestCase()
{
    ratio = qApp->devicePixelRatio();
    QVERIFY2(ratio > 1, "run with QT_SCALE_FACTOR");
}

void TestDisplayScale::sliderTicksAndThumbOnWholeDevicePixels()
{
    // At an odd offset in its window, as on the main window, so that at 1.25 the
    // slider's origin falls between device pixels.
    QWidget host;
    host.resize(120, 130);
    auto *slider = new C_ScrollBar(&host);
    slider->ReadProperties({{"MaxValue", 10}, {"ShowSize", true}});
    slider->move(13, 5);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    const QImage shot = Pixels(host.grab());
    const int column = Device(13 + 40, ratio);
    QList<int> ticks = Runs(shot, column, Tick);
    std::sort(ticks.begin(), ticks.end());
    // The middle major tick lies under the thumb: eight minor ticks and two major ones.
    const int minor = std::max(1, qRound(ratio));
    QCOMPARE(ticks, (QList<int>{minor, minor, minor, minor, minor, minor, minor, minor, qRound(3 * ratio),
                                qRound(3 * ratio)}));

    const auto thumbPattern = [&](int value) {
        slider->SetValue(value);
        const QImage image = Pixels(host.grab());
        const int top = Device(5 + slider->ThumbY() - 5, ratio);
        return Pattern(image, column, top, top + Device(10, ratio));
    };
    const auto middle = thumbPattern(5);
    QCOMPARE(middle.first().first, Edge.rgb());
    QCOMPARE(middle.last().first, Edge.rgb());
    for (int value : {4, 7})
        QCOMPARE(thumbPattern(value), middle);

    if (ratio == 2) {
        // Exactly the scale-one picture doubled: no fringes between the black and the colours.
        slider->SetValue(5);
        const QRect art(34, 28, 36, 72);
        const QImage one = AtScaleOne(slider).copy(art);
        QImage two = Pixels(host.grab()).copy(
            QRect((art.topLeft() + slider->pos()) * 2, art.size() * 2));
        two.setDevicePixelRatio(1);
        QCOMPARE(two, Doubled(one));
    }
}

void TestDisplayScale::progressBarColumnsMeet()
{
    QWidget host;
    host.resize(760, 40);
    auto *bar = new C_ProgressBar(&host);
    bar->move(9, 7);
    bar->SetValue(100);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QImage shot = Pixels(host.grab());
    const int y = Device(7 + 12, ratio);
    const QColor frame(0, 0, 0);
    const QColor picture(224, 224, 224);
    const int left = Device(9, ratio);
    const int thickness = std::max(1, qRound(ratio));
    for (int x = left; x < left + thickness; ++x)
        QCOMPARE(shot.pixelColor(x, y), frame);
    // The columns from the frame to the last one drawn, the next to last of the bar.
    for (int x = left + thickness; x < Device(9 + bar->width() - 2, ratio); ++x) {
        const QColor colour = shot.pixelColor(x, y);
        QVERIFY2(colour != picture && colour != frame, qPrintable(QStringLiteral("gap at device column %1").arg(x)));
    }
}

void TestDisplayScale::backgroundAndHeaderTextAtScreenResolution()
{
    EditorFixture editor;
    MainFrm &w = *editor.window;
    const QImage shot = Pixels(w.grab());
    const QRect title(18, MainFrm_Big.musicRowTop, 44, 19);
    const QRect titleDevice(title.topLeft() * ratio, title.size() * ratio);
    const QImage own = Pixels(BackgroundPicture(MainFrm_Big, ratio));
    QCOMPARE(shot.copy(titleDevice), own.copy(titleDevice));
    if (ratio != 2)
        return;
    const QImage one = Pixels(BackgroundPicture(MainFrm_Big, 1));
    QVERIFY(own.copy(titleDevice) != Doubled(one.copy(title)));

    HeaderStrip *strip = w.Picture1;
    const QImage stripShot = Pixels(strip->grab());
    QCOMPARE(stripShot.size(), strip->size() * 2);
    QVERIFY(stripShot != Doubled(AtScaleOne(strip)));
}

QTEST_MAIN(TestDisplayScale)
#include "test_display_scale.moc"
