// The editor object as the plug-in base sees it: the face that shows the parameter values.
#pragma once

// The window layer derives from this; the plug-in base owns the object for the life of the instance.
class IGraphics {
 public:
  IGraphics(int width, int height) : mWidth(width), mHeight(height) {}
  virtual ~IGraphics() = default;
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }

  // A parameter changed outside the editor (host, MIDI, program load): controls bound to index store the
  // value and mark themselves for redraw. value is plain unless normalized is true. Any thread, under the
  // plug-in lock; nothing is sent back to the plug-in.
  virtual void ApplyParameterFromPlugin(int index, double value, bool normalized) = 0;

  // Attachment to the plug-in, under its lock: the normalized value goes to every control bound to index
  // and to every auxiliary binding of a control to it.
  virtual void SetControlsFromPlugin(int index, double normalized) = 0;
  // Attachment to the plug-in: creates the drawing surface (Width() x Height()) and the scratch bitmap.
  virtual void CreateSurfaces() = 0;

  // The host's editor-open call, on its user-interface thread: creates the window inside the host's
  // window parent. False when no window can be made (the base has no window layer).
  virtual bool OpenWindow(void* parent) {
    (void)parent;
    return false;
  }
  // The host's editor-close call: destroys the window; the controls stay.
  virtual void CloseWindow() {}

 protected:
  int mWidth;
  int mHeight;
};
