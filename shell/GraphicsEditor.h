// The plug-in's editor made of the editor core (IGraphics) in the window layer the build links, and
// the plug-in base as that core sees it.
#pragma once

#include <memory>

#include "editor/EditorFactory.h"
#include "editor/IGraphics.h"
#include "plugin/PluginEditor.h"
#include "shell/PlugEditorHost.h"

class GraphicsEditor : public PluginEditor {
 public:
  using Factory = std::unique_ptr<IGraphics> (*)(EditorHost* host, int width, int height);

  // An editor of width x height for plug, made by make (the platform's editor unless told otherwise).
  GraphicsEditor(IPlugBase& plug, int width, int height, Factory make = CreatePlatformEditor);

  IGraphics& Graphics() const { return *mGraphics; }
  EditorHost& Host() { return mHost; }

  void AttachToPlugin(int parameterCount) override { mGraphics->AttachToPlugin(parameterCount); }
  void ApplyParameterFromPlugin(int index, double value, bool normalized) override {
    mGraphics->ApplyParameterFromPlugin(index, value, normalized);
  }
  void DropPendingValue(int index) override { mGraphics->DropPendingValue(index); }
  // The headless layer names no backend.
  bool HasWindow() const override { return mGraphics->BackendName()[0] != '\0'; }
  int WindowWidth() const override { return mGraphics->WindowWidth(); }
  int WindowHeight() const override { return mGraphics->WindowHeight(); }
  void SetHostScale(double factor) override { mGraphics->SetHostScale(factor); }
  bool OpenWindow(void* parent) override { return mGraphics->OpenWindow(parent); }
  void CloseWindow() override { mGraphics->CloseWindow(); }
  void CloseAllWindows() override { mGraphics->CloseAllWindows(); }
  void* NativeWindow() const override { return mGraphics->NativeWindow(); }

 private:
  PlugEditorHost mHost;
  std::unique_ptr<IGraphics> mGraphics;  // declared after the host it calls, so destroyed first
};
