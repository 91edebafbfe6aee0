// Inside the X11 window layer: one open editor window with its display connection and thread, and the
// pieces the menus, message boxes and the text entry share. Only editor/x11/ includes this.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "editor/DialogKey.h"
#include "editor/EditorTypes.h"
#include "editor/TextEntryModel.h"
#include "raster/Bitmap.h"
#include "raster/CachedFont.h"

class IControl;
class IGraphicsX11;
class PopupMenu;

// How pixels of our 32-bit bitmaps reach a window of one visual.
struct X11Pixels {
  Visual* visual = nullptr;
  int depth = 0;
  bool direct = false;  // the visual's pixels are ours (24-bit TrueColor, 8 bits each of red, green, blue)
};

// Copies area of bitmap to (x, y) of a drawable.
void PutBitmap(Display* display, Drawable target, GC gc, const X11Pixels& pixels, LICE_IBitmap& bitmap,
               const LICE_Rect& area, int x, int y);

// A font of our raster layer for menus, message boxes and the entry; null when none could be made.
std::unique_ptr<LICE_CachedFont> MakeFont(const char* face, int height, bool bold, bool italic);
// The key our menus, boxes and entry act on.
DialogKey DialogKeyOf(KeySym key);

// Our display connections: X errors on them are recorded here and never end the process.
void RegisterDisplay(Display* display);
void UnregisterDisplay(Display* display);
// The error code of the last X error on display since the previous call (0: none); clears it.
int TakeDisplayError(Display* display);

// Waits until display has events, wakeFd becomes readable or timeoutMs passes (-1: no limit).
// False when the connection broke.
bool WaitForDisplay(Display* display, int wakeFd, int timeoutMs);

// The search path's executable of that name, or empty.
std::string FindProgram(const char* name);
// Runs argv (no shell), collecting its standard output, until it ends or stop becomes true (then it is
// killed). Returns its exit status, or -1 when it could not be run or was stopped.
int RunAndRead(const std::vector<std::string>& argv, std::string& output, const std::atomic<bool>* stop, int wakeFd);
// Starts argv (no shell) detached from us; true when the program could be started.
bool StartDetached(const std::vector<std::string>& argv);

struct X11TextEntry {
  IControl* control = nullptr;  // null: no entry open
  int parameter = -1;
  Window window = 0;
  Rect rect;
  TextStyle style;
  TextEntryModel model;
  std::unique_ptr<LICE_CachedFont> font;
  LICE_MemBitmap bitmap;
};

struct X11Session {
  explicit X11Session(IGraphicsX11& owner) : editor(owner) {}
  ~X11Session();

  // On the host's thread: connects, creates the child window of parent and maps it. False (with
  // everything released) when there is no display, it cannot be reached or parent is no window.
  bool Open(Window parent);
  void Start();
  // Asks the thread to stop; waits up to timeoutMs; true when it has finished (then it is joined).
  bool Stop(int timeoutMs);
  bool Finished() const { return finished.load(std::memory_order_acquire); }
  bool OnThread() const { return std::this_thread::get_id() == threadId; }
  bool Stopping() const { return stop.load(std::memory_order_acquire) || broken; }

  // ---- On the session's thread ----
  void Run();
  void Handle(XEvent& event);
  void Tick();
  void Put(const Rect& rect);
  // Events for the editor window while a menu or box runs its own loop: only exposure is served.
  void HandleWhileModal(XEvent& event);
  void OpenEntry(IControl* control, const TextStyle& style, const Rect& rect, const std::string& text, int parameter);
  void DrawEntry();
  // What the entry of a parameter (-1: none) takes.
  TextEntryModel::Accepts EntryAccepts(int parameter);
  void EntryKey(XKeyEvent& event);
  void CloseEntry();
  // Ends a pending entry at a tick: commit or cancel.
  bool FinishEntry();
  LICE_CachedFont* UiFont();
  void Wake();

  IGraphicsX11& editor;
  Display* display = nullptr;
  int screen = 0;
  Window root = 0;
  Window parent = 0;
  Window hostTopLevel = 0;  // the host window keys go on to
  Window window = 0;
  Colormap colormap = 0;
  GC gc = nullptr;
  X11Pixels pixels;
  bool windowGone = false;  // destroyed under us (with the host's window)
  bool broken = false;      // the connection failed
  int wakeRead = -1;
  int wakeWrite = -1;
  std::thread thread;
  std::thread::id threadId;
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  std::mutex doneLock;
  std::condition_variable done;

  // Input
  DoubleClickRule doubleClicks;
  unsigned swallowRelease = 0;  // buttons whose release belongs to a press the editor did not take
  X11TextEntry entry;
  std::unique_ptr<LICE_CachedFont> uiFont;
  std::unique_ptr<LICE_CachedFont> uiBoldFont;
  int menuDepth = 0;  // menus and boxes running their own loops
};

// Shows menu below rect (editor coordinates) and runs until a choice, a dismissal or the session stops.
PopupMenu* RunPopupMenu(X11Session& session, PopupMenu& menu, const Rect& rect);
// A modal message box; returns the answer (IGraphics::kAnswer...). session may be null: then display is
// a connection of the caller's own and owner the window to centre on (0: the screen).
int RunMessageBox(Display* display, X11Session* session, Window owner, const char* text, const char* caption, int type);
