// The plug-in's editor as the plug-in base and its host bindings see it: a window the host opens and
// closes, a size to report, and the parameter values it shows. The plug-in knows nothing else of how
// the editor draws or which window system it uses.
#pragma once

class PluginEditor {
 public:
  virtual ~PluginEditor() = default;

  // Attachment to the plug-in, under its lock: room for parameterCount values and whatever the
  // editor needs before the first value arrives.
  virtual void AttachToPlugin(int parameterCount) = 0;
  // Any thread: a parameter changed outside the editor; value is plain unless normalized. Never
  // blocks; shown at the editor's next redraw.
  virtual void ApplyParameterFromPlugin(int index, double value, bool normalized) = 0;
  // Any thread, with the plug-in's lock held: the parameter was just set from the editor, so a value
  // still waiting to be shown is older and is dropped.
  virtual void DropPendingValue(int index) = 0;

  // False for an editor without a window system (tests, tools): hosts are then not promised one.
  virtual bool HasWindow() const = 0;
  // The window's size in pixels, asked whenever the host wants it (the first ask may query the
  // screen's scale).
  virtual int WindowWidth() const = 0;
  virtual int WindowHeight() const = 0;
  // The host's content scale (1.0 is 100 %); the size follows it unless the user chose one.
  virtual void SetHostScale(double factor) = 0;
  // The host's editor-open call: creates the window inside parent. False when none can be made.
  virtual bool OpenWindow(void* parent) = 0;
  // The host's editor-close call: the window goes, what it shows stays.
  virtual void CloseWindow() = 0;
  // Closes the window and returns only once no thread of the editor runs any more: the last call
  // before the plug-in goes away.
  virtual void CloseAllWindows() = 0;
  // The open window's native handle (an X window or HWND), or null.
  virtual void* NativeWindow() const = 0;
};
