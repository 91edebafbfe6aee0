// The editor's Windows layer: the platform services that the shell's commands use. The editor window
// itself (creation, timer, painting, input) joins this class with the face.
#pragma once

#include <windows.h>

#include <string>

#include "editor/IGraphics.h"

class IGraphicsWin : public IGraphics {
 public:
  IGraphicsWin(EditorHost* plug, int width, int height) : IGraphics(plug, width, height) {}

  void SetModuleInstance(HINSTANCE instance) { mModuleInstance = instance; }
  HWND Window() const { return mWindow; }

  int ShowMessage(const char* text, const char* caption, int type) override;
  void PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) override;
  bool OpenWebAddress(const char* url, const char* caption, const char* question, const char* failureText) override;
  std::string HostProgramFolder() override;
  std::string ModuleFolder() override;

  // The filter text of a file chooser for a space-separated extension list: "*.fxp;*.fxb" twice,
  // each followed by a terminator, then the closing terminator. Empty when it would not fit 256 bytes.
  static std::string FileFilter(const char* extensions);
  // The first extension of the list, at most 15 characters.
  static std::string DefaultExtension(const char* extensions);

 protected:
  // The window that owns message boxes: the outermost parent of the editor window, or, while no editor
  // window exists, this process's top-level window of the class last seen.
  HWND MessageOwner();

  HINSTANCE mModuleInstance = nullptr;
  HWND mWindow = nullptr;
  HWND mOwner = nullptr;
  std::string mOwnerClass;
};
