// The menus, message boxes and text entry that the editor draws itself, without a window: their
// layout on a screen, what a point hits, what the mouse and keys do, and where they draw.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/MenuTracker.h"
#include "editor/MessageBoxWidget.h"
#include "editor/PopupMenu.h"
#include "editor/TextEntryModel.h"
#include "raster/Bitmap.h"

namespace {

// Every byte of text 7 pixels wide.
int SevenPerByte(const std::string& text) { return 7 * static_cast<int>(text.size()); }

// Entries 0 "Alpha", 1 separator, 2 "Greyed entry" (greyed), 3 "More" with a submenu of "One", "Two"
// (checked) and "Three" (disabled), 4 "Last". The widest text is 84 pixels: the menu is
// 22 + 84 + 24 + 2 = 132 wide and 1 + 20 + 7 + 20 + 20 + 20 + 1 = 89 high.
std::unique_ptr<PopupMenu> TestMenu() {
  auto menu = std::make_unique<PopupMenu>();
  menu->AddItem("Alpha");
  menu->AddSeparator();
  menu->AddItem("Greyed entry", PopupMenuItem::kGreyed);
  auto more = std::make_unique<PopupMenu>();
  more->AddItem("One");
  more->AddItem("Two", PopupMenuItem::kChecked);
  more->AddItem("Three", PopupMenuItem::kDisabled);
  menu->AddSubmenu("More", std::move(more));
  menu->AddItem("Last");
  return menu;
}

TEST(MenuLayout, SizedFromTheTextsAndKeptOnTheScreen) {
  struct Case {
    MenuPlace place;
    int screenWidth, screenHeight;
    int x, y, width;
  };
  const Case cases[] = {
      {{100, 200, 100, 180}, 1000, 800, 100, 200, 132},  // fits
      {{950, 200, 940, 180}, 1000, 800, 808, 200, 132},  // right edge: left of the anchor
      {{100, 750, 100, 730}, 1000, 800, 100, 641, 132},  // bottom edge: above the anchor
      {{950, 750, 940, 730}, 1000, 800, 808, 641, 132},  // the corner
      {{950, 750, 50, 40}, 1000, 800, 0, 0, 132},        // no room before the anchors either
      {{10, 900, 10, 950}, 1000, 800, 10, 711, 132},     // an anchor below the screen counts as its edge
      {{0, 0, 0, 0}, 90, 60, 0, 0, 100},                 // a screen narrower than the menu
  };
  auto menu = TestMenu();
  for (const Case& c : cases) {
    const MenuLayout layout(*menu, SevenPerByte, c.place, c.screenWidth, c.screenHeight);
    EXPECT_EQ(layout.X(), c.x) << c.place.x << ", " << c.place.y;
    EXPECT_EQ(layout.Y(), c.y) << c.place.x << ", " << c.place.y;
    EXPECT_EQ(layout.Width(), c.width) << c.place.x << ", " << c.place.y;
    EXPECT_EQ(layout.Height(), 89);
  }
}

TEST(MenuLayout, EntriesUnderPointsAndWhereTheSubmenuOpens) {
  auto menu = TestMenu();
  const MenuLayout layout(*menu, SevenPerByte, {100, 200, 100, 180}, 1000, 800);
  struct Case {
    int x, y, entry;
  };
  const Case cases[] = {
      {99, 210, -1},  {100, 200, -1},  // left of it, the top frame
      {100, 201, 0},  {231, 220, 0},   {232, 210, -1},  // the first entry to its right edge
      {150, 221, 1},  {150, 227, 1},   {150, 228, 2},   // the separator is 7 high
      {150, 248, 3},  {150, 287, 4},   {150, 288, -1},  {150, 289, -1},  // the last entry, the frame, below
  };
  for (const Case& c : cases) EXPECT_EQ(layout.EntryAt(c.x, c.y), c.entry) << c.x << ", " << c.y;

  const MenuPlace sub = layout.SubmenuPlace(3);
  EXPECT_EQ(sub.x, 230);
  EXPECT_EQ(sub.y, 247);  // its first entry level with "More"
  EXPECT_EQ(sub.anchorLeft, 102);
  EXPECT_EQ(sub.anchorTop, 267);
  // At the right edge of the screen the submenu opens on the left, over its anchor.
  const MenuLayout edge(*menu->Item(3)->submenu, SevenPerByte, sub, 300, 800);
  EXPECT_EQ(edge.X(), 102 - edge.Width());
}

TEST(MenuLayout, DrawsTheHoveredEntryLitTheSeparatorTheArrowAndTheCheck) {
  auto menu = TestMenu();
  const MenuLayout layout(*menu, SevenPerByte, {0, 0, 0, 0}, 1000, 800);
  LICE_MemBitmap b(layout.Width(), layout.Height());
  layout.Draw(b, nullptr, 0);
  EXPECT_EQ(b.Row(0)[50], dialog::kFrame);
  EXPECT_EQ(b.Row(10)[0], dialog::kFrame);
  EXPECT_EQ(b.Row(10)[50], dialog::kHighlight);
  EXPECT_EQ(b.Row(21 + 3)[50], dialog::kFrame);  // the separator's line
  EXPECT_EQ(b.Row(21 + 2)[50], dialog::kFace);
  EXPECT_EQ(b.Row(48 + 6 + 3)[132 - 14], dialog::kInk);  // the submenu's arrow
  // A greyed entry is never lit.
  layout.Draw(b, nullptr, 2);
  EXPECT_EQ(b.Row(10)[50], dialog::kFace);
  EXPECT_EQ(b.Row(38)[50], dialog::kFace);

  const MenuLayout sub(*menu->Item(3)->submenu, SevenPerByte, {0, 0, 0, 0}, 1000, 800);
  LICE_MemBitmap s(sub.Width(), sub.Height());
  sub.Draw(s, nullptr, -1);
  EXPECT_EQ(s.Row(21 + 6 + 4)[7], dialog::kInk);   // the check mark of "Two"
  EXPECT_EQ(s.Row(1 + 6 + 4)[7], dialog::kFace);   // none for "One"
}

// Records what a menu's view is told.
class RecordingView : public MenuView {
 public:
  void LevelOpened(int level) override { events.push_back("open " + std::to_string(level)); }
  void LevelClosing(int level) override { events.push_back("close " + std::to_string(level)); }
  void LevelChanged(int level) override { events.push_back("change " + std::to_string(level)); }
  std::vector<std::string> Take() { return std::move(events); }
  std::vector<std::string> events;
};

using Events = std::vector<std::string>;

TEST(MenuTracker, HoverOpensAndClosesSubmenusAndOnlyAChoosableEntryIsChosen) {
  auto menu = TestMenu();
  RecordingView view;
  MenuTracker tracker(SevenPerByte, 1000, 800, &view);
  tracker.Open(*menu, {100, 200, 100, 180});
  EXPECT_EQ(view.Take(), Events{"open 0"});

  tracker.Release(150, 210);  // the release of the click that opened the menu
  EXPECT_FALSE(tracker.Done());
  tracker.Move(150, 238);
  EXPECT_EQ(view.Take(), Events{"change 0"});
  EXPECT_EQ(tracker.Hovered(0), 2);
  tracker.Release(150, 238);  // greyed
  EXPECT_FALSE(tracker.Done());

  tracker.Move(150, 258);
  EXPECT_EQ(view.Take(), (Events{"change 0", "open 1"}));
  ASSERT_EQ(tracker.Depth(), 2);
  EXPECT_EQ(tracker.Layout(1).X(), 230);
  EXPECT_EQ(tracker.Layout(1).Y(), 247);
  tracker.Move(150, 259);  // the same entry
  EXPECT_TRUE(view.Take().empty());
  tracker.Release(150, 259);  // a submenu's title
  EXPECT_FALSE(tracker.Done());

  tracker.Move(260, 250);
  EXPECT_EQ(view.Take(), Events{"change 1"});
  tracker.Move(150, 278);  // back on the top level: the submenu closes
  EXPECT_EQ(view.Take(), (Events{"close 1", "change 0"}));
  EXPECT_EQ(tracker.Depth(), 1);
  tracker.Move(150, 258);
  EXPECT_EQ(view.Take(), (Events{"change 0", "open 1"}));

  tracker.Release(260, 247 + 41 + 10);  // "Three", disabled
  EXPECT_FALSE(tracker.Done());
  tracker.Release(260, 247 + 21 + 10);  // "Two"
  ASSERT_TRUE(tracker.Done());
  EXPECT_EQ(tracker.Chosen(), menu->Item(3)->submenu.get());
  EXPECT_EQ(tracker.Chosen()->ChosenPosition(), 1);
  tracker.CloseAll();
  EXPECT_EQ(view.Take(), (Events{"close 1", "close 0"}));
}

TEST(MenuTracker, ClicksOutsideKeysAndPressesEndTheMenu) {
  enum Action { kMove, kPress, kRelease, kEnter, kEscape };
  struct Step {
    Action action;
    int x, y;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    bool done;
    int chosen;  // position in the top level, or -1
  };
  const Case cases[] = {
      {"a press outside dismisses", {{kPress, 99, 210}}, true, -1},
      {"Escape dismisses", {{kMove, 150, 210}, {kEscape, 0, 0}}, true, -1},
      {"Enter chooses the hovered entry", {{kMove, 150, 278}, {kEnter, 0, 0}}, true, 4},
      {"Enter on nothing hovered does nothing", {{kEnter, 0, 0}}, false, -1},
      {"Enter on a submenu's title does nothing", {{kMove, 150, 258}, {kEnter, 0, 0}}, false, -1},
      {"a press arms the release", {{kPress, 150, 210}, {kRelease, 150, 210}}, true, 0},
      {"a release outside chooses nothing", {{kPress, 150, 210}, {kRelease, 50, 210}}, false, -1},
  };
  for (const Case& c : cases) {
    auto menu = TestMenu();
    MenuTracker tracker(SevenPerByte, 1000, 800, nullptr);
    tracker.Open(*menu, {100, 200, 100, 180});
    for (const Step& s : c.steps) {
      if (s.action == kMove) tracker.Move(s.x, s.y);
      if (s.action == kPress) tracker.Press(s.x, s.y);
      if (s.action == kRelease) tracker.Release(s.x, s.y);
      if (s.action == kEnter) tracker.Enter();
      if (s.action == kEscape) tracker.Escape();
    }
    EXPECT_EQ(tracker.Done(), c.done) << c.what;
    EXPECT_EQ(tracker.Chosen(), c.chosen >= 0 ? menu.get() : nullptr) << c.what;
    if (c.chosen >= 0) {
      EXPECT_EQ(menu->ChosenPosition(), c.chosen) << c.what;
    }
  }
}

TEST(MessageBoxWidget, LinesAndButtonsLaidOutForTheScreen) {
  struct Case {
    const char* text;
    int type;
    int screenWidth, screenHeight;
    int lines, width, height;
    std::vector<LICE_Rect> buttons;
    std::vector<std::string> labels;
  };
  const std::string fifty(50, 'x');
  const Case cases[] = {
      // "All\tfine" is 11 characters; the minimum width of 240 wins.
      {"Saved.\nAll\tfine\r\n", IGraphics::kMessageOk, 1000, 800, 3, 280, 136, {{98, 94, 182, 120}}, {"OK"}},
      {"Saved.", IGraphics::kMessageError, 1000, 800, 1, 280, 100, {{98, 58, 182, 84}}, {"OK"}},
      {fifty.c_str(), IGraphics::kMessageYesNo, 1000, 800, 1, 390, 100,
       {{106, 58, 190, 84}, {200, 58, 284, 84}}, {"Yes", "No"}},
      {fifty.c_str(), IGraphics::kMessageYesNo, 150, 90, 1, 200, 100,
       {{11, 58, 95, 84}, {105, 58, 189, 84}}, {"Yes", "No"}},
  };
  for (const Case& c : cases) {
    const MessageBoxWidget box(c.text, c.type, SevenPerByte, 18, c.screenWidth, c.screenHeight);
    EXPECT_EQ(static_cast<int>(box.Lines().size()), c.lines) << c.text;
    EXPECT_EQ(box.Width(), c.width) << c.text;
    EXPECT_EQ(box.Height(), c.height) << c.text;
    ASSERT_EQ(box.Buttons(), static_cast<int>(c.buttons.size())) << c.text;
    for (int i = 0; i < box.Buttons(); ++i) {
      const LICE_Rect& r = box.Button(i);
      const LICE_Rect& e = c.buttons[static_cast<size_t>(i)];
      EXPECT_TRUE(r.left == e.left && r.top == e.top && r.right == e.right && r.bottom == e.bottom)
          << c.text << " button " << i << ": " << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom;
      EXPECT_EQ(box.Label(i), c.labels[static_cast<size_t>(i)]);
    }
  }
  const MessageBoxWidget box("a\tb\r", IGraphics::kMessageOk, SevenPerByte, 18, 1000, 800);
  EXPECT_EQ(box.Lines()[0], "a    b");
}

TEST(MessageBoxWidget, ButtonsUnderPointsAndTheAnswersOfClicksAndKeys) {
  MessageBoxWidget box(std::string(50, 'x').c_str(), IGraphics::kMessageYesNo, SevenPerByte, 18, 1000, 800);
  struct Point {
    int x, y, button;
  };
  for (const Point& p : {Point{106, 58, 0}, Point{189, 83, 0}, Point{190, 70, -1}, Point{200, 70, 1},
                         Point{283, 83, 1}, Point{284, 70, -1}, Point{150, 57, -1}, Point{150, 84, -1}}) {
    EXPECT_EQ(box.ButtonAt(p.x, p.y), p.button) << p.x << ", " << p.y;
  }
  // A click answers only when pressed and released on the same button.
  box.Press(150, 70);
  EXPECT_EQ(box.Pressed(), 0);
  EXPECT_EQ(box.Release(150, 70), IGraphics::kAnswerYes);
  EXPECT_EQ(box.Pressed(), -1);
  box.Press(150, 70);
  EXPECT_EQ(box.Release(240, 70), 0);
  box.Press(195, 70);
  EXPECT_EQ(box.Release(240, 70), 0);
  box.Press(240, 70);
  EXPECT_EQ(box.Release(240, 70), IGraphics::kAnswerNo);

  const MessageBoxWidget ok("Done", IGraphics::kMessageInformation, SevenPerByte, 18, 1000, 800);
  struct Key {
    const MessageBoxWidget* box;
    DialogKey key;
    char letter;
    int answer;
  };
  const Key keys[] = {
      {&box, DialogKey::kEnter, 0, IGraphics::kAnswerYes}, {&box, DialogKey::kEscape, 0, IGraphics::kAnswerNo},
      {&box, DialogKey::kOther, 'y', IGraphics::kAnswerYes}, {&box, DialogKey::kOther, 'n', IGraphics::kAnswerNo},
      {&box, DialogKey::kOther, 'x', 0},                   {&box, DialogKey::kBackspace, 0, 0},
      {&ok, DialogKey::kEnter, 0, IGraphics::kAnswerOk},   {&ok, DialogKey::kEscape, 0, IGraphics::kAnswerOk},
      {&ok, DialogKey::kOther, 'y', 0},
  };
  for (const Key& k : keys) {
    EXPECT_EQ(k.box->KeyAnswer(k.key, k.letter), k.answer) << static_cast<int>(k.key) << " " << k.letter;
  }
  EXPECT_EQ(box.Dismissed(), IGraphics::kAnswerNo);
  EXPECT_EQ(ok.Dismissed(), IGraphics::kAnswerOk);
  EXPECT_EQ(MessageBoxWidget::DismissedAnswer(IGraphics::kMessageYesNo | IGraphics::kMessageError),
            IGraphics::kAnswerNo);
}

TEST(MessageBoxWidget, CentredOverItsOwnerAndKeptOnTheScreen) {
  const MessageBoxWidget box(std::string(50, 'x').c_str(), IGraphics::kMessageYesNo, SevenPerByte, 18, 1000, 800);
  struct Case {
    int left, top, width, height, x, y;
  };
  for (const Case& c : {Case{100, 100, 772, 300, 291, 200}, Case{0, 0, 1000, 800, 305, 350},
                        Case{900, 750, 772, 300, 610, 700}, Case{-500, -300, 100, 100, 0, 0}}) {
    int x = -1;
    int y = -1;
    box.PlaceOver(c.left, c.top, c.width, c.height, x, y);
    EXPECT_EQ(x, c.x) << c.left << ", " << c.top;
    EXPECT_EQ(y, c.y) << c.left << ", " << c.top;
  }
}

TEST(MessageBoxWidget, DrawsItsFrameAndThePressedButtonDarker) {
  MessageBoxWidget box(std::string(50, 'x').c_str(), IGraphics::kMessageYesNo, SevenPerByte, 18, 1000, 800);
  LICE_MemBitmap b(box.Width(), box.Height());
  const LICE_pixel raised = LICE_RGBA(225, 225, 225, 255);
  const LICE_pixel pressed = LICE_RGBA(200, 200, 200, 255);
  box.Draw(b, nullptr);
  EXPECT_EQ(b.Row(0)[0], dialog::kFrame);
  EXPECT_EQ(b.Row(99)[389], dialog::kFrame);
  EXPECT_EQ(b.Row(5)[5], dialog::kFace);
  EXPECT_EQ(b.Row(58)[150], dialog::kFrame);  // the top edge of Yes
  EXPECT_EQ(b.Row(70)[106], dialog::kFrame);
  EXPECT_EQ(b.Row(70)[150], raised);
  EXPECT_EQ(b.Row(70)[195], dialog::kFace);   // between the buttons
  box.Press(150, 70);
  box.Draw(b, nullptr);
  EXPECT_EQ(b.Row(70)[150], pressed);
  EXPECT_EQ(b.Row(70)[240], raised);
}

TEST(TextEntryModel, EditsUtf8WithinTheLengthAndEndsCommittedOrCancelled) {
  using Accepts = TextEntryModel::Accepts;
  using State = TextEntryModel::State;
  // kOther with a character types it; the other keys are pressed.
  struct Input {
    DialogKey key;
    unsigned char c;
  };
  const Input back{DialogKey::kBackspace, 0};
  const Input enter{DialogKey::kEnter, 0};
  const Input escape{DialogKey::kEscape, 0};
  auto type = [](unsigned char c) { return Input{DialogKey::kOther, c}; };
  struct Case {
    const char* what;
    std::string text;
    int maxLength;
    Accepts accepts;
    std::vector<Input> inputs;
    std::string result;
    bool selected;
    State state;
    bool lastChanged;
  };
  const Case cases[] = {
      {"opening cuts between characters", "Gr\xC3\xBC\xC3\x9F" "e", 4, Accepts::kText, {},
       "Gr\xC3\xBC\xC3\x9F", true, State::kEditing, false},
      {"Backspace clears the selection", "Gr\xC3\xBC\xC3\x9F" "e", 31, Accepts::kText, {back}, "", false,
       State::kEditing, true},
      {"typing replaces the selection", "Name", 31, Accepts::kText, {type('x')}, "x", false, State::kEditing, true},
      {"Latin-1 becomes UTF-8 and Backspace takes whole characters", "Name", 31, Accepts::kText,
       {type('a'), type(0xDF), type(0xE9), back}, "a\xC3\x9F", false, State::kEditing, true},
      {"Backspace on an empty text", "Name", 31, Accepts::kText, {type(0xE9), back, back, back}, "", false,
       State::kEditing, true},
      {"the limit counts characters, not bytes", "", 3, Accepts::kText,
       {type(0xE9), type(0xE9), type(0xE9), type(0xE9)}, "\xC3\xA9\xC3\xA9\xC3\xA9", false, State::kEditing, false},
      {"a full entry takes nothing more", "", 3, Accepts::kText, {type('a'), type('b'), type('c'), type('d')}, "abc",
       false, State::kEditing, false},
      {"a number takes digits, signs and a point", "7", 31, Accepts::kNumber,
       {type('1'), type('a'), type('.'), type('5'), type('-'), type('+')}, "1.5-+", false, State::kEditing, true},
      {"a whole number takes no point", "7", 31, Accepts::kWholeNumber, {type('1'), type('.'), type('5')}, "15", false,
       State::kEditing, true},
      {"a refused character keeps the selection", "42", 31, Accepts::kNumber, {type('a')}, "42", true,
       State::kEditing, false},
      {"control characters are not typed", "Name", 31, Accepts::kText, {type('\t'), type(0x7F), type(0x08)}, "Name",
       true, State::kEditing, false},
      {"Enter commits", "Name", 31, Accepts::kText, {type('N'), enter}, "N", false, State::kCommit, true},
      {"Escape cancels", "Name", 31, Accepts::kText, {type('N'), escape}, "N", false, State::kCancel, true},
      {"other keys do nothing", "Name", 31, Accepts::kText, {{DialogKey::kOther, 0}}, "Name", true, State::kEditing,
       false},
  };
  for (const Case& c : cases) {
    TextEntryModel model;
    model.Open(c.text, c.maxLength, c.accepts);
    bool changed = false;
    for (const Input& input : c.inputs) {
      changed = input.key == DialogKey::kOther && input.c != 0 ? model.Type(input.c) : model.Key(input.key);
    }
    EXPECT_EQ(model.Text(), c.result) << c.what;
    EXPECT_EQ(model.AllSelected(), c.selected) << c.what;
    EXPECT_TRUE(model.Ending() == c.state) << c.what;
    EXPECT_EQ(changed, c.lastChanged) << c.what;
  }
  // The window ends an entry too, and opening again starts afresh.
  TextEntryModel model;
  model.Open("abc", 0, Accepts::kText);
  EXPECT_EQ(model.Text(), "a");
  model.Commit();
  EXPECT_TRUE(model.Ending() == State::kCommit);
  model.Cancel();
  EXPECT_TRUE(model.Ending() == State::kCancel);
  model.Open("abc", 31, Accepts::kText);
  EXPECT_TRUE(model.Ending() == State::kEditing);
  EXPECT_TRUE(model.AllSelected());
}

}  // namespace
