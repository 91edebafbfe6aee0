// The X11 window layer of the Linux module: the editor as a child window of the host's X11 window,
// with pop-up menus, the text entry and message boxes drawn by our own raster layer and text.
//
// Threads. Each open editor window has a thread of its own that owns a display connection of its own
// and does all X work and all editor work while the window is open: it waits on the connection's file
// descriptor and on a wake-up descriptor, with a timeout at the next 40 ms redraw tick, handles the
// events, runs the tick, and flushes. Nothing of the host's is touched from this thread: no host
// window is drawn into, no host connection is used, and the plug-in is reached only through the calls
// that take the plug-in's lock (edits, notes, commands) or that are lock-free (the parameter mailbox,
// redraw requests). So the editor stays live whether or not the host calls effEditIdle, and how often.
// The host's thread only opens and closes the window. Closing asks the thread to stop and waits a
// short while for it; since the host calls effEditClose holding the plug-in's lock, a thread that is
// itself waiting for that lock cannot stop then: it finishes right after the host's call returns and is
// joined later (at the next open, or when the editor is deleted). Editor work of an old and a new
// thread is serialised by the layer's own lock, never held while waiting for X.
//
// X errors on our connections (the host's window destroyed under the editor, say) are recorded and
// never end the process; errors on other connections go to the handler that was installed before.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "editor/IGraphics.h"

struct X11Session;

class IGraphicsX11 : public IGraphics {
 public:
  IGraphicsX11(EditorHost* plug, int width, int height);
  ~IGraphicsX11() override;

  void CopyToWindow(const Rect& rect) override;
  void CancelTextEntry() override;
  bool IsWindowOpen() const override;
  const char* BackendName() const override { return "X11"; }
  int ShowMessage(const char* text, const char* caption, int type) override;
  PopupMenu* ShowPopupMenu(PopupMenu& menu, const Rect& rect) override;
  void OpenTextEntry(IControl* control, const TextStyle& style, const Rect& rect, const std::string& text,
                     int parameter) override;
  void PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) override;
  bool OpenWebAddress(const char* url, const char* caption, const char* question, const char* failureText) override;
  // parent is the host's X11 window id. False fast when there is no display or it cannot be reached.
  bool OpenWindow(void* parent) override;
  void CloseWindow() override;
  void CloseAllWindows() override;
  void* NativeWindow() const override;
  std::string HostProgramFolder() override;
  std::string ModuleFolder() override;

 private:
  friend struct X11Session;
  // Xft.dpi of the display, else GDK_SCALE.
  int DetectScale() override;
  // On the window's thread: the window takes the new scale's size.
  void WindowScaleChanged() override;
  // The session when called on its thread, else null.
  X11Session* Current() const;
  // Joins the threads of closed windows that have finished; with wait, all of them.
  void ReapClosed(bool wait);

  std::unique_ptr<X11Session> mSession;             // the open window, or null
  std::vector<std::unique_ptr<X11Session>> mClosed;  // closed windows whose thread may still run
  std::atomic<bool> mOpen{false};
  std::mutex mEditorLock;                            // held by a window thread while it does editor work
};
