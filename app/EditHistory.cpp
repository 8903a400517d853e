#include "EditHistory.h"

namespace {
// Far more than a session of tuning needs, and still a few megabytes at most.
constexpr int MostSteps = 1000;
}

void EditHistory::Mark(const EditorState &now)
{
    if (open && *open != now) {
        undo.append(*open);
        if (undo.size() > MostSteps)
            undo.removeFirst();
        redo.clear();
    }
    open = now;
}

std::optional<EditorState> EditHistory::Undo(const EditorState &now)
{
    Mark(now);
    if (undo.isEmpty())
        return std::nullopt;
    redo.append(now);
    const EditorState target = undo.takeLast();
    open = target;
    return target;
}

std::optional<EditorState> EditHistory::Redo(const EditorState &now)
{
    Mark(now);
    if (redo.isEmpty())
        return std::nullopt;
    undo.append(now);
    const EditorState target = redo.takeLast();
    open = target;
    return target;
}
