#include "MainFrm.h"

#include "C_ComboBox.h"
#include "C_ScrollBar.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <utility>
#include <QShortcut>

namespace {

int EffectListIndex(int program)
{
    for (int i = 0; i < 4; ++i)
        if (ProgramCodeForListIndex(i) == program)
            return i;
    return 0;
}

} // namespace

void MainFrm::SetUpUndo()
{
    // Lists open in windows of their own, so input is watched program-wide.
    qApp->installEventFilter(this);
    for (const QKeySequence &keys : {QKeySequence(Qt::CTRL | Qt::Key_Z)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &MainFrm::Undo);
    for (const QKeySequence &keys : {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &MainFrm::Redo);
    History.Rebase(CaptureState());
    historyRetry.setInterval(15);
    connect(&historyRetry, &QTimer::timeout, this, &MainFrm::TakePendingHistorySteps);
}

EditorState MainFrm::CaptureState()
{
    EditorState s;
    s.settings = CurrentSettings();
    s.lists[0] = Model.CurrentMusicPreset;
    s.lists[1] = Model.CurrentMicPreset;
    s.lists[2] = EffectListIndex(Model.CurrentEffectProgram);
    for (int c = 0; c < 3; ++c)
        s.volumes[c] = C_ScrollBar4[c]->Value();
    return s;
}

// Each user action begins with a press; the step before it ends there.
bool MainFrm::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    const bool repeat = type == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->isAutoRepeat();
    if ((type == QEvent::MouseButtonPress || type == QEvent::KeyPress) && !repeat && !restoring && isEnabled()
        && !Commands.ProgressOn) {
        auto *widget = qobject_cast<QWidget *>(watched);
        QWidget *top = widget ? widget->window() : nullptr;
        if (top && (top == this || (top->parentWidget() && top->parentWidget()->window() == this && top->isWindowType()
                                    && top->windowType() == Qt::Popup)))
            History.Mark(CaptureState());
    }
    return QWidget::eventFilter(watched, event);
}

void MainFrm::Undo()
{
    TakeHistoryStep(false);
}

void MainFrm::Redo()
{
    TakeHistoryStep(true);
}

// A slider's set may be waiting for its reply: the one reply state serves one command,
// so the step waits its turn.
void MainFrm::TakeHistoryStep(bool redo)
{
    if (Commands.IsWaiting) {
        pendingHistorySteps.append(redo);
        historyRetry.start();
        return;
    }
    if (!isEnabled())
        return;
    const EditorState now = CaptureState();
    if (const std::optional<HistoryStep> step = redo ? History.Redo(now) : History.Undo(now))
        RestoreState(step->state, !step->editorOnly);
}

void MainFrm::TakePendingHistorySteps()
{
    if (Commands.IsWaiting)
        return;
    historyRetry.stop();
    const QList<bool> steps = std::exchange(pendingHistorySteps, {});
    for (bool redo : steps)
        TakeHistoryStep(redo);
}

// What the user's own hand would send for the same change: a list choice sends its memory,
// an edit of a selected memory, a volume or a switch sends its set. Limits and the memories
// not selected change in the editor only and reach the unit with the next upload.
bool MainFrm::SentByHand(const NamedSetting &setting) const
{
    switch (setting.Block()) {
    case ParamBlock::MusicParam:
        return setting.Selector() == Model.CurrentMusicPreset;
    case ParamBlock::MicParam:
        return setting.Selector() == Model.CurrentMicPreset;
    case ParamBlock::EffectParam:
        return setting.Selector() == Model.CurrentEffectProgram;
    case ParamBlock::MuteSwitch:
    case ParamBlock::LockSwitch:
    case ParamBlock::ExciterSwitch:
    case ParamBlock::InputSource:
        return true;
    default:
        return false;
    }
}

void MainFrm::RestoreState(const EditorState &target, bool send)
{
    restoring = true;
    const EditorState now = CaptureState();
    C_ComboBox *const lists[3] = {C_ComboBox1, C_ComboBox2, C_ComboBox3};
    for (int i = 0; i < 3; ++i) {
        if (now.lists[i] == target.lists[i])
            continue;
        lists[i]->SetTopIndex(target.lists[i]);
        i == 0 ? C_ComboBox1_ItemClick(target.lists[i])
               : i == 1 ? C_ComboBox2_ItemClick(target.lists[i]) : C_ComboBox3_ItemClick(target.lists[i]);
    }
    const QList<SettingDifference> changed = CompareSettings(CaptureState().settings, target.settings);
    ApplySettings(target.settings);
    SetWindowEnabled(false);
    bool sending = send && Commands.IsConnected;
    for (const SettingDifference &d : changed)
        if (SentByHand(*d.setting))
            sending = sending && SendSet(d.setting->Block(), d.setting->Selector(), d.setting->Address(), d.second);
    for (int c = 0; c < 3; ++c) {
        if (now.volumes[c] == target.volumes[c])
            continue;
        C_ScrollBar4[c]->SetValue(target.volumes[c]);
        sending = sending && SendSet(ParamBlock::ChannelVolume, 0, quint8(c), quint8(target.volumes[c]));
    }
    SetWindowEnabled(true);
    restoring = false;
}
