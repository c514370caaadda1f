// What the plug-in binding needs of its editor, and all it knows of it: a
// fixed-size panel of controls bound to parameters, shown in a window the
// host provides the parent of. The graphics framework's editor implements
// it; the plug-in core never includes the framework.
//
// The plug-in owns the editor once it is attached and destroys it with the
// instance. Every call below is made with the instance lock held, except
// Idle. The window
// calls (OpenWindow, CloseWindow) come from the host's user-interface thread;
// SetParameterFromPlug may come from any host thread, including the audio
// thread (host automation), so it only stores the value for the next redraw and
// must not block, allocate or touch the window.
#pragma once

class PluginEditor {
public:
    virtual ~PluginEditor() = default;

    // Whether this editor can open a window; the plug-in announces an editor
    // to the host only then.
    virtual bool HasWindow() const { return true; }

    // Panel size in pixels.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Size of the window the panel is shown in: the panel size times the
    // display scale.
    virtual int WindowWidth() const { return Width(); }
    virtual int WindowHeight() const { return Height(); }
    // The host asks for a display scale (1 is 100 %); false when the editor
    // does not scale. The window follows at the next idle call.
    virtual bool SetWindowScale(double) { return false; }

    // A parameter changed outside the editor: hands the value to every control
    // bound to parameter index. value is normalized (0..1) when normalized is
    // true, else in the parameter's unit.
    virtual void SetParameterFromPlug(int index, double value, bool normalized) = 0;
    // While the editor is being attached: the parameter's current normalized
    // value for every control bound to it and every auxiliary binding of it.
    virtual void ApplyPlugValues(int index, double normalized) = 0;
    // Creates the drawing surfaces at the panel size; called once, when the
    // editor is attached.
    virtual void PrepareDrawing() = 0;

    // Opens the editor window inside parent (the host's native window) and
    // returns its native handle, or null when it cannot be opened.
    virtual void* OpenWindow(void* parent) = 0;
    // Closes the window; does nothing when none is open.
    virtual void CloseWindow() = 0;
    // The host's idle call (effEditIdle), on its user-interface thread and
    // without the instance lock: window systems without a thread of their
    // own handle their events and redraw here.
    virtual void Idle() {}
};
