// The editor opcodes from the host's side: the editor's rectangle, opening on a parent window,
// idling, closing, and host changes reaching the editor's controls.
#include <gtest/gtest.h>

#include <vector>

#include "editor/face/FaceLayout.h"
#include "tests/vst/TestSynthProtocol.h"
#include "tests/vst/host/VstTestHost.h"

TEST(EditorCalls, RectangleOpenIdleAndClose) {
  Instance plug;
  plug.Start();
  const bool hasEditor = (plug.effect->flags & effFlagsHasEditor) != 0;
  if (ClickModel()) {
    EXPECT_TRUE(hasEditor);
  }
  ERect* rect = nullptr;
  char parent[16] = {};
  if (hasEditor) {
    EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, kTestEditorHeight);
    EXPECT_EQ(rect->right, kTestEditorWidth);
    EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, nullptr), 0);
    if (ClickModel()) {
      EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, parent), 1);
      EXPECT_EQ(plug.Dispatch(effEditIdle), 0);
      EXPECT_EQ(plug.Dispatch(effEditClose), 1);
      const std::vector<double> readings = plug.Readings();
      EXPECT_EQ(readings[kReadEditorOpened], 1.0);
      EXPECT_EQ(readings[kReadEditorClosed], 1.0);
      // Host changes reach the editor's controls.
      const double updates = readings[kReadEditorUpdates];
      plug.Set(3, 0.5f);
      char on[] = "on";
      plug.Dispatch(effString2Parameter, 5, 0, on);
      EXPECT_EQ(plug.Readings()[kReadEditorUpdates], updates + 2);
    }
  } else {
    // An editor without a window layer: its size is known, but no window opens.
    EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, kFaceWidth);
    EXPECT_EQ(rect->bottom - rect->top, kFaceHeight);
    EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, parent), 0);
  }
}
