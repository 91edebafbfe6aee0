#include "editor/TextEntryModel.h"

#include <algorithm>

namespace {

bool Continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

void TextEntryModel::Open(const std::string& text, int maxLength, Accepts accepts) {
  mMaxLength = std::max(maxLength, 1);
  mAccepts = accepts;
  mAllSelected = true;
  mState = State::kEditing;
  // Cut between characters, never inside one.
  size_t end = 0;
  for (int characters = 0; end < text.size() && characters < mMaxLength; ++characters) {
    ++end;
    while (end < text.size() && Continues(text[end])) ++end;
  }
  mText = text.substr(0, end);
}

int TextEntryModel::Characters() const {
  int characters = 0;
  for (char c : mText) characters += !Continues(c);
  return characters;
}

bool TextEntryModel::Key(DialogKey key) {
  switch (key) {
    case DialogKey::kEnter:
      mState = State::kCommit;
      return true;
    case DialogKey::kEscape:
      mState = State::kCancel;
      return true;
    case DialogKey::kBackspace:
      if (mAllSelected) {
        mText.clear();
      } else {
        // Drops the last UTF-8 character.
        while (!mText.empty() && Continues(mText.back())) mText.pop_back();
        if (!mText.empty()) mText.pop_back();
      }
      mAllSelected = false;
      return true;
    case DialogKey::kOther:
      break;
  }
  return false;
}

bool TextEntryModel::Type(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return false;
  if (mAccepts != Accepts::kText) {
    const bool allowed =
        (c >= '0' && c <= '9') || c == '+' || c == '-' || (mAccepts == Accepts::kNumber && c == '.');
    if (!allowed) return false;
  }
  if (mAllSelected) mText.clear();
  mAllSelected = false;
  // Counted in characters, as the box shows them; Latin-1 from the keyboard becomes UTF-8.
  if (Characters() >= mMaxLength) return false;
  if (c < 0x80) {
    mText += static_cast<char>(c);
  } else {
    mText += static_cast<char>(0xC0 | (c >> 6));
    mText += static_cast<char>(0x80 | (c & 0x3F));
  }
  return true;
}
