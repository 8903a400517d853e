#pragma once

#include "SettingsSnapshot.h"

#include <QList>
#include <optional>

// What one undo step restores: every stored setting, the memories the lists
// show and the channel volumes. The music key is no stored setting.
struct EditorState
{
    SettingsSnapshot settings;
    int lists[3] = {};    // music preset, microphone preset, effect list index
    int volumes[3] = {};  // MUS, MIC, KTV

    friend bool operator==(const EditorState &a, const EditorState &b)
    {
        return a.settings == b.settings && std::equal(a.lists, a.lists + 3, b.lists)
            && std::equal(a.volumes, a.volumes + 3, b.volumes);
    }
    friend bool operator!=(const EditorState &a, const EditorState &b) { return !(a == b); }
};

// A state to go back or forth to, and whether the step between it and the state
// now changed the editor only: a read or an import, whose values the unit already
// holds or never held.
struct HistoryStep
{
    EditorState state;
    bool editorOnly = false;
};

// Undo and redo as whole states. A step opens with the state before the user's
// action and closes at the next one: whatever changed in between, however many
// values a drag sent, is one step.
class EditHistory
{
public:
    // Closes the open step (kept when it changed something) and opens the next at now.
    void Mark(const EditorState &now);
    // Opens the next step at now without keeping what changed: changes the user did not make.
    void Rebase(const EditorState &now)
    {
        open = now;
        openEditorOnly = false;
    }
    // The open step changes the editor and nothing else.
    void MarkEditorOnly() { openEditorOnly = true; }

    bool CanUndo() const { return !undo.isEmpty(); }
    bool CanRedo() const { return !redo.isEmpty(); }
    // The step to take, or nothing; now goes onto the other list.
    std::optional<HistoryStep> Undo(const EditorState &now) { return Step(undo, redo, now); }
    std::optional<HistoryStep> Redo(const EditorState &now) { return Step(redo, undo, now); }

private:
    // Takes the newest step of from, leaving now on to.
    std::optional<HistoryStep> Step(QList<HistoryStep> &from, QList<HistoryStep> &to, const EditorState &now);

    std::optional<EditorState> open;
    bool openEditorOnly = false;
    QList<HistoryStep> undo;
    QList<HistoryStep> redo;
};
