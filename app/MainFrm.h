#pragma once

#include "BulkTransfer.h"
#include "CommandFrame.h"
#include "CommandLayer.h"
#include "ConnectionManager.h"
#include "EditHistory.h"
#include "HeaderStrip.h"
#include "LayoutGeometry.h"
#include "LimitsPanel.h"
#include "Main.h"
#include "MainFrmLayout.h"
#include "NamedSettings.h"
#include "ParameterModel.h"
#include "SettingsSnapshot.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <array>
#include <optional>

class C_Button;
class C_ComboBox;
class C_FlagBar;
class C_Option;
class C_OptionEx;
class C_ProgressBar;
class C_ScrollBar;
class CommIndicator;
class CompareWindow;
class QFrame;
class QLabel;
struct AppState;

// The main window. MainFrm_Big and MainFrm_Small are two geometry tables for
// this one class; the controls, names and behaviour are the same in both.
// Controls are public under their names, arrays indexed as their parameters.
class MainFrm : public QWidget
{
    Q_OBJECT

public:
    MainFrm(AppState &state, const LayoutGeometry &geometry, const ScreenMetrics &screen,
            QWidget *parent = nullptr);
    ~MainFrm() override;

    AppState &State() { return state; }
    const LayoutGeometry &Geometry() const { return geometry; }

    // The editor's memories and which of them are selected.
    ParameterModel Model;
    // The link to the processor; both live as long as the window.
    CommandLayer Commands;
    ConnectionManager Connection;
    // Brings the music key display back to natural, once, 300 ms after it was armed.
    QTimer Timer1;

    QFrame *Frame1 = nullptr;
    QFrame *Frame2 = nullptr;
    std::array<C_ScrollBar *, MusicSliderCount> C_ScrollBar7{};
    std::array<C_ScrollBar *, MicParamCount> C_ScrollBar1{};
    std::array<C_ScrollBar *, EffParamCount> C_ScrollBar2{};
    std::array<C_ScrollBar *, KtvParamCount> C_ScrollBar3{};
    std::array<C_ScrollBar *, 3> C_ScrollBar4{};  // channel volumes MUS, MIC, KTV
    C_FlagBar *C_FlagBar1 = nullptr;              // exciter
    C_FlagBar *C_FlagBar2 = nullptr;              // "EFF In C", music parameter 16
    C_FlagBar *C_FlagBar3 = nullptr;              // "SUB Invert", music parameter 17
    C_ComboBox *C_ComboBox1 = nullptr;            // music preset
    C_ComboBox *C_ComboBox2 = nullptr;            // microphone preset
    C_ComboBox *C_ComboBox3 = nullptr;            // effect program
    std::array<C_Option *, 2> C_Option1{};        // music page
    std::array<C_OptionEx *, 11> C_OptionEx1{};   // music key, flat 5 .. natural .. sharp 5
    std::array<C_OptionEx *, 3> C_OptionEx2{};    // input source AUTO, BGM, AUX
    std::array<C_OptionEx *, 3> C_OptionEx3{};    // Mute, Lock, Reset
    std::array<C_Button *, 4> C_Button1{};        // "读取", "上传", "导入", "保存"
    C_ProgressBar *C_ProgressBar1 = nullptr;
    QLabel *Label3 = nullptr;  // "EFF In C"
    QLabel *Label4 = nullptr;  // connection status
    QLabel *Label5 = nullptr;  // device model
    QLabel *Label6 = nullptr;  // "SUB Invert"
    HeaderStrip *Picture1 = nullptr;
    HeaderStrip *Picture2 = nullptr;
    HeaderStrip *Picture3 = nullptr;
    HeaderStrip *Picture4 = nullptr;
    HeaderStrip *Picture5 = nullptr;
    // Power-on minimum, maximum and mode: Limits->Text1[i], Limits->VScroll1[i].
    LimitsPanel *Limits = nullptr;

    // A control by its layout name, "C_ScrollBar7(3)" or "Label5"; nullptr if none.
    QWidget *Control(const QString &key) const { return controls.value(key); }

    CommIndicator *LogWindow() const;
    bool IsDragging() const { return isDragging; }

    // Pages and memories.
    void ShowMusicPage(int index);
    void ShowEffectPage(int code);
    void ShowPresetValues();
    void LoadFactoryDefaults();

    // The whole window takes no input while a sequence of commands runs; timers go on.
    void SetWindowEnabled(bool enabled) { setEnabled(enabled); }

    // The limits panel as the bulk transfer and the settings file fill it.
    bool CommitLimitText(int i) { return Limits->CommitLimitText(i); }
    void VScroll1_Change(int i) { Limits->VScroll1_Change(i); }

    // Handlers of the controls.
    void C_ComboBox1_ItemClick(int ItemIndex);
    void C_ComboBox2_ItemClick(int ItemIndex);
    void C_ComboBox3_ItemClick(int ItemIndex);
    void C_Option1_OptionClick(int index);
    void C_Button1_Click(int index);
    void C_ScrollBar7_Scroll(int index);
    void C_ScrollBar1_Scroll(int index);
    void C_ScrollBar3_Scroll(int index);
    void C_ScrollBar2_Scroll(int index);
    void C_FlagBar2_SwitchClick();
    void C_FlagBar3_SwitchClick();
    void C_ScrollBar4_Scroll(int index);
    void C_FlagBar1_SwitchClick();
    void C_OptionEx1_OptionClick(int index);
    void Timer1_Timer();
    void C_OptionEx2_OptionClick(int index);
    void C_OptionEx3_OptionClick(int index);

    // After a successful identification: the selected memories go out, the
    // volumes and switches come back.
    void SendEditorState();

    // The four push buttons' work: the transfers with the processor and the settings file.
    void ReadAllFromDevice();
    void UploadAllToDevice();
    void ImportSettingsFile();
    void SaveSettingsFile();

    // Everything a settings file holds, from the tables and the widgets, and back.
    SettingsSnapshot CurrentSettings();
    void ApplySettings(const SettingsSnapshot &settings);

    // The background menu's work: comparisons that change nothing by themselves,
    // and "上传" followed by a read-back.
    void CompareWithUnit();
    void CompareWithFile();
    void UploadAndVerify();
    CompareWindow *Comparison() const;

    // Undo and redo of the user's changes (Ctrl+Z; Ctrl+Y, Ctrl+Shift+Z). Connected,
    // a restored state goes to the unit as the same change made by hand would;
    // a read or an import undone or redone changes the editor only.
    EditHistory History;
    EditorState CaptureState();
    void Undo();
    void Redo();

signals:
    // The pointer moved over the bare background (not while maximised).
    void BackgroundPointerMoved();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void Unload();
    void ShowLogWindow();
    bool OnBackground(const QPoint &pos) const;

    template <class Control>
    Control *Make(const QString &name, int index = -1);
    void CreateControls();
    void ApplyLayout();
    void ConnectHandlers();
    void ConnectLink();
    void Form_Load();
    static quint8 TagAddress(const QWidget *control);

    void ShowKey(int index);
    void ShowInputSource(int index);
    void HintPortPermission(const QString &devicePath);
    bool portPermissionHinted = false;
    static QString StatusText(LinkStatus status);
    void ReportLineSettingsRefused(const QString &entry, const QString &answer);
    QSet<QString> refusalsReported;
    void KeepVolumeBelowMaximum(int channel, int maximum);
    template <int Rows, int N>
    void SendTableSlider(C_ScrollBar *slider, ParamSlot (&table)[Rows][N], int row, int index,
                         ParamBlock block, int memory);
    void SendMusicSwitch(C_FlagBar *flag, int index);
    bool SendMemory(ParamBlock block, int memory, const ParamSlot *parameters, int count);
    bool SendSet(ParamBlock block, quint8 selector, quint8 address, quint8 value);
    bool ReadBack(ParamBlock block, quint8 address, quint8 &value);

    AppState &state;
    const LayoutGeometry &geometry;
    ScreenMetrics screen;
    const QList<ControlPlacement> layout;
    QHash<QString, QWidget *> controls;

    int DragLastX = 0;
    int DragLastY = 0;
    bool isDragging = false;

    QPointer<CommIndicator> logWindow;
    QPointer<CompareWindow> compareWindow;

    void SetUpUndo();
    void TakeHistoryStep(bool redo);
    void TakePendingHistorySteps();
    bool SentByHand(const NamedSetting &setting) const;
    void RestoreState(const EditorState &target, bool send);
    bool restoring = false;
    QList<bool> pendingHistorySteps;  // true for a redo
    QTimer historyRetry;

    // Warns and is false when no unit is connected.
    bool RequireConnection();
    void ReportRefusedRead(const ReadResult &read);
    // ApplySettings in two parts, so that a read that stopped early commits only the
    // limit cells it reached.
    void ApplyAllButLimits(const SettingsSnapshot &settings);
    void ApplyLimit(const SettingsSnapshot &settings, int cell);
    std::optional<SettingsSnapshot> ReadUnitSettings();
    void ShowComparison(const QList<SettingDifference> &differences, bool withUnit, const QString &agreement);
    void TakeCompared(const QList<SettingDifference> &taken);
    int SendCompared(const QList<SettingDifference> &settings);
};
