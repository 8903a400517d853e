#include "MainFrmLayout.h"

#include "ParameterDefinitions.h"

#include <QStringList>
#include <cmath>

namespace {

// The groove of a slider runs down this column of the widget; headers centre on it.
constexpr int SliderGrooveX = 52;
constexpr int TallSliderHeight = 111;
constexpr int CompactSliderHeight = 100;

constexpr int MusicEqWidth = 82;
constexpr int MusicAuxWidth = 76;
constexpr int MicWidth = 73;
constexpr int KtvWidth = 84;
// The EFF columns stand 66.7 pixels apart; each slider draws within 70.
constexpr int EffWidth = 70;

constexpr QSize PictureSizes[5] = {{619, 15}, {595, 16}, {644, 13}, {656, 14}, {660, 16}};

// Left edge of the lists, page options and row buttons, beside the painted titles.
constexpr int ListLeft = 64;
constexpr int RowButtonsLeft = 76;

QString Text(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

WidgetProperties SliderProps(const ParamDef &def, bool showSize)
{
    return {
        {QStringLiteral("MaxValue"), def.maxValue},
        {QStringLiteral("Title"), Text(def.caption)},
        {QStringLiteral("ValueTip"), QString()},
        {QStringLiteral("Text1"), Text(def.text1)},
        {QStringLiteral("Text2"), Text(def.text2)},
        {QStringLiteral("Text3"), Text(def.text3)},
        {QStringLiteral("ShowSize"), showSize},
        {QStringLiteral("TitleVisible"), true},
        {QStringLiteral("ValueTipType"), def.format},
        {QStringLiteral("Tag"), QString::number(def.address)},
    };
}

// A header strip over a row of slider columns, centred on them; the strip
// carries each caption at its column's centre.
ControlPlacement HeaderSpec(int pictureNumber, int top, const QStringList &captions,
                       const QList<int> &columnCentres)
{
    const QSize size = PictureSizes[pictureNumber - 1];
    const int middle = (columnCentres.first() + columnCentres.last()) / 2;
    const QRect rect(middle - size.width() / 2, top, size.width(), size.height());
    QVariantList centres;
    for (int x : columnCentres)
        centres << x - rect.left();
    return {QStringLiteral("Picture%1").arg(pictureNumber), -1, ControlPlacement::Window, rect,
            {{QStringLiteral("Captions"), captions}, {QStringLiteral("Centres"), centres}}};
}

// defs holds the parameters of the whole table; the row shows count of them from firstIndex.
void AddSliderRow(QList<ControlPlacement> &specs, QStringList &captions, QList<int> &centres,
                  const QString &name, const ParamDef *defs, int count, int firstIndex,
                  ControlPlacement::Container container, int originX, int top, int width,
                  int (*left)(int), bool showSize)
{
    const int height = showSize ? TallSliderHeight : CompactSliderHeight;
    for (int k = firstIndex; k < firstIndex + count; ++k) {
        const ParamDef &def = defs[k];
        specs.append({name, k, container, QRect(left(k), top, width, height),
                      SliderProps(def, showSize)});
        captions << Text(def.caption);
        centres << originX + left(k) + SliderGrooveX;
    }
}

} // namespace

QString ControlKey(const QString &name, int index)
{
    return index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(index);
}

QString ControlPlacement::Key() const
{
    return ControlKey(name, index);
}

int TwipsToPixels(int twips)
{
    return static_cast<int>(std::nearbyint(twips / 15.0));
}

int MusicEqSliderLeft(int index) { return TwipsToPixels(1230 * index); }
int MusicAuxSliderLeft(int index) { return TwipsToPixels(1000 + 1140 * (index - 8)); }
int MicSliderLeft(int index) { return TwipsToPixels(380 + 1100 * index); }
int KtvSliderLeft(int index) { return TwipsToPixels(1260 * index); }
int EffSliderLeft(int index) { return TwipsToPixels(1000 * index); }

QList<ControlPlacement> DescribeMainFrm(const LayoutGeometry &g)
{
    QList<ControlPlacement> specs;
    const bool tall = g.slidersShowSize;
    const int frameTop = TwipsToPixels(g.frameSliderTopTwips);
    const int micTop = TwipsToPixels(g.micRowTopTwips);
    const auto window = ControlPlacement::Window;

    specs.append({QStringLiteral("Frame1"), -1, window, g.frame1, {}});
    specs.append({QStringLiteral("Frame2"), -1, window, g.frame2, {}});

    // Music panel: list, page options, the two pages of sliders and the switches.
    const WidgetProperties listProps{{QStringLiteral("ShowSize"), g.listsShowSize}};
    specs.append({QStringLiteral("C_ComboBox1"), -1, window,
                  QRect(ListLeft, g.musicRowTop, 70, g.listsShowSize ? 16 : 19), listProps});
    const char *pageCaptions[2] = {"均衡", "辅助"};
    for (int i = 0; i < 2; ++i)
        specs.append({QStringLiteral("C_Option1"), i, window,
                      QRect(150 + 72 * i, g.musicRowTop + 1, 66, 17),
                      {{QStringLiteral("Caption"), QString::fromUtf8(pageCaptions[i])},
                       {QStringLiteral("Value"), i == 0}}});

    QStringList eqCaptions, auxCaptions, micCaptions, ktvCaptions, effCaptions;
    QList<int> eqCentres, auxCentres, micCentres, ktvCentres, effCentres;
    const QString musicSlider = QStringLiteral("C_ScrollBar7");
    AddSliderRow(specs, eqCaptions, eqCentres, musicSlider, MusicParams, 8, 0, ControlPlacement::Frame1,
                 g.frame1.left(), frameTop, MusicEqWidth, MusicEqSliderLeft, tall);
    AddSliderRow(specs, auxCaptions, auxCentres, musicSlider, MusicParams, 8, 8,
                 ControlPlacement::Frame1, g.frame1.left(), frameTop, MusicAuxWidth, MusicAuxSliderLeft,
                 tall);
    specs.append({QStringLiteral("Label3"), -1, ControlPlacement::Frame1,
                  QRect(TwipsToPixels(200), TwipsToPixels(250), 54, 13),
                  {{QStringLiteral("Caption"), Text(MusicParams[16].caption)}}});
    specs.append({QStringLiteral("C_FlagBar2"), -1, ControlPlacement::Frame1,
                  QRect(TwipsToPixels(300), TwipsToPixels(450), 56, 23),
                  {{QStringLiteral("ButtonStyle"), 0},
                   {QStringLiteral("ValueInvert"), true},
                   {QStringLiteral("Tag"), QString::number(MusicParams[16].address)}}});
    specs.append({QStringLiteral("Label6"), -1, ControlPlacement::Frame1,
                  QRect(TwipsToPixels(200), TwipsToPixels(950), 54, 13),
                  {{QStringLiteral("Caption"), Text(MusicParams[17].caption)}}});
    specs.append({QStringLiteral("C_FlagBar3"), -1, ControlPlacement::Frame1,
                  QRect(TwipsToPixels(300), TwipsToPixels(1150), 56, 23),
                  {{QStringLiteral("ButtonStyle"), 0},
                   {QStringLiteral("ValueInvert"), false},
                   {QStringLiteral("Tag"), QString::number(MusicParams[17].address)}}});

    // Microphone panel: the sliders stand on the window itself.
    specs.append({QStringLiteral("C_ComboBox2"), -1, window,
                  QRect(ListLeft, g.micRowTop, 70, g.listsShowSize ? 16 : 19), listProps});
    AddSliderRow(specs, micCaptions, micCentres, QStringLiteral("C_ScrollBar1"), MicParams,
                 MicParamCount, 0, window, 0, micTop, MicWidth, MicSliderLeft, tall);

    // Effect panel: the KTV and the EFF page share Frame2.
    specs.append({QStringLiteral("C_ComboBox3"), -1, window,
                  QRect(ListLeft, g.effectRowTop, 70, g.listsShowSize ? 16 : 19), listProps});
    AddSliderRow(specs, ktvCaptions, ktvCentres, QStringLiteral("C_ScrollBar3"), KtvParams,
                 KtvParamCount, 0, ControlPlacement::Frame2, g.frame2.left(), frameTop, KtvWidth,
                 KtvSliderLeft, tall);
    AddSliderRow(specs, effCaptions, effCentres, QStringLiteral("C_ScrollBar2"), EffParams,
                 EffParamCount, 0, ControlPlacement::Frame2, g.frame2.left(), frameTop, EffWidth,
                 EffSliderLeft, tall);

    specs.append(HeaderSpec(1, g.musicHeaderTop, eqCaptions, eqCentres));
    specs.append(HeaderSpec(2, g.musicHeaderTop, auxCaptions, auxCentres));
    specs.append(HeaderSpec(3, g.micHeaderTop, micCaptions, micCentres));
    specs.append(HeaderSpec(4, g.effectHeaderTop, ktvCaptions, ktvCentres));
    specs.append(HeaderSpec(5, g.effectHeaderTop, effCaptions, effCentres));

    // Channel volumes with their power-on limits.
    const LimitsGeometry &lim = g.limits;
    const char *channelTitles[3] = {"MUS", "MIC", "KTV"};
    const char *rowCaptions[3] = {"最小", "最大", "模式"};
    for (int c = 0; c < 3; ++c) {
        const int top = lim.groupTop + lim.groupStep * c;
        specs.append({QStringLiteral("C_ScrollBar4"), c, window,
                      QRect(lim.sliderLeft, top, 73, tall ? TallSliderHeight : CompactSliderHeight),
                      {{QStringLiteral("MaxValue"), 80},
                       {QStringLiteral("Title"), QString::fromLatin1(channelTitles[c])},
                       {QStringLiteral("ValueTip"), QString()},
                       {QStringLiteral("Text1"), QStringLiteral("Max")},
                       {QStringLiteral("Text2"), QStringLiteral("Mid")},
                       {QStringLiteral("Text3"), QStringLiteral("Min")},
                       {QStringLiteral("ShowSize"), tall},
                       {QStringLiteral("TitleVisible"), true},
                       {QStringLiteral("ValueTipType"), 0}}});
        specs.append({QStringLiteral("LimitsHeading"), c, window,
                      QRect(lim.headingLeft, top, 65, 17),
                      {{QStringLiteral("Caption"), QStringLiteral("开机")}}});
        for (int r = 0; r < 3; ++r) {
            const int i = 3 * c + r;
            // Captions end where the boxes begin.
            specs.append({QStringLiteral("LimitsCaption"), i, window,
                          QRect(lim.captionLeft, top + lim.captionTop[r],
                                lim.boxLeft - lim.captionLeft - 1, 17),
                          {{QStringLiteral("Caption"), QString::fromUtf8(rowCaptions[r])}}});
            specs.append({QStringLiteral("Text1"), i, window,
                          QRect(lim.boxLeft, top + lim.rowTop[r], 35, 18), {}});
            specs.append({QStringLiteral("VScroll1"), i, window,
                          QRect(lim.spinLeft, top + lim.rowTop[r], 13, 19), {}});
        }
    }

    // Bottom rows: the music key, then input source, exciter, Mute, Lock and Reset.
    for (int i = 0; i < 11; ++i)
        specs.append({QStringLiteral("C_OptionEx1"), i, window,
                      QRect(RowButtonsLeft + 40 * i, g.keyRowTop, 36, 22),
                      {{QStringLiteral("Value"), i == 5}, {QStringLiteral("ButtonIndex"), i}}});
    const int sourceFaces[3] = {11, 13, 12};  // AUTO, BGM, AUX
    for (int i = 0; i < 3; ++i)
        specs.append({QStringLiteral("C_OptionEx2"), i, window,
                      QRect(RowButtonsLeft + 48 * i, g.sourceRowTop + 1, 44, 22),
                      {{QStringLiteral("Value"), i == 1},
                       {QStringLiteral("ButtonIndex"), sourceFaces[i]}}});
    specs.append({QStringLiteral("C_FlagBar1"), -1, window, QRect(276, g.sourceRowTop, 56, 23),
                  {{QStringLiteral("ButtonStyle"), 0}, {QStringLiteral("ValueInvert"), false}}});
    for (int i = 0; i < 3; ++i)
        specs.append({QStringLiteral("C_OptionEx3"), i, window,
                      QRect(368 + 48 * i, g.sourceRowTop, 42, 24),
                      {{QStringLiteral("Value"), false}, {QStringLiteral("ButtonIndex"), 14 + i}}});

    // Bottom right: status, model, the four push buttons; the progress bar along the bottom.
    specs.append({QStringLiteral("Label5"), -1, window, g.label5,
                  {{QStringLiteral("Caption"), QStringLiteral("QSV-416MZ")}}});
    specs.append({QStringLiteral("Label4"), -1, window, g.label4,
                  {{QStringLiteral("Caption"), QStringLiteral("未连接")}}});
    const char *buttonCaptions[4] = {"读取", "上传", "导入", "保存"};
    for (int i = 0; i < 4; ++i) {
        const QPoint at = g.buttonsTopLeft
            + QPoint(g.buttonStep.width() * (i / 2), g.buttonStep.height() * (i % 2));
        specs.append({QStringLiteral("C_Button1"), i, window, QRect(at, QSize(63, 26)),
                      {{QStringLiteral("ButtonIndex"), 0},
                       {QStringLiteral("Caption"), QString::fromUtf8(buttonCaptions[i])}}});
    }
    specs.append({QStringLiteral("C_ProgressBar1"), -1, window, g.progressBar, {}});
    return specs;
}
