#include "editor/headless/IGraphicsHeadless.h"

#include "editor/EditorFactory.h"
#include "editor/IControl.h"
#include "editor/PopupMenu.h"
#include "editor/linux/ProcessFolders.h"

void IGraphicsHeadless::ClearRecords() {
  mMessages.clear();
  mFilePrompts.clear();
  mOpenedAddresses.clear();
  mMenus.clear();
  mKeysPassedOn.clear();
  mCopied.clear();
}

// ---- Events ----

void IGraphicsHeadless::MouseDown(int x, int y, const MouseMods& mods) {
  if (TextEntryOpen()) {
    CommitTextEntry(mEntry.text);
    return;
  }
  HandleMouseDown(x, y, mods);
}

void IGraphicsHeadless::MouseMove(int x, int y, const MouseMods& mods) {
  if (TextEntryOpen()) return;
  if (mods.left || mods.right) {
    HandleMouseDrag(x, y, mods);
  } else {
    HandleMouseOver(x, y, mods);
  }
}

void IGraphicsHeadless::MouseUp(int x, int y, const MouseMods& mods) { HandleMouseUp(x, y, mods); }

void IGraphicsHeadless::DoubleClick(int x, int y, const MouseMods& mods) { HandleDoubleClick(x, y, mods); }

void IGraphicsHeadless::Wheel(int x, int y, int delta, const MouseMods& mods) {
  if (TextEntryOpen()) {
    CancelTextEntry();
    return;
  }
  HandleMouseWheel(x, y, mods, AccumulateWheel(delta));
}

bool IGraphicsHeadless::Key(int key) {
  if (HandleKeyDown(mMouseX, mMouseY, key)) return true;
  mKeysPassedOn.push_back(key);
  return false;
}

Rect IGraphicsHeadless::Tick() {
  Rect area;
  if (!CollectDirtyArea(area)) return Rect();
  PaintArea(area);
  return area;
}

void IGraphicsHeadless::PaintAll() {
  ApplyWantedScale();
  SyncFromPlugin();
  PaintArea(Rect(0, 0, mWidth, mHeight));
}

void IGraphicsHeadless::CommitTextEntry(const std::string& text) {
  if (!TextEntryOpen()) return;
  const TextEntry entry = mEntry;
  mEntry = TextEntry();
  ApplyTextEntry(entry.control, entry.parameter, text);
}

// ---- Platform services ----

int IGraphicsHeadless::ShowMessage(const char* text, const char* caption, int type) {
  mMessages.push_back({text ? text : "", caption ? caption : "", type});
  if (!mAnswers.empty()) {
    const int answer = mAnswers.front();
    mAnswers.pop_front();
    return answer;
  }
  return (type & 0xF) == kMessageYesNo ? kAnswerNo : kAnswerOk;
}

PopupMenu* IGraphicsHeadless::ShowPopupMenu(PopupMenu& menu, const Rect& rect) {
  ReleaseCapture();
  MenuShown shown;
  shown.rect = rect;
  for (int i = 0; i < menu.NItems(); ++i) shown.entries.push_back(menu.DisplayText(i));
  mMenus.push_back(shown);
  int command = -1;
  if (!mMenuChoices.empty()) {
    command = mMenuChoices.front();
    mMenuChoices.pop_front();
  }
  int position = -1;
  PopupMenu* chosen = command >= 0 ? menu.FindCommand(command, position) : nullptr;
  // As with a real menu, entries that cannot be chosen are not: the menu is dismissed.
  if (!chosen || !chosen->Item(position)->Choosable()) return nullptr;
  chosen->SetChosenPosition(position);
  return chosen;
}

void IGraphicsHeadless::OpenTextEntry(IControl* control, const TextStyle&, const Rect& rect, const std::string& text,
                                      int parameter) {
  if (!control || TextEntryOpen()) return;
  mEntry.control = control;
  mEntry.rect = rect;
  mEntry.text = text;
  mEntry.parameter = parameter;
}

void IGraphicsHeadless::PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) {
  mFilePrompts.push_back({file, action, folder, extensions ? extensions : ""});
  if (mFiles.empty()) {
    file.clear();
    return;
  }
  file = mFiles.front();
  mFiles.pop_front();
  if (file.empty()) return;
  folder = FolderWithSeparator(file);
}

bool IGraphicsHeadless::OpenWebAddress(const char* url, const char* caption, const char* question,
                                       const char* failureText) {
  if (question && question[0] && ShowMessage(question, caption, kMessageYesNo) != kAnswerYes) return false;
  if (url && mWebAvailable) {
    mOpenedAddresses.push_back(url);
    return true;
  }
  if (failureText && failureText[0]) ShowMessage(failureText, caption, kMessageOk);
  return false;
}

bool IGraphicsHeadless::OpenWindow(void*) {
  if (!mWindowAvailable) return false;
  mWindowOpen = true;
  MarkAllDirty();
  return true;
}

std::string IGraphicsHeadless::HostProgramFolder() { return RunningProgramFolder(); }

std::string IGraphicsHeadless::ModuleFolder() { return ThisModuleFolder(); }

// The editor of the Linux tests and tools, which link this layer.
std::unique_ptr<IGraphics> CreatePlatformEditor(EditorHost* plug, int width, int height) {
  return std::make_unique<IGraphicsHeadless>(plug, width, height);
}
