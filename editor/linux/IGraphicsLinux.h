// The editor's Linux layer: no desktop yet, so every question a command asks is answered from a script
// (queued answers and chosen files) and every text shown is recorded. Unscripted questions get the
// answer that changes nothing: No, or a cancelled dialog.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "editor/IGraphics.h"

class IGraphicsLinux : public IGraphics {
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

  IGraphicsLinux(int width, int height) : IGraphics(width, height) {}

  // The next message box answers this (kAnswerYes, kAnswerNo, kAnswerOk).
  void QueueAnswer(int answer) { mAnswers.push_back(answer); }
  // The next file dialog returns this path; an empty path cancels it.
  void QueueFile(const std::string& path) { mFiles.push_back(path); }
  // Whether opening a web address succeeds (there is no browser to hand it to).
  void SetWebAvailable(bool available) { mWebAvailable = available; }

  const std::vector<Message>& Messages() const { return mMessages; }
  const std::vector<FilePrompt>& FilePrompts() const { return mFilePrompts; }
  const std::vector<std::string>& OpenedAddresses() const { return mOpenedAddresses; }
  void ClearRecords();

  int ShowMessage(const char* text, const char* caption, int type) override;
  void PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) override;
  bool OpenWebAddress(const char* url, const char* caption, const char* question, const char* failureText) override;
  std::string HostProgramFolder() override;
  std::string ModuleFolder() override;

 private:
  std::deque<int> mAnswers;
  std::deque<std::string> mFiles;
  bool mWebAvailable = true;
  std::vector<Message> mMessages;
  std::vector<FilePrompt> mFilePrompts;
  std::vector<std::string> mOpenedAddresses;
};
