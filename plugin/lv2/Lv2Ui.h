// The LV2 UI (ui:X11UI): the plug-in's own editor, opened in the host's window through the instance's
// AEffect (instance access), kept live by the host's idle calls. Edits made in the editor reach the host
// as port writes framed by touch begin and end; values the plug-in changed by itself (a program chosen
// on the face, a restored state) are written too, so that the host's ports follow the instrument. Host
// changes arrive as port events and go to the face. All calls come on the host's GUI thread.
#pragma once

#include <lv2/ui/ui.h>

#include <vector>

#include "plugin/lv2/EditGestures.h"

class Lv2Plugin;

class Lv2Ui {
 public:
  // Null when the host gives no parent window or no instance access, or the editor does not open.
  static Lv2Ui* Create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                       const LV2_Feature* const* features);
  ~Lv2Ui();
  Lv2Ui(const Lv2Ui&) = delete;
  Lv2Ui& operator=(const Lv2Ui&) = delete;

  void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // 0 while the UI stays open.
  int Idle();

 private:
  Lv2Ui(Lv2Plugin* plugin, LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch);
  // Gestures as touch begin and end, changed values as port writes.
  void PassEditsToHost();
  void Write(int parameter, float value);

  Lv2Plugin* mPlugin;
  LV2UI_Write_Function mWrite;
  LV2UI_Controller mController;
  const LV2UI_Touch* mTouch;
  const LV2UI_Resize* mResize = nullptr;
  std::vector<float> mHostValues;    // each port's value as the host last told it or was told
  std::vector<float> mPluginValues;  // each parameter's value at the last idle call
  std::vector<float> mNow;           // each parameter's value at this idle call
  std::vector<EditGestures::Pending> mEdits;
};
