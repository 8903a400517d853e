#pragma once

#include "C_ComboBox.h"
#include "C_ScrollBar.h"
#include "MainFrm.h"
#include "AppState.h"
#include "ScriptedPrompt.h"

#include <QTest>
#include <memory>

// A main window of one layout, shown offscreen, with no serial ports to search
// unless a test names some.
struct EditorFixture
{
    explicit EditorFixture(const LayoutGeometry &geometry = MainFrm_Big,
                           const QStringList &ports = {})
    {
        state.EndProgram = [this] { ++endRequests; };
        state.port.SetPortList(ports);
        window = std::make_unique<MainFrm>(state, geometry, ScreenMetrics{});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    ScriptedPrompt prompt;
    AppState state{prompt};
    int endRequests = 0;
    std::unique_ptr<MainFrm> window;
};

// Drags a slider's thumb to the row of the given value, in one pointer move.
inline void DragSlider(C_ScrollBar *slider, int toValue)
{
    const int x = 52;
    const QPoint thumb(x, slider->ThumbY());
    QTest::mouseMove(slider, thumb);
    QVERIFY(slider->Hovered());
    QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
    const float step = (slider->ShowSize() ? 69.0f : 58.0f) / float(slider->MaxValue());
    const QPoint target(x, qRound(36 + float(slider->MaxValue() - toValue) * step));
    QTest::mouseMove(slider, target);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, target);
}

// Opens a list with a click on its face and clicks the entry of the given row.
inline void ChooseListEntry(C_ComboBox *list, int row)
{
    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(10, 8));
    QVERIFY(list->IsOpen());
    QWidget *popup = list->ListWindow();
    const QPoint entry(20, row * 12 + 6);
    QTest::mouseMove(popup, entry);
    QTest::mousePress(popup, Qt::LeftButton, {}, entry);
    QVERIFY(!list->IsOpen());
}
