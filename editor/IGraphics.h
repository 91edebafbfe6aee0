// The platform-independent half of the editor: the owned control list that makes up the face, the
// drawing surface, the shared image and font caches, the routing of window events to controls, and the
// platform services as virtual slots that each window layer fills in.
//
// Threads. Everything runs on the thread that owns the editor window, except ApplyParameterFromPlugin,
// which the host's threads and the audio thread call while the window thread draws. It never blocks
// and never touches a control: it writes the normalized value into the parameter's slot of a mailbox
// (one atomic 64-bit word per parameter, then an atomic pending flag with release order), and the window
// thread drains the mailbox at the start of every redraw tick (SyncFromPlugin), handing each pending
// value to the controls. A value is never torn, a later value overwrites an earlier one that was not
// drawn yet, and the face shows it within one redraw tick. Controls asked to redraw from other threads
// use IControl::RequestRedraw, drained the same way.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/EditorTypes.h"

class EditorHost;
class IControl;
class LICE_IBitmap;
class LICE_MemBitmap;
class LICE_SysBitmap;
class PopupMenu;

class IGraphics {
 public:
  // Message-box types and answers, as the Windows message box has them.
  static constexpr int kMessageOk = 0;
  static constexpr int kMessageYesNo = 4;
  static constexpr int kMessageError = 16;        // error icon, OK button
  static constexpr int kMessageInformation = 64;  // information icon, OK button
  static constexpr int kAnswerOk = 1;
  static constexpr int kAnswerYes = 6;
  static constexpr int kAnswerNo = 7;
  // File chooser actions.
  static constexpr int kFileOpen = 0;
  static constexpr int kFileSave = 1;
  // Quiet redraw ticks after which the plug-in's idle hook runs.
  static constexpr int kIdleTicks = 20;

  // plug may be null (an editor that only offers platform services).
  IGraphics(EditorHost* plug, int width, int height);
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FrameRate() const { return mFrameRate; }
  EditorHost* Plug() const { return mPlug; }

  // ---- The plug-in side ----
  // Attachment to the plug-in (under its lock): the mailbox gets a slot per parameter and the
  // drawing surfaces are created.
  virtual void AttachToPlugin(int parameterCount);
  // Any thread: a parameter changed outside the editor; value is plain unless normalized. Shown at the
  // next tick; nothing is sent back to the plug-in.
  virtual void ApplyParameterFromPlugin(int index, double value, bool normalized);
  // Any thread, with the plug-in's lock held: the parameter was just set from the editor, so a value
  // from the plug-in still waiting in its slot is older and is not shown.
  void DropPendingValue(int index);
  // Editor thread: hands pending parameter values and redraw requests to the controls.
  void SyncFromPlugin();
  // Any thread: a control asked for a redraw (IControl::RequestRedraw).
  void RedrawRequestPosted() { mAnyPending.store(true, std::memory_order_release); }

  // ---- Display scale ----
  // The face is laid out in Width() x Height() units and drawn at Scale() percent (100, 150 or 200):
  // the surface, the images and the text are at that scale, the controls and the mouse in face units.
  // The user's choice wins over the host's request, which wins over what the screen says. Any thread
  // may choose; the editor's thread draws at the new scale from its next tick, resizing an open window
  // and telling the plug-in (EditorHost::ResizeEditor).
  // percent 100, 150 or 200; 0 (or anything else) leaves the choice to the host and the screen.
  void SetUserScale(int percent);
  int UserScale() const { return mUserScale.load(std::memory_order_relaxed); }
  // The host's content scale (1.0 is 100 %); 0 withdraws it.
  void SetHostScale(double factor);
  // Any thread: the scale the window has, or will have at the next tick or when it opens.
  int WantedScale();
  int WindowWidth();
  int WindowHeight();
  // Editor thread: the scale the surface is drawn at.
  int Scale() const { return mScale; }
  // Editor thread: draws at WantedScale() from now on; true when that changed the scale.
  bool ApplyWantedScale();
  // Face units to window pixels and back, at Scale().
  int ToPixels(int units) const;
  Rect ToPixels(const Rect& rect) const;
  int ToUnits(int pixels) const;

  // ---- Controls ----
  // The cached strip for an image resource; decoded once per process. An image that cannot be
  // decoded gives a strip without bitmap (its controls draw nothing).
  BitmapStrip LoadBitmapStrip(int resourceId, const char* fileName, int frames);
  // The background: a one-frame opaque bitmap control of the image's size at the front of the list.
  void AddBackground(int resourceId, const char* fileName);
  // Takes the control and appends it; returns it.
  IControl* AddControl(IControl* control);
  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int index) const;
  // The index of control, or -1.
  int IndexOf(const IControl* control) const;
  // Every control marked for redraw without telling the plug-in (window open).
  void MarkAllDirty();
  // Stores the size, forgets the capture, deletes every control and both surfaces and creates a new
  // surface; tells the plug-in. The same size does nothing.
  void SetSize(int width, int height);

  // ---- Redraw ----
  // Once per timer tick: rect becomes the union of the dirty controls' rectangles. False when nothing
  // is dirty; the 21st quiet tick in a row runs the plug-in's idle hook.
  bool CollectDirtyArea(Rect& rect);
  // Draws every visible control that overlaps area, cleans every control, copies area to the window.
  void PaintArea(const Rect& area);
  const Rect& DrawingRect() const { return mDrawRect; }
  LICE_SysBitmap* Surface() const { return mSurface.get(); }
  int IdleTicks() const { return mIdleTicks; }

  // ---- Input ----
  // A window's event, mapped from its pixels to face units and routed: a move with a button held drags
  // the captured control, without one it hovers; the wheel keeps its remainder. Returns, for a press
  // or double click, whether the window must capture the mouse; for a key, whether a control took it.
  bool HandleWindowEvent(const WindowEvent& event);
  // The same routes in face units (the headless layer's scripted events call them directly).
  void HandleMouseDown(int x, int y, const MouseMods& mods);
  void HandleMouseUp(int x, int y, const MouseMods& mods);
  // True when the window must capture the mouse.
  bool HandleDoubleClick(int x, int y, const MouseMods& mods);
  // A move with a button down: the captured control is dragged by the distance from the last position.
  void HandleMouseDrag(int x, int y, const MouseMods& mods);
  void HandleMouseWheel(int x, int y, const MouseMods& mods, int steps);
  // False when no control takes the key (the window then passes it to the host).
  bool HandleKeyDown(int x, int y, int key);
  bool HandleMouseOver(int x, int y, const MouseMods& mods);
  void HandleMouseOut();
  // The topmost control under the point that is neither hidden nor greyed, or -1.
  int FindControl(int x, int y) const;
  int CapturedControl() const { return mCaptured; }
  void ReleaseCapture() { mCaptured = -1; }
  // The window is going while the mouse holds a control: the control hears its release where the
  // mouse last was, so that a held key's note ends and a gesture gets its end.
  void ReleaseMouseHold();
  void SetKeyCatcher(IControl* control) { mKeyCatcher = control; }
  // Wheel delta (120 per notch) to whole steps, remainder dropped.
  static int WheelSteps(int delta) { return delta / 120; }
  // The steps of one wheel message of a window, with the remainder kept for the next one while the
  // wheel turns the same way: twelve messages of 10 (a touchpad, a fine wheel) make one step.
  int AccumulateWheel(int delta);

  // ---- Drawing services for controls ----
  // Frame counted from 1.
  bool DrawBitmapFrame(const BitmapStrip& strip, const Rect& rect, int frame, const Blend& blend);
  bool DrawBitmapRegion(const BitmapStrip& strip, const Rect& rect, int srcX, int srcY, const Blend& blend);
  bool FillArea(const Colour& colour, const Rect& rect);
  // False when no font could be made for the style; an empty text succeeds and draws nothing.
  bool DrawTextIn(TextStyle& style, const std::string& text, const Rect& rect);
  // Fonts created in this process (the font cache shares them by size, orientation, style and face).
  static int FontsCreated();

  // ---- Platform services (virtual slots, filled in by the window layers) ----
  // Copies rect (window pixels) of the drawing surface to the window.
  virtual void CopyToWindow(const Rect&) {}
  // Measures text as DrawTextIn would draw it; false when no font could be made.
  virtual bool MeasureText(TextStyle& style, const std::string& text, Rect& rect);
  // A pending text entry is dropped at the next tick.
  virtual void CancelTextEntry() {}
  virtual void ResizeWindow(int width, int height);
  virtual bool IsWindowOpen() const { return false; }
  virtual const char* BackendName() const { return ""; }
  // A message box of the given type; returns the answer (kAnswerYes, kAnswerNo, kAnswerOk), or 0 when
  // no box could be shown.
  virtual int ShowMessage(const char* text, const char* caption, int type);
  // Shows menu at rect's left-bottom corner; returns the menu or submenu holding the chosen entry with
  // its chosen position set, or null when dismissed.
  virtual PopupMenu* ShowPopupMenu(PopupMenu& menu, const Rect& rect);
  // A single-line entry over rect for control (parameter -1: the control gets TextEntered).
  virtual void OpenTextEntry(IControl* control, const TextStyle& style, const Rect& rect, const std::string& text,
                             int parameter);
  // Folders end with the platform's separator; empty when unknown.
  virtual std::string HostProgramFolder();
  virtual std::string ModuleFolder();
  virtual std::string DesktopFolder();
  virtual std::string AppDataFolder(bool common);
  // A save (kFileSave) or open dialog for the space-separated extension list. file holds the proposed
  // name on entry and the chosen path on return, or is empty when the dialog was cancelled; folder is
  // the starting folder and becomes the chosen file's folder.
  virtual void PromptForFile(std::string& file, int action, std::string& folder, const char* extensions);
  // The extensions of a space-separated list, in order, without the dot ("fxp fxb": "fxp", "fxb").
  static std::vector<std::string> FileExtensions(const char* list);
  // True when a colour was chosen (alpha unchanged).
  virtual bool PromptForColour(Colour& colour, const char* prompt);
  // Asks question (when given) in a Yes/No box and opens url only on Yes. True when the address was
  // opened; otherwise failureText (when given) is shown and the result is false.
  virtual bool OpenWebAddress(const char* url, const char* caption, const char* question, const char* failureText);
  // The host's editor-open call: creates the window inside parent. False when no window can be made.
  virtual bool OpenWindow(void* parent);
  // The host's editor-close call: destroys the window; the controls stay.
  virtual void CloseWindow() {}
  // Closes the window and returns only once no thread of this editor runs any more, however long
  // that takes: the last call before the plug-in that the editor draws goes away.
  virtual void CloseAllWindows() { CloseWindow(); }
  virtual void* NativeWindow() const { return nullptr; }
  // The clipboard's text as UTF-8, or empty.
  virtual std::string ClipboardText() { return {}; }
  virtual void HideCursor() {}
  virtual void RestoreCursor() {}
  // Decodes an image resource of the module (only names ending in "png", any case); null on failure.
  virtual std::unique_ptr<LICE_MemBitmap> LoadImageResource(int resourceId, const char* fileName);
  // The module whose built-in images LoadBitmapStrip reads (a Windows HINSTANCE; null for this one).
  virtual void* ImageModule() const { return nullptr; }

 protected:
  // A finished text entry: with a parameter the text is a display text (switches) or a decimal number
  // given to the control as a user value; without one the control gets TextEntered.
  void ApplyTextEntry(IControl* control, int parameter, const std::string& text);
  // The host hears of a mouse gesture on a parameter as one begin and one end, whatever clicks,
  // double clicks and closes come between.
  void BeginGesture(int parameter);
  void EndGesture();
  // The scale the screen asks for (the platform's setting), or 0 for none; asked once, when a scale
  // is first wanted.
  virtual int DetectScale() { return 0; }
  // A window layer that learns the screen's scale later (the monitor the host's window is on).
  void SetDetectedScale(int percent) { mDetectedScale.store(percent, std::memory_order_relaxed); }
  // The open window takes its new size, WindowWidth() x WindowHeight().
  virtual void WindowScaleChanged() {}
  // Deletes the controls in reverse list order.
  void DeleteControls();
  void CreateSurface();
  // The image cache's entry for an identifier (decoded when first drawn); null when there is none.
  // builtInOnly: only an image built into the module, not LoadImageResource's.
  LICE_IBitmap* CachedImage(int resourceId, const char* fileName, bool builtInOnly);
  // Copies the image from (srcX, srcY) to the target rectangle, in surface pixels.
  bool DrawImage(const LICE_IBitmap& image, const Rect& target, int srcX, int srcY, const Blend& blend);

  std::vector<std::unique_ptr<IControl>> mControls;
  EditorHost* mPlug;
  bool mCursorHidden = false;
  int mHiddenCursorX = -1;
  int mHiddenCursorY = -1;
  std::unique_ptr<LICE_SysBitmap> mSurface;
  std::unique_ptr<LICE_MemBitmap> mScratch;
  int mWidth;
  int mHeight;
  int mScale = 100;
  int mFrameRate = 25;
  int mIdleTicks = 0;
  int mCaptured = -1;
  int mHovered = -1;
  int mWheelRemainder = 0;
  int mGesture = -1;  // the parameter whose begin the host has had without its end, or -1
  int mMouseX = 0;
  int mMouseY = 0;
  bool mMouseOverEnabled = false;
  bool mStrictDrawing = true;
  bool mToolTipsEnabled = false;
  IControl* mKeyCatcher = nullptr;
  Rect mDrawRect;
  bool mPainting = false;  // drawing is clipped to mDrawRect while a repaint runs

 private:
  struct MailboxSlot {
    std::atomic<uint64_t> bits{0};
    std::atomic<bool> pending{false};
  };
  void PushToControls(int index, double normalized);

  std::unique_ptr<MailboxSlot[]> mMailbox;
  int mMailboxSize = 0;
  std::atomic<bool> mAnyPending{false};  // some slot or control has something for the next tick
  std::atomic<int> mUserScale{0};
  std::atomic<int> mHostScale{0};
  std::atomic<int> mDetectedScale{-1};  // -1 until the screen was asked
};
