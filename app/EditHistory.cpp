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

std::optional<EditorState> EditHistory::Step(QList<EditorState> &from, QList<EditorState> &to,
                                             const EditorState &now)
{
    Mark(now);
    if (from.isEmpty())
        return std::nullopt;
    to.append(now);
    open = from.takeLast();
    return open;
}
