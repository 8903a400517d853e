#include "EditHistory.h"

namespace {
// Far more than a session of tuning needs, and still a few megabytes at most.
constexpr int MostSteps = 1000;
}

void EditHistory::Mark(const EditorState &now)
{
    if (open && *open != now) {
        undo.append({*open, openEditorOnly});
        if (undo.size() > MostSteps)
            undo.removeFirst();
        redo.clear();
    }
    open = now;
    openEditorOnly = false;
}

std::optional<HistoryStep> EditHistory::Step(QList<HistoryStep> &from, QList<HistoryStep> &to,
                                             const EditorState &now)
{
    Mark(now);
    if (from.isEmpty())
        return std::nullopt;
    const HistoryStep step = from.takeLast();
    to.append({now, step.editorOnly});
    open = step.state;
    return step;
}
