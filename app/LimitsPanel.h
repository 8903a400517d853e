#pragma once

#include "CommandFrame.h"
#include "ParameterDefinitions.h"

#include <QObject>
#include <QString>
#include <array>

class QColor;
class QLabel;
class QLineEdit;
class QScrollBar;
class QWidget;

// The power-on minimum, maximum and mode of the three channels (MUS, MIC, KTV).
// Cell i = 3 c + r: channel c, row r (0 minimum, 1 maximum, 2 mode). The spin
// controls hold the settings; a box shows its spin's value in black, or typed
// text not yet committed in red. The controls live on the host widget.
class LimitsPanel : public QObject
{
    Q_OBJECT

public:
    static constexpr int CellCount = 9;
    static constexpr int LimitMaximum = HighestChannelLimit;

    explicit LimitsPanel(QWidget *host);

    std::array<QLineEdit *, CellCount> Text1{};
    std::array<QScrollBar *, CellCount> VScroll1{};
    std::array<QLabel *, 3> Heading{};            // "开机" over each channel's cells
    std::array<QLabel *, CellCount> RowCaption{}; // "最小", "最大", "模式"

    // The spin of cell i changed, from the user or from code.
    void VScroll1_Change(int i);
    // The text of box i changed, typed or set.
    void Text1_Change(int i);
    // A character typed into box i; false discards it.
    bool Text1_KeyPress(int i, QChar key);
    // Takes the number in box i as the cell's setting. A box that is empty or
    // holds more than 80 gets its committed value back and the result is false.
    bool CommitLimitText(int i);

    // For code that fills the panel (factory values, bulk read, settings file):
    // a minimum or maximum outside 0 to 80, or a mode beyond its spin's range,
    // is refused with false and changes nothing.
    bool CommitLimitValue(int i, int value);
    bool SetModeValue(int i, int value);
    // A minimum or maximum read from the unit that no box may hold: box i shows it,
    // uncommitted (red), beside the read's error, while the cell keeps its setting.
    void ShowRefusedLimit(int i, int value);

    int SpinValue(int i) const;
    // The cell of a channel's minimum, maximum or mode frame.
    static int CellOf(ParamBlock block, int channel);
    // The highest volume the channel allows now: the number in its maximum box,
    // typed or committed; the committed maximum when the box holds no number.
    int VolumeCeiling(int channel) const;
    QColor TextColour(int i) const;

    static QString ModeName(int channel, int value);

signals:
    // A maximum was committed; the channel's volume must not stay above it.
    void MaximumCommitted(int channel, int maximum);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowSpinValue(int i);
    void SetTextColour(int i, const QColor &colour);
};
