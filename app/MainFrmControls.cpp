#include "MainFrm.h"

#include "AppState.h"
#include "Artwork.h"
#include "C_Button.h"
#include "C_ComboBox.h"
#include "C_FlagBar.h"
#include "C_Option.h"
#include "C_OptionEx.h"
#include "C_ProgressBar.h"
#include "C_ScrollBar.h"
#include "CommLog.h"
#include "HeaderStrip.h"
#include "PortClaim.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <cstdio>

namespace {

const QString TagKey = QStringLiteral("Tag");

// The saved configuration of one control, read once after creation.
void ReadSavedProperties(QWidget *control, const WidgetProperties &props)
{
    if (auto *w = qobject_cast<C_ScrollBar *>(control))
        w->ReadProperties(props);
    else if (auto *w = qobject_cast<C_FlagBar *>(control))
        w->ReadProperties(props);
    else if (auto *w = qobject_cast<C_ComboBox *>(control))
        w->ReadProperties(props);
    else if (auto *w = qobject_cast<C_Option *>(control))
        w->ReadProperties(props);
    else if (auto *w = qobject_cast<C_OptionEx *>(control))
        w->ReadProperties(props);
    else if (auto *w = qobject_cast<C_Button *>(control))
        w->ReadProperties(props);
    else if (auto *w = qobject_cast<QLabel *>(control); w && props.contains(QStringLiteral("Caption")))
        w->setText(props.value(QStringLiteral("Caption")).toString());
    if (props.contains(TagKey))
        control->setProperty("Tag", props.value(TagKey));
}

QList<int> IntList(const QVariant &value)
{
    QList<int> numbers;
    for (const QVariant &v : value.toList())
        numbers << v.toInt();
    return numbers;
}

void StyleLabel(QLabel *label, const QString &colour, qreal pointSize, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: %1;").arg(colour));
}

} // namespace

quint8 MainFrm::TagAddress(const QWidget *control)
{
    return static_cast<quint8>(control->property("Tag").toString().toUInt());
}

template <class Control>
Control *MainFrm::Make(const QString &name, int index)
{
    const QString key = ControlKey(name, index);
    QWidget *container = this;
    for (const ControlPlacement &placement : layout) {
        if (placement.Key() != key)
            continue;
        if (placement.container == ControlPlacement::Frame1)
            container = Frame1;
        else if (placement.container == ControlPlacement::Frame2)
            container = Frame2;
        break;
    }
    auto *control = new Control(container);
    control->setObjectName(key);
    controls.insert(key, control);
    return control;
}

void MainFrm::CreateControls()
{
    Frame1 = Make<QFrame>(QStringLiteral("Frame1"));
    Frame2 = Make<QFrame>(QStringLiteral("Frame2"));
    C_ComboBox1 = Make<C_ComboBox>(QStringLiteral("C_ComboBox1"));
    for (int i = 0; i < 2; ++i)
        C_Option1[i] = Make<C_Option>(QStringLiteral("C_Option1"), i);
    for (int k = 0; k < MusicSliderCount; ++k)
        C_ScrollBar7[k] = Make<C_ScrollBar>(QStringLiteral("C_ScrollBar7"), k);
    Label3 = Make<QLabel>(QStringLiteral("Label3"));
    C_FlagBar2 = Make<C_FlagBar>(QStringLiteral("C_FlagBar2"));
    Label6 = Make<QLabel>(QStringLiteral("Label6"));
    C_FlagBar3 = Make<C_FlagBar>(QStringLiteral("C_FlagBar3"));
    C_ComboBox2 = Make<C_ComboBox>(QStringLiteral("C_ComboBox2"));
    for (int k = 0; k < MicParamCount; ++k)
        C_ScrollBar1[k] = Make<C_ScrollBar>(QStringLiteral("C_ScrollBar1"), k);
    C_ComboBox3 = Make<C_ComboBox>(QStringLiteral("C_ComboBox3"));
    for (int k = 0; k < KtvParamCount; ++k)
        C_ScrollBar3[k] = Make<C_ScrollBar>(QStringLiteral("C_ScrollBar3"), k);
    // Created last to first, so that each EFF slider's thumb edge lies above its right neighbour.
    for (int k = EffParamCount - 1; k >= 0; --k)
        C_ScrollBar2[k] = Make<C_ScrollBar>(QStringLiteral("C_ScrollBar2"), k);
    Picture1 = Make<HeaderStrip>(QStringLiteral("Picture1"));
    Picture2 = Make<HeaderStrip>(QStringLiteral("Picture2"));
    Picture3 = Make<HeaderStrip>(QStringLiteral("Picture3"));
    Picture4 = Make<HeaderStrip>(QStringLiteral("Picture4"));
    Picture5 = Make<HeaderStrip>(QStringLiteral("Picture5"));

    for (int c = 0; c < 3; ++c)
        C_ScrollBar4[c] = Make<C_ScrollBar>(QStringLiteral("C_ScrollBar4"), c);
    Limits = new LimitsPanel(this);
    for (int i = 0; i < LimitsPanel::CellCount; ++i) {
        controls.insert(ControlKey(QStringLiteral("Text1"), i), Limits->Text1[i]);
        controls.insert(ControlKey(QStringLiteral("VScroll1"), i), Limits->VScroll1[i]);
        controls.insert(ControlKey(QStringLiteral("LimitsCaption"), i), Limits->RowCaption[i]);
    }
    for (int c = 0; c < 3; ++c)
        controls.insert(ControlKey(QStringLiteral("LimitsHeading"), c), Limits->Heading[c]);

    for (int i = 0; i < 11; ++i)
        C_OptionEx1[i] = Make<C_OptionEx>(QStringLiteral("C_OptionEx1"), i);
    for (int i = 0; i < 3; ++i)
        C_OptionEx2[i] = Make<C_OptionEx>(QStringLiteral("C_OptionEx2"), i);
    C_FlagBar1 = Make<C_FlagBar>(QStringLiteral("C_FlagBar1"));
    for (int i = 0; i < 3; ++i)
        C_OptionEx3[i] = Make<C_OptionEx>(QStringLiteral("C_OptionEx3"), i);
    Label5 = Make<QLabel>(QStringLiteral("Label5"));
    Label4 = Make<QLabel>(QStringLiteral("Label4"));
    for (int i = 0; i < 4; ++i)
        C_Button1[i] = Make<C_Button>(QStringLiteral("C_Button1"), i);
    C_ProgressBar1 = Make<C_ProgressBar>(QStringLiteral("C_ProgressBar1"));

    StyleLabel(Label3, QStringLiteral("rgb(255, 255, 128)"), 7.5, false);
    StyleLabel(Label6, QStringLiteral("rgb(255, 255, 128)"), 7.5, false);
    StyleLabel(Label4, QStringLiteral("rgb(255, 255, 255)"), 10.5, false);
    StyleLabel(Label5, QStringLiteral("rgb(255, 176, 64)"), 12, true);
}

void MainFrm::ApplyLayout()
{
    for (const ControlPlacement &placement : layout) {
        QWidget *control = controls.value(placement.Key());
        Q_ASSERT(control);
        ReadSavedProperties(control, placement.props);
        control->setGeometry(placement.rect);
        if (placement.props.contains(QStringLiteral("Captions")))
            static_cast<HeaderStrip *>(control)->SetCaptions(
                placement.props.value(QStringLiteral("Captions")).toStringList(),
                IntList(placement.props.value(QStringLiteral("Centres"))));
    }
}

void MainFrm::ConnectHandlers()
{
    connect(C_ComboBox1, &C_ComboBox::ItemClick, this, &MainFrm::C_ComboBox1_ItemClick);
    connect(C_ComboBox2, &C_ComboBox::ItemClick, this, &MainFrm::C_ComboBox2_ItemClick);
    connect(C_ComboBox3, &C_ComboBox::ItemClick, this, &MainFrm::C_ComboBox3_ItemClick);
    for (int i = 0; i < 2; ++i)
        connect(C_Option1[i], &C_Option::OptionClick, this, [this, i] { C_Option1_OptionClick(i); });
    for (int i = 0; i < 4; ++i)
        connect(C_Button1[i], &C_Button::Click, this, [this, i] { C_Button1_Click(i); });
    for (int k = 0; k < MusicSliderCount; ++k)
        connect(C_ScrollBar7[k], &C_ScrollBar::Scroll, this, [this, k] { C_ScrollBar7_Scroll(k); });
    for (int k = 0; k < MicParamCount; ++k)
        connect(C_ScrollBar1[k], &C_ScrollBar::Scroll, this, [this, k] { C_ScrollBar1_Scroll(k); });
    for (int k = 0; k < KtvParamCount; ++k)
        connect(C_ScrollBar3[k], &C_ScrollBar::Scroll, this, [this, k] { C_ScrollBar3_Scroll(k); });
    for (int k = 0; k < EffParamCount; ++k)
        connect(C_ScrollBar2[k], &C_ScrollBar::Scroll, this, [this, k] { C_ScrollBar2_Scroll(k); });
    for (int c = 0; c < 3; ++c)
        connect(C_ScrollBar4[c], &C_ScrollBar::Scroll, this, [this, c] { C_ScrollBar4_Scroll(c); });
    connect(C_FlagBar1, &C_FlagBar::SwitchClick, this, &MainFrm::C_FlagBar1_SwitchClick);
    connect(C_FlagBar2, &C_FlagBar::SwitchClick, this, &MainFrm::C_FlagBar2_SwitchClick);
    connect(C_FlagBar3, &C_FlagBar::SwitchClick, this, &MainFrm::C_FlagBar3_SwitchClick);
    for (int i = 0; i < 11; ++i)
        connect(C_OptionEx1[i], &C_OptionEx::OptionClick, this, [this, i] { C_OptionEx1_OptionClick(i); });
    for (int i = 0; i < 3; ++i) {
        connect(C_OptionEx2[i], &C_OptionEx::OptionClick, this, [this, i] { C_OptionEx2_OptionClick(i); });
        connect(C_OptionEx3[i], &C_OptionEx::OptionClick, this, [this, i] { C_OptionEx3_OptionClick(i); });
    }
    connect(Limits, &LimitsPanel::MaximumCommitted, this, &MainFrm::KeepVolumeBelowMaximum);
    Timer1.setInterval(300);
    connect(&Timer1, &QTimer::timeout, this, &MainFrm::Timer1_Timer);
    // A button the pointer left quickly may keep its hover look; the bare background clears it.
    connect(this, &MainFrm::BackgroundPointerMoved, this, [this] {
        for (C_Button *button : C_Button1)
            button->SetState(0);
    });
}

// The search goes on past a device this user may not open; once per run the
// user learns how to be let in.
void MainFrm::HintPortPermission(const QString &devicePath)
{
    if (portPermissionHinted)
        return;
    portPermissionHinted = true;
    const QString fix = QStringLiteral("sudo usermod -aG %1 $USER").arg(PortClaim::DeviceGroup(devicePath));
    std::fprintf(stderr, "quorin: %s: permission denied; to use it, run: %s, then log in again\n",
                 qPrintable(devicePath), qPrintable(fix));
    Label4->setToolTip(QStringLiteral("无权打开串口 %1。\n请运行 %2，然后重新登录。").arg(devicePath, fix));
}

QString MainFrm::StatusText(LinkStatus status)
{
    switch (status) {
    case LinkStatus::Connected:
        return QStringLiteral("连接成功");
    case LinkStatus::WrongModel:
        return QStringLiteral("型号不匹配");
    case LinkStatus::NotConnected:
        break;
    }
    return QStringLiteral("未连接");
}

// A device server that keeps other line settings is passed by; the user learns why, once per server.
void MainFrm::ReportLineSettingsRefused(const QString &entry, const QString &answer)
{
    if (refusalsReported.contains(entry))
        return;
    refusalsReported.insert(entry);
    std::fprintf(stderr, "quorin: %s: the server does not confirm 9600 8N1 and binary both ways; it answered %s\n",
                 qPrintable(entry), qPrintable(answer));
}

void MainFrm::ConnectLink()
{
    Commands.OnKeyReset = [this] { ShowKey(5); };
    Commands.OnProgress = [this](int percent) { C_ProgressBar1->SetValue(quint8(percent)); };
    Commands.OnStatus = [this](LinkStatus status) { Label4->setText(StatusText(status)); };
    Commands.ReportLoss = [this] { state.prompt.Warn(QStringLiteral("与目标通信连接超时，已断开连接。")); };
    Commands.OnFrameSent = [this](const CommandFrame &frame) { LogSentFrame(state, frame.data()); };
    Commands.OnSyncSent = [this] { LogSyncByte(state); };
    Commands.OnByteReceived = [this](quint8 byte) { LogReceivedByte(state, byte); };
    connect(&state.port, &RS232Port::PermissionDenied, this, &MainFrm::HintPortPermission);
    connect(&state.port, &RS232Port::LineSettingsRefused, this, &MainFrm::ReportLineSettingsRefused);
    // What connecting brings back from the unit is no step of the user's.
    Connection.SendEditorState = [this] {
        History.Mark(CaptureState());
        SendEditorState();
        History.Rebase(CaptureState());
    };
}
