#include "LimitsPanel.h"

#include "ValueText.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <algorithm>
#include <optional>

namespace {

const QColor CellBackground(192, 221, 113);
const QColor CommittedText(0, 0, 0);
const QColor EditedText(255, 0, 0);

int RowOf(int i) { return i % 3; }

// A box's text as a limit: plain digits, 0 to 80.
std::optional<int> LimitNumber(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || text.isEmpty() || !text.at(0).isDigit() || n > LimitsPanel::LimitMaximum)
        return std::nullopt;
    return n;
}

} // namespace

LimitsPanel::LimitsPanel(QWidget *host) : QObject(host)
{
    auto *digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")),
                                                   this);
    QFont cellFont(QStringLiteral("Arial"));
    cellFont.setPixelSize(11);
    const char *rowCaptions[3] = {"最小", "最大", "模式"};
    for (int i = 0; i < CellCount; ++i) {
        const int c = i / 3;
        const int r = RowOf(i);
        auto *box = new QLineEdit(host);
        box->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        box->setFrame(false);
        box->setAlignment(Qt::AlignCenter);
        box->setFont(cellFont);
        box->setContextMenuPolicy(Qt::NoContextMenu);
        // The window keeps the keyboard at start, so that its "w" key works at once.
        box->setFocusPolicy(Qt::ClickFocus);
        box->setAcceptDrops(false);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, CellBackground);
        palette.setColor(QPalette::Text, CommittedText);
        box->setPalette(palette);
        if (r == 2) {
            box->setReadOnly(true);
        } else {
            box->setMaxLength(2);
            box->setValidator(digits);
        }
        box->installEventFilter(this);
        Text1[i] = box;

        auto *spin = new QScrollBar(Qt::Vertical, host);
        spin->setObjectName(QStringLiteral("VScroll1(%1)").arg(i));
        spin->setRange(0, r == 2 ? (c == 2 ? 7 : 5) : LimitMaximum);
        spin->setSingleStep(1);
        spin->setPageStep(1);
        spin->setValue(r == 1 ? LimitMaximum : 0);
        VScroll1[i] = spin;

        auto *caption = new QLabel(QString::fromUtf8(rowCaptions[r]), host);
        caption->setObjectName(QStringLiteral("LimitsCaption(%1)").arg(i));
        RowCaption[i] = caption;
    }
    for (int c = 0; c < 3; ++c) {
        Heading[c] = new QLabel(QStringLiteral("开机"), host);
        Heading[c]->setObjectName(QStringLiteral("LimitsHeading(%1)").arg(c));
    }
    for (QLabel *label : Heading)
        label->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    for (QLabel *label : RowCaption)
        label->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));

    for (int i = 0; i < CellCount; ++i) {
        ShowSpinValue(i);
        connect(VScroll1[i], &QScrollBar::valueChanged, this, [this, i] { VScroll1_Change(i); });
        connect(Text1[i], &QLineEdit::textChanged, this, [this, i] { Text1_Change(i); });
    }
}

QString LimitsPanel::ModeName(int channel, int value)
{
    return ChannelModeName(channel, value);
}

int LimitsPanel::SpinValue(int i) const
{
    return VScroll1[i]->value();
}

QColor LimitsPanel::TextColour(int i) const
{
    return Text1[i]->palette().color(QPalette::Text);
}

void LimitsPanel::SetTextColour(int i, const QColor &colour)
{
    QPalette palette = Text1[i]->palette();
    palette.setColor(QPalette::Text, colour);
    Text1[i]->setPalette(palette);
}

void LimitsPanel::ShowSpinValue(int i)
{
    const int value = VScroll1[i]->value();
    if (RowOf(i) != 2)
        Text1[i]->setMaxLength(2);
    Text1[i]->setText(RowOf(i) == 2 ? ModeName(i / 3, value) : QString::number(value));
    SetTextColour(i, CommittedText);
}

void LimitsPanel::VScroll1_Change(int i)
{
    QScrollBar *spin = VScroll1[i];
    // Setting the spin again runs this once more, which then finds the pair in order.
    if (RowOf(i) == 0 && spin->value() > VScroll1[i + 1]->value())
        spin->setValue(VScroll1[i + 1]->value());
    else if (RowOf(i) == 1 && spin->value() < VScroll1[i - 1]->value())
        spin->setValue(VScroll1[i - 1]->value());
    ShowSpinValue(i);
}

void LimitsPanel::Text1_Change(int i)
{
    SetTextColour(i, EditedText);
}

bool LimitsPanel::Text1_KeyPress(int i, QChar key)
{
    if (key == QLatin1Char('\r')) {
        CommitLimitText(i);
        SetTextColour(i, CommittedText);
    }
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

bool LimitsPanel::CommitLimitText(int i)
{
    const int r = RowOf(i);
    if (r == 2)
        return true;
    const std::optional<int> typed = LimitNumber(Text1[i]->text());
    if (!typed) {
        ShowSpinValue(i);
        return false;
    }
    // The other bound as its box shows it, or as committed when the box holds no limit.
    const int other = r == 0 ? i + 1 : i - 1;
    const int otherValue = LimitNumber(Text1[other]->text()).value_or(VScroll1[other]->value());
    int value = *typed;
    if ((r == 0 && value > otherValue) || (r == 1 && value < otherValue))
        value = otherValue;
    VScroll1[i]->setValue(value);
    ShowSpinValue(i);
    if (r == 1)
        emit MaximumCommitted(i / 3, VScroll1[i]->value());
    return true;
}

bool LimitsPanel::CommitLimitValue(int i, int value)
{
    if (RowOf(i) == 2 || value < 0 || value > LimitMaximum)
        return false;
    Text1[i]->setText(QString::number(value));
    return CommitLimitText(i);
}

int LimitsPanel::CellOf(ParamBlock block, int channel)
{
    const int row = block == ParamBlock::ChannelMinimum ? 0 : block == ParamBlock::ChannelMaximum ? 1 : 2;
    return 3 * channel + row;
}

void LimitsPanel::ShowRefusedLimit(int i, int value)
{
    const QString text = QString::number(value);
    // Shown whole, even where it has more digits than a user may type.
    Text1[i]->setMaxLength(std::max(2, int(text.size())));
    Text1[i]->setText(text);
    SetTextColour(i, EditedText);
}

bool LimitsPanel::SetModeValue(int i, int value)
{
    if (RowOf(i) != 2 || value < VScroll1[i]->minimum() || value > VScroll1[i]->maximum())
        return false;
    VScroll1[i]->setValue(value);
    VScroll1_Change(i);
    return true;
}

int LimitsPanel::VolumeCeiling(int channel) const
{
    const int i = 3 * channel + 1;
    bool ok = false;
    const int typed = Text1[i]->text().toInt(&ok);
    return ok ? typed : VScroll1[i]->value();
}

bool LimitsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto found = std::find(Text1.begin(), Text1.end(), watched);
    if (found == Text1.end())
        return false;
    const int i = int(found - Text1.begin());
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->matches(QKeySequence::Paste))
        return true;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const QString text = enter ? QStringLiteral("\r") : key->text();
    // Keys that type no character (arrows, Delete) edit the box as usual; X11 still
    // gives Delete the text U+007F. Backspace does count as a character, and is refused.
    if (text.isEmpty() || text == QChar(0x7F))
        return false;
    return !Text1_KeyPress(i, text.at(0));
}
