#include "MainFrm.h"

#include "C_ComboBox.h"
#include "C_ScrollBar.h"

#include <QApplication>
#include <QEvent>
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
    if ((type == QEvent::MouseButtonPress || type == QEvent::KeyPress) && !restoring && isEnabled()
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
    if (!isEnabled())
        return;
    if (const std::optional<EditorState> target = History.Undo(CaptureState()))
        RestoreState(*target);
}

void MainFrm::Redo()
{
    if (!isEnabled())
        return;
    if (const std::optional<EditorState> target = History.Redo(CaptureState()))
        RestoreState(*target);
}

// The lists choose as a click on them does; the rest is applied, then sent setting by setting.
void MainFrm::RestoreState(const EditorState &target)
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
    bool sending = Commands.IsConnected;
    for (const SettingDifference &d : changed)
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
