// The editor's Windows layer: the editor window inside the host's window, its redraw timer, the
// translation of window messages into the core's input entry points, and the platform services
// (menus, text entry, message boxes, file and colour choosers, web addresses, clipboard, folders,
// image resources). Everything here runs on the thread that owns the editor window.
#pragma once

#include <windows.h>

#include <string>

#include "editor/IGraphics.h"

class IGraphicsWin : public IGraphics {
 public:
  // Text-entry states: idle, just focused, painted around, cancel requested, commit requested.
  enum EntryState { kEntryIdle = 0, kEntryFocused = 1, kEntryPainted = 2, kEntryCancel = 3, kEntryCommit = 4 };
  static constexpr int kTimerId = 2;
  static constexpr int kEntryControlId = 99;

  IGraphicsWin(EditorHost* plug, int width, int height) : IGraphics(plug, width, height) {}
  ~IGraphicsWin() override;

  void SetModuleInstance(HINSTANCE instance) { mModuleInstance = instance; }
  HWND Window() const { return mWindow; }
  HWND TextEntryWindow() const { return mEntryWindow; }
  int TextEntryState() const { return mEntryState; }

  // ---- Window ----
  bool OpenWindow(void* parent) override;
  void CloseWindow() override;
  bool IsWindowOpen() const override;
  void* NativeWindow() const override { return mWindow; }
  const char* BackendName() const override { return "Windows GDI"; }
  void CopyToWindow(const Rect& rect) override;

  // ---- Services ----
  int ShowMessage(const char* text, const char* caption, int type) override;
  PopupMenu* ShowPopupMenu(PopupMenu& menu, const Rect& rect) override;
  void OpenTextEntry(IControl* control, const TextStyle& style, const Rect& rect, const std::string& text,
                     int parameter) override;
  void CancelTextEntry() override;
  void PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) override;
  bool PromptForColour(Colour& colour, const char* prompt) override;
  bool OpenWebAddress(const char* url, const char* caption, const char* question, const char* failureText) override;
  std::string HostProgramFolder() override;
  std::string ModuleFolder() override;
  std::string ClipboardText() override;
  void HideCursor() override;
  void RestoreCursor() override;
  std::unique_ptr<LICE_MemBitmap> LoadImageResource(int resourceId, const char* fileName) override;
  void* ImageModule() const override { return mModuleInstance; }

  // The filter text of a file chooser for a space-separated extension list: "*.fxp;*.fxb" twice,
  // each followed by a terminator, then the closing terminator. Empty when it would not fit 256 bytes.
  static std::string FileFilter(const char* extensions);
  // The first extension of the list, at most 15 characters.
  static std::string DefaultExtension(const char* extensions);
  // Editor windows open in this process, and whether the window class is registered.
  static int OpenWindowCount();
  static bool WindowClassRegistered();

 protected:
  // The window that owns message boxes: the outermost parent of the editor window, or, while no editor
  // window exists, this process's top-level window of the class last seen.
  HWND MessageOwner();

  HINSTANCE mModuleInstance = nullptr;
  HWND mWindow = nullptr;
  HWND mOwner = nullptr;
  std::string mOwnerClass;

 private:
  // The system's resolution before a window exists; the host window's monitor once it does.
  int DetectScale() override;
  void WindowScaleChanged() override;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EntryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleEntryMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Sends a key the editor did not take to the host's top-level window.
  LRESULT ForwardKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Tick();
  void HandleEntryTick();
  void CloseTextEntry();
  // The window is going away, whoever destroys it.
  void WindowDestroyed();
  MouseMods ModsFrom(WPARAM wParam) const;

  HWND mParent = nullptr;
  HDC mPaintDC = nullptr;
  int mLastDragX = 0;
  int mLastDragY = 0;
  bool mForwardingKey = false;

  HWND mEntryWindow = nullptr;
  IControl* mEntryControl = nullptr;
  int mEntryParameter = -1;
  bool mEntryBoolean = false;
  WNDPROC mEntryPreviousProc = nullptr;
  int mEntryState = kEntryIdle;
  HFONT mEntryFont = nullptr;
  HBRUSH mEntryBrush = nullptr;
  COLORREF mEntryTextColour = 0;
  COLORREF mEntryBackColour = 0;

  COLORREF* mCustomColours = nullptr;  // the colour chooser's 16, created on first use
};
