// The editor object as the plug-in base and the shell see it: the face that shows the parameter values,
// and the platform services (message box, file chooser, web address, folders) that commands use.
#pragma once

#include <string>

// The window layer derives from this; the plug-in base owns the object for the life of the instance.
class IGraphics {
 public:
  // Message-box types and answers, as the Windows message box has them.
  static constexpr int kMessageOk = 0;
  static constexpr int kMessageYesNo = 4;
  static constexpr int kMessageError = 16;        // error icon, OK button
  static constexpr int kMessageInformation = 64;  // information icon, OK button
  static constexpr int kAnswerOk = 1;
  static constexpr int kAnswerYes = 6;
  static constexpr int kAnswerNo = 7;
  // File chooser actions.
  static constexpr int kFileOpen = 0;
  static constexpr int kFileSave = 1;

  IGraphics(int width, int height) : mWidth(width), mHeight(height) {}
  virtual ~IGraphics() = default;
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }

  // A parameter changed outside the editor (host, MIDI, program load): controls bound to index store the
  // value and mark themselves for redraw. value is plain unless normalized is true. Any thread, under the
  // plug-in lock; nothing is sent back to the plug-in. The base has no controls yet.
  virtual void ApplyParameterFromPlugin(int index, double value, bool normalized);

  // Attachment to the plug-in, under its lock: the normalized value goes to every control bound to index
  // and to every auxiliary binding of a control to it.
  virtual void SetControlsFromPlugin(int index, double normalized);
  // Attachment to the plug-in: creates the drawing surface (Width() x Height()) and the scratch bitmap.
  virtual void CreateSurfaces() {}

  // The host's editor-open call, on its user-interface thread: creates the window inside the host's
  // window parent. False when no window can be made (the base has no window layer).
  virtual bool OpenWindow(void* parent);
  // The host's editor-close call: destroys the window; the controls stay.
  virtual void CloseWindow() {}

  // ---- Platform services, on the editor's thread ----
  // A message box of the given type; returns the answer (kAnswerYes, kAnswerNo, kAnswerOk), or 0 when
  // no box could be shown.
  virtual int ShowMessage(const char* text, const char* caption, int type);
  // A save (kFileSave) or open dialog for the space-separated extension list. file holds the proposed
  // name on entry and the chosen path on return, or is empty when the dialog was cancelled; folder
  // is the starting folder and becomes the chosen file's folder.
  virtual void PromptForFile(std::string& file, int action, std::string& folder, const char* extensions);
  // Asks question (when given) in a Yes/No box and opens url only on Yes. True when the address was
  // opened; otherwise failureText (when given) is shown and the result is false.
  virtual bool OpenWebAddress(const char* url, const char* caption, const char* question, const char* failureText);
  // Folders end with the platform's separator; empty when unknown. The desktop and application-data
  // folders come from the user-folder queries of the platform being built.
  virtual std::string HostProgramFolder();
  virtual std::string ModuleFolder();
  virtual std::string DesktopFolder();
  virtual std::string AppDataFolder(bool common);

 protected:
  int mWidth;
  int mHeight;
};
