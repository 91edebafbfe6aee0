// The editing in a single-line text entry that the editor draws itself: the text, held as UTF-8, opens
// wholly selected; typing replaces a selection and appends up to a length in characters, Backspace
// takes the last character (or the selection), and Enter, Escape or the window decide whether the
// entry ends committed or cancelled.
#pragma once

#include <string>

#include "editor/DialogKey.h"

class TextEntryModel {
 public:
  // What may be typed: any text, or a number (digits and signs, and a decimal point unless whole).
  enum class Accepts { kText, kNumber, kWholeNumber };
  enum class State { kEditing, kCommit, kCancel };

  // Starts editing text, cut to maxLength characters (at least 1).
  void Open(const std::string& text, int maxLength, Accepts accepts);
  // Enter commits, Escape cancels, Backspace deletes. True when the entry must be drawn again.
  bool Key(DialogKey key);
  // A character typed on the keyboard, in Latin-1; control characters are not taken. True when the
  // text changed.
  bool Type(unsigned char c);
  // The entry ends with its text taken (a click elsewhere) or dropped (the wheel, a new scale).
  void Commit() { mState = State::kCommit; }
  void Cancel() { mState = State::kCancel; }

  const std::string& Text() const { return mText; }
  bool AllSelected() const { return mAllSelected; }
  State Ending() const { return mState; }
  // Characters in the text (UTF-8 sequences).
  int Characters() const;

 private:
  std::string mText;
  int mMaxLength = 1;
  Accepts mAccepts = Accepts::kText;
  bool mAllSelected = true;
  State mState = State::kEditing;
};
