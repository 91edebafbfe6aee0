// The instrument with its face on the headless layer, its settings in a folder of its own, and a host
// that records what the plug-in tells it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "shell/Sarn.h"

struct HostLog {
  std::vector<int> opcodes;  // begin edit, automate, end edit, update display
  std::vector<std::pair<int, float>> automated;
  std::vector<std::pair<int, intptr_t>> windowSizes;  // audioMasterSizeWindow's width and height
};
inline HostLog* gHostLog = nullptr;

inline intptr_t LoggingHost(AEffect*, int32_t opcode, int32_t index, intptr_t size, void*, float value) {
  if (!gHostLog) return 0;
  if (opcode == audioMasterSizeWindow) gHostLog->windowSizes.emplace_back(index, size);
  if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit || opcode == audioMasterAutomate ||
      opcode == audioMasterUpdateDisplay) {
    gHostLog->opcodes.push_back(opcode);
  }
  if (opcode == audioMasterAutomate) gHostLog->automated.emplace_back(index, value);
  return 0;
}

class FaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/sarn-face-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    root = name;
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    gHostLog = &log;
    sarn = std::make_unique<Sarn>(LoggingHost);
    editor = static_cast<IGraphicsHeadless*>(sarn->Graphics());
    ASSERT_NE(editor, nullptr);
    editor->PaintAll();
    log = HostLog();
  }
  void TearDown() override {
    sarn.reset();
    gHostLog = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  IControl* Control(int index) const { return editor->GetControl(index); }
  // A press and release in the middle of a control.
  void Click(int index, bool right = false) {
    const Rect& r = Control(index)->DrawRect();
    MouseMods mods;
    (right ? mods.right : mods.left) = true;
    editor->MouseDown((r.left + r.right) / 2, (r.top + r.bottom) / 2, mods);
    editor->MouseUp((r.left + r.right) / 2, (r.top + r.bottom) / 2, mods);
  }
  double Plain(int parameter) const { return sarn->GetParam(parameter)->Value(); }

  std::filesystem::path root;
  HostLog log;
  std::unique_ptr<Sarn> sarn;
  IGraphicsHeadless* editor = nullptr;
};
