// What the editor's graphics and controls need of the plug-in: the parameter
// records, setting a parameter as the user's change, the host's edit
// brackets, the editor size report and the idle hook. The graphics framework
// declares it so that it depends on the plug-in core only through this and
// the parameter records.
#pragma once

class Parameter;

class EditorHost {
public:
    virtual ~EditorHost() = default;

    virtual int NumParameters() const = 0;
    // Null for an invalid index.
    virtual const Parameter* GetParameter(int index) const = 0;
    // The user moved a control: sets the parameter and tells the host.
    virtual void SetParameterFromEditor(int index, double normalized) = 0;
    virtual void BeginHostEdit(int index) = 0;
    virtual void EndHostEdit(int index) = 0;
    // The editor's size changed: the host is told.
    virtual void RefreshEditorRect() = 0;
    // Asks the host to make its editor window this size; false when it
    // cannot.
    virtual bool RequestWindowSize(int, int) { return false; }
    // Called after 21 redraw ticks in a row found nothing to draw.
    virtual void OnEditorIdle() {}
    // A file dialog that ran without blocking has ended: the command that
    // asked for it may ask again and gets the answer (editor's thread).
    virtual void OnFileChosen() {}
    // Called on the editor's thread at the start of every redraw tick, after
    // the waiting parameter values were applied.
    virtual void OnRedrawTick() {}
};
