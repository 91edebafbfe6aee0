// The headless window layer, for tests and tools: it draws into the memory surface, takes scripted
// mouse, wheel and key events in editor coordinates, and answers the platform services from a script
// while recording what it was asked. Unscripted questions get the answer that changes nothing: No, a
// cancelled dialog, a dismissed menu.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "editor/IGraphics.h"

class IGraphicsHeadless : public IGraphics {
 public:
  struct Message {
    std::string text;
    std::string caption;
    int type;
  };
  struct FilePrompt {
    std::string proposedFile;
    int action;
    std::string folder;
    std::string extensions;
  };
  struct MenuShown {
    std::vector<std::string> entries;  // top-level entries as shown
    Rect rect;
  };
  struct TextEntry {
    IControl* control = nullptr;
    Rect rect;
    std::string text;
    int parameter = -1;
  };

  // Without a size it only answers the platform services (message boxes, dialogs, menus).
  explicit IGraphicsHeadless(EditorHost* plug = nullptr, int width = 0, int height = 0)
      : IGraphics(plug, width, height) {}

  // ---- Script ----
  // The next message box answers this (kAnswerYes, kAnswerNo, kAnswerOk).
  void QueueAnswer(int answer) { mAnswers.push_back(answer); }
  // The next file dialog returns this path; an empty path cancels it.
  void QueueFile(const std::string& path) { mFiles.push_back(path); }
  // The next pop-up menu chooses this command id (depth-first numbering); -1 dismisses it.
  void QueueMenuChoice(int command) { mMenuChoices.push_back(command); }
  // Whether opening a web address succeeds (there is no browser to hand it to).
  void SetWebAvailable(bool available) { mWebAvailable = available; }
  // Whether OpenWindow succeeds (a pretend window: ticks and paints work the same either way).
  void SetWindowAvailable(bool available) { mWindowAvailable = available; }

  // ---- Events, as a window layer delivers them ----
  // A press commits an open text entry instead of reaching a control.
  void MouseDown(int x, int y, const MouseMods& mods);
  void MouseMove(int x, int y, const MouseMods& mods);
  void MouseUp(int x, int y, const MouseMods& mods);
  void DoubleClick(int x, int y, const MouseMods& mods);
  // delta in wheel units (120 a notch); cancels an open text entry instead.
  void Wheel(int x, int y, int delta, const MouseMods& mods = MouseMods());
  // True when the editor took the key; others are recorded as passed on to the host.
  bool Key(int key);
  // One redraw tick: the dirty area is painted. Returns the area (empty when nothing was dirty).
  Rect Tick();
  // Repaints the whole face.
  void PaintAll();

  // A text entry the script completes: commit with text, or cancel.
  bool TextEntryOpen() const { return mEntry.control != nullptr; }
  const TextEntry& OpenEntry() const { return mEntry; }
  void CommitTextEntry(const std::string& text);

  // ---- Records ----
  const std::vector<Message>& Messages() const { return mMessages; }
  const std::vector<FilePrompt>& FilePrompts() const { return mFilePrompts; }
  const std::vector<std::string>& OpenedAddresses() const { return mOpenedAddresses; }
  const std::vector<MenuShown>& MenusShown() const { return mMenus; }
  const std::vector<int>& KeysPassedOn() const { return mKeysPassedOn; }
  const std::vector<Rect>& CopiedAreas() const { return mCopied; }
  void ClearRecords();

  // ---- Platform services ----
  void CopyToWindow(const Rect& rect) override { mCopied.push_back(rect); }
  void CancelTextEntry() override { mEntry = TextEntry(); }
  bool IsWindowOpen() const override { return mWindowOpen; }
  int ShowMessage(const char* text, const char* caption, int type) override;
  PopupMenu* ShowPopupMenu(PopupMenu& menu, const Rect& rect) override;
  void OpenTextEntry(IControl* control, const TextStyle& style, const Rect& rect, const std::string& text,
                     int parameter) override;
  void PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) override;
  bool OpenWebAddress(const char* url, const char* caption, const char* question, const char* failureText) override;
  bool OpenWindow(void* parent) override;
  void CloseWindow() override {
    ReleaseMouseHold();
    mWindowOpen = false;
  }
  std::string HostProgramFolder() override;
  std::string ModuleFolder() override;

 private:
  std::deque<int> mAnswers;
  std::deque<std::string> mFiles;
  std::deque<int> mMenuChoices;
  bool mWebAvailable = true;
  bool mWindowAvailable = false;
  bool mWindowOpen = false;
  TextEntry mEntry;
  std::vector<Message> mMessages;
  std::vector<FilePrompt> mFilePrompts;
  std::vector<std::string> mOpenedAddresses;
  std::vector<MenuShown> mMenus;
  std::vector<int> mKeysPassedOn;
  std::vector<Rect> mCopied;
};
