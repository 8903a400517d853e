#include "MainFrm.h"

#include "AppState.h"
#include "CompareWindow.h"
#include "SettingCommand.h"
#include "SettingsDialogs.h"
#include "UserFormValue.h"
#include "UserPrompt.h"

#include <QContextMenuEvent>
#include <QMenu>

void MainFrm::contextMenuEvent(QContextMenuEvent *event)
{
    if (!OnBackground(event->pos()))
        return;
    isDragging = false;
    QMenu menu(this);
    QAction *undo = menu.addAction(QStringLiteral("撤销"), this, &MainFrm::Undo);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    // The right press has already closed the step before it.
    undo->setEnabled(History.CanUndo());
    QAction *redo = menu.addAction(QStringLiteral("重做"), this, &MainFrm::Redo);
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    redo->setEnabled(History.CanRedo());
    menu.addSeparator();
    menu.addAction(QStringLiteral("与机器比较"), this, &MainFrm::CompareWithUnit);
    menu.addAction(QStringLiteral("与文件比较..."), this, &MainFrm::CompareWithFile);
    menu.addAction(QStringLiteral("上传并校验"), this, &MainFrm::UploadAndVerify);
    menu.addSeparator();
    menu.addAction(QStringLiteral("通信指示器"), this, &MainFrm::ShowLogWindow)->setShortcut(QKeySequence(Qt::Key_W));
    menu.exec(event->globalPos());
    // The menu took the button's release: no drag may outlive it.
    isDragging = false;
}

// What the unit holds, read with the window disabled as the editor's own read does.
std::optional<SettingsSnapshot> MainFrm::ReadUnitSettings()
{
    if (!RequireConnection())
        return std::nullopt;
    SettingsSnapshot unit;
    SetWindowEnabled(false);
    const ReadResult read = ::ReadAllFromDevice(Commands, unit);
    SetWindowEnabled(true);
    ReportRefusedRead(read);
    if (read.outcome != TransferOutcome::Complete)
        return std::nullopt;
    return unit;
}

void MainFrm::ShowComparison(const QList<SettingDifference> &differences, bool withUnit, const QString &agreement)
{
    if (!compareWindow) {
        compareWindow = new CompareWindow(this);
        compareWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(compareWindow, &CompareWindow::TakeValues, this, &MainFrm::TakeCompared);
        compareWindow->SendToUnit = [this](const QList<SettingDifference> &settings) { return SendCompared(settings); };
    }
    compareWindow->Show(differences, withUnit ? QStringLiteral("机器") : QStringLiteral("文件"), withUnit, agreement);
}

void MainFrm::CompareWithUnit()
{
    const std::optional<SettingsSnapshot> unit = ReadUnitSettings();
    if (unit)
        ShowComparison(CompareSettings(CurrentSettings(), *unit), true, QStringLiteral("一致"));
}

void MainFrm::CompareWithFile()
{
    const QString path = BrowseOpenFile(state, this);
    if (path.isEmpty())
        return;
    const SettingsFileRead file = ReadSettingsFile(path);
    if (file.outcome != SettingsFileRead::Outcome::Read) {
        state.prompt.Critical(SettingsFileMessage(file, path));
        return;
    }
    ShowComparison(CompareSettings(CurrentSettings(), file.settings), false, QStringLiteral("一致"));
}

void MainFrm::UploadAndVerify()
{
    if (!RequireConnection())
        return;
    SetWindowEnabled(false);
    const VerifiedUpload upload = ::UploadAndVerify(Commands, CurrentSettings());
    SetWindowEnabled(true);
    ReportRefusedRead(upload.read);
    if (upload.Complete())
        ShowComparison(upload.differences, true, QStringLiteral("一致：机器已收到全部设置"));
}

// Its own undo step: the press that asked for it was in the compare window.
void MainFrm::TakeCompared(const QList<SettingDifference> &taken)
{
    History.Mark(CaptureState());
    SettingsSnapshot settings = CurrentSettings();
    for (const SettingDifference &d : taken)
        d.setting->SetValue(settings, d.second);
    ApplySettings(settings);
    History.Mark(CaptureState());
}

// The editor's values as they are now, the user may have edited since the comparison; sent as
// the live edits send them, with the window disabled as a list choice disables it.
int MainFrm::SendCompared(const QList<SettingDifference> &settings)
{
    if (!RequireConnection())
        return 0;
    const SettingsSnapshot now = CurrentSettings();
    SetWindowEnabled(false);
    int acknowledged = 0;
    for (const SettingDifference &d : settings) {
        if (!SendSet(d.setting->Block(), d.setting->Selector(), d.setting->Address(), d.setting->Value(now)))
            break;
        ++acknowledged;
    }
    SetWindowEnabled(true);
    return acknowledged;
}

CompareWindow *MainFrm::Comparison() const
{
    return compareWindow;
}
