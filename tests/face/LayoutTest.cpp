#include <fstream>
#include <sstream>

#include "FaceFixture.h"
#include "editor/face/FaceLayout.h"
#include "editor/face/InstrumentControls.h"

namespace {

const char* ClassOf(IControl* c) {
  if (dynamic_cast<IKLPresetMenu*>(c)) return "IKLPresetMenu";
  if (dynamic_cast<IKLOptionMenu*>(c)) return "IKLOptionMenu";
  if (dynamic_cast<IKLSwitchMidiLearn*>(c)) return "IKLSwitchMidiLearn";
  if (dynamic_cast<IKLUtilityKick*>(c)) return "IKLUtilityKick";
  if (dynamic_cast<IKLKey*>(c)) return "IKLKey";
  if (dynamic_cast<IKLKnobControl*>(c)) return "IKLKnobControl";
  if (dynamic_cast<IKLBitmapControl*>(c)) return "IKLBitmapControl";
  if (dynamic_cast<ITextControl*>(c)) return "ITextControl";
  if (dynamic_cast<IBitmapControl*>(c)) return "IBitmapControl";
  return "?";
}

struct Row {
  int index;
  const char* cls;
  int left, top, width, height;
  int parameter;
  int frames;  // 0: not a strip control
  char direction;  // 'v', 'h' or '-'
  double gearing;
};

// The face's control list: class, rectangle, parameter, frames, direction and gearing of each entry.
const Row kRows[] = {
    {0, "IBitmapControl", 0, 0, kFaceWidth, kFaceHeight, -1, 1, '-', 0},
    {1, "IKLPresetMenu", 399, 24, 242, 16, -1, 0, '-', 0},
    {2, "IKLUtilityKick", 375, 21, 22, 22, -62, 2, '-', 0},
    {3, "IKLUtilityKick", 425, 21, 22, 22, -63, 2, '-', 0},
    {4, "IKLOptionMenu", 645, 22, 48, 20, -1, 0, '-', 0},
    {5, "ITextControl", 300, 24, 16, 16, -1, 0, '-', 0},
    {6, "IKLSwitchMidiLearn", 697, 21, 50, 22, -1, 2, '-', 0},
    {7, "IKLKnobControl", 44, 100, 96, 10, 3, 65, 'h', 2.0},
    {8, "IKLKnobControl", 192, 100, 96, 10, 4, 65, 'h', 2.0},
    {9, "IKLKnobControl", 336, 96, 32, 32, 2, 65, 'v', 4.0},
    {10, "IKLBitmapControl", 424, 80, 8, 8, 5, 2, '-', 0},
    {11, "IKLUtilityKick", 412, 96, 32, 32, 5, 2, '-', 0},
    {12, "IKLBitmapControl", 472, 80, 8, 8, 6, 2, '-', 0},
    {13, "IKLUtilityKick", 460, 96, 32, 32, 6, 2, '-', 0},
    {14, "IKLBitmapControl", 520, 80, 8, 8, 7, 2, '-', 0},
    {15, "IKLUtilityKick", 508, 96, 32, 32, 7, 2, '-', 0},
    {16, "IKLBitmapControl", 568, 80, 8, 8, 8, 2, '-', 0},
    {17, "IKLUtilityKick", 556, 96, 32, 32, 8, 2, '-', 0},
    {18, "IKLKnobControl", 44, 168, 96, 10, 0, 65, 'h', 2.0},
    {19, "IKLKnobControl", 192, 168, 96, 10, 9, 65, 'h', 2.0},
    {20, "IKLKnobControl", 340, 168, 96, 10, 10, 65, 'h', 2.0},
    {21, "IKLKnobControl", 488, 168, 96, 10, 11, 65, 'h', 2.0},
    {22, "IKLBitmapControl", 52, 256, 8, 8, 12, 2, '-', 0},
    {23, "IKLUtilityKick", 40, 272, 32, 32, 12, 2, '-', 0},
    {24, "IKLBitmapControl", 100, 256, 8, 8, 13, 2, '-', 0},
    {25, "IKLUtilityKick", 88, 272, 32, 32, 13, 2, '-', 0},
    {26, "IKLBitmapControl", 148, 256, 8, 8, 14, 2, '-', 0},
    {27, "IKLUtilityKick", 136, 272, 32, 32, 14, 2, '-', 0},
    {28, "IKLBitmapControl", 196, 256, 8, 8, 15, 2, '-', 0},
    {29, "IKLUtilityKick", 184, 272, 32, 32, 15, 2, '-', 0},
    {30, "IKLBitmapControl", 244, 256, 8, 8, 16, 2, '-', 0},
    {31, "IKLUtilityKick", 232, 272, 32, 32, 16, 2, '-', 0},
    {32, "IKLBitmapControl", 334, 256, 8, 8, 44, 2, '-', 0},
    {33, "IKLUtilityKick", 322, 272, 32, 32, 44, 2, '-', 0},
    {34, "IKLBitmapControl", 382, 256, 8, 8, 45, 2, '-', 0},
    {35, "IKLUtilityKick", 370, 272, 32, 32, 45, 2, '-', 0},
    {36, "IKLBitmapControl", 472, 256, 8, 8, 17, 2, '-', 0},
    {37, "IKLUtilityKick", 460, 272, 32, 32, 17, 2, '-', 0},
    {38, "IKLBitmapControl", 520, 256, 8, 8, 18, 2, '-', 0},
    {39, "IKLUtilityKick", 508, 272, 32, 32, 18, 2, '-', 0},
    {40, "IKLBitmapControl", 568, 256, 8, 8, 19, 2, '-', 0},
    {41, "IKLUtilityKick", 556, 272, 32, 32, 19, 2, '-', 0},
    {42, "IKLKnobControl", 75, 384, 10, 96, 1, 65, 'v', 2.0},
    {43, "IKLKnobControl", 157, 384, 10, 96, 20, 65, 'v', 2.0},
    {44, "IKLKnobControl", 197, 384, 10, 96, 21, 65, 'v', 2.0},
    {45, "IKLKnobControl", 237, 384, 10, 96, 22, 65, 'v', 2.0},
    {46, "IKLKnobControl", 305, 384, 10, 96, 23, 65, 'v', 2.0},
    {47, "IKLKnobControl", 345, 384, 10, 96, 24, 65, 'v', 2.0},
    {48, "IKLKnobControl", 427, 384, 10, 96, 25, 65, 'v', 2.0},
    {49, "IKLKnobControl", 467, 384, 10, 96, 26, 65, 'v', 2.0},
    {50, "IKLKnobControl", 507, 384, 10, 96, 27, 65, 'v', 2.0},
    {51, "IKLKnobControl", 547, 384, 10, 96, 28, 65, 'v', 2.0},
    {52, "IKLKnobControl", 640, 96, 32, 32, 29, 65, 'v', 4.0},
    {53, "IKLKnobControl", 692, 96, 32, 32, 30, 65, 'v', 4.0},
    {54, "IKLKnobControl", 668, 157, 32, 32, 31, 65, 'v', 4.0},
    {55, "IKLKnobControl", 637, 276, 10, 96, 32, 65, 'v', 2.0},
    {56, "IKLKnobControl", 677, 276, 10, 96, 33, 65, 'v', 2.0},
    {57, "IKLBitmapControl", 738, 276, 8, 8, 34, 2, '-', 0},
    {58, "IKLUtilityKick", 710, 268, 24, 24, 34, 2, '-', 0},
    {59, "IKLBitmapControl", 738, 316, 8, 8, 35, 2, '-', 0},
    {60, "IKLUtilityKick", 710, 308, 24, 24, 35, 2, '-', 0},
    {61, "IKLBitmapControl", 738, 356, 8, 8, 36, 2, '-', 0},
    {62, "IKLUtilityKick", 710, 348, 24, 24, 36, 2, '-', 0},
    {63, "IKLKnobControl", 637, 428, 10, 96, 37, 65, 'v', 2.0},
    {64, "IKLKnobControl", 677, 428, 10, 96, 38, 65, 'v', 2.0},
    {65, "IKLKnobControl", 717, 428, 10, 96, 39, 65, 'v', 2.0},
    {66, "IKLBitmapControl", 666, 548, 8, 8, 40, 2, '-', 0},
    {67, "IKLUtilityKick", 638, 540, 24, 24, 40, 2, '-', 0},
    {68, "IKLBitmapControl", 722, 548, 8, 8, 41, 2, '-', 0},
    {69, "IKLUtilityKick", 694, 540, 24, 24, 41, 2, '-', 0},
    {70, "IKLBitmapControl", 666, 588, 8, 8, 42, 2, '-', 0},
    {71, "IKLUtilityKick", 638, 580, 24, 24, 42, 2, '-', 0},
    {72, "IKLBitmapControl", 722, 588, 8, 8, 43, 2, '-', 0},
    {73, "IKLUtilityKick", 694, 580, 24, 24, 43, 2, '-', 0},
};

int FramesOf(IControl* c) {
  if (auto* knob = dynamic_cast<IKnobMultiControl*>(c)) return knob->Strip().frames;
  if (auto* bitmap = dynamic_cast<IBitmapControl*>(c)) return bitmap->Strip().frames;
  return 0;
}

TEST_F(FaceTest, EveryControlOfTheListIsWhereTheLayoutPutsIt) {
  ASSERT_EQ(editor->NControls(), 123);
  for (const Row& row : kRows) {
    IControl* c = Control(row.index);
    SCOPED_TRACE(row.index);
    EXPECT_STREQ(ClassOf(c), row.cls);
    EXPECT_EQ(c->DrawRect(), Rect(row.left, row.top, row.left + row.width, row.top + row.height));
    EXPECT_EQ(c->ParameterIndex(), row.parameter);
    EXPECT_EQ(FramesOf(c), row.frames);
    if (auto* knob = dynamic_cast<IKnobMultiControl*>(c)) {
      EXPECT_EQ(knob->Direction(), row.direction == 'h' ? IKnobControl::kHorizontal : IKnobControl::kVertical);
      EXPECT_EQ(knob->Gearing(), row.gearing);
    }
  }
}

TEST_F(FaceTest, KeyboardHasTwentyNineWhiteThenTwentyBlackKeys) {
  const int blackX[] = {54, 73, 111, 130, 149, 187, 206, 244, 263, 282, 320, 339, 377, 396, 415, 453, 472, 510, 529, 548};
  int black = 0;
  for (int i = 74; i < 123; ++i) {
    auto* key = dynamic_cast<IKLKey*>(Control(i));
    ASSERT_NE(key, nullptr) << i;
    const Rect& r = key->DrawRect();
    EXPECT_EQ(r.top, 512);
    const bool isWhite = i <= 102;
    EXPECT_EQ(r.W(), isWhite ? 19 : 10) << i;
    EXPECT_EQ(r.H(), isWhite ? 64 : 40) << i;
    if (isWhite) {
      EXPECT_EQ(r.left, 40 + 19 * (i - 74));
    } else {
      EXPECT_EQ(r.left, blackX[black++]) << "note " << key->Note();
    }
  }
  EXPECT_EQ(Control(74)->DrawRect().left, 40);
  EXPECT_EQ(dynamic_cast<IKLKey*>(Control(74))->Note(), 36);
  EXPECT_EQ(Control(102)->DrawRect().right, 591);
  EXPECT_EQ(dynamic_cast<IKLKey*>(Control(102))->Note(), 84);
  EXPECT_EQ(dynamic_cast<IKLKey*>(Control(122))->Note(), 82);
  // Where the black key of note 37 overlaps the white keys of 36 and 38, it is the one that plays.
  EXPECT_EQ(editor->FindControl(58, 530), 103);
  EXPECT_EQ(editor->FindControl(58, 560), 74);
}

TEST_F(FaceTest, ParametersZeroToFortyFiveHaveControlsAndNoOthers) {
  std::vector<bool> reached(60, false);
  for (int i = 0; i < editor->NControls(); ++i) {
    const int p = Control(i)->ParameterIndex();
    if (p >= 0 && p < 60) reached[static_cast<size_t>(p)] = true;
  }
  for (int p = 0; p < 60; ++p) EXPECT_EQ(reached[static_cast<size_t>(p)], p <= 45) << p;
}

// Every printed caption lies inside a section frame of the panel and under no control.
TEST_F(FaceTest, CaptionsLieInsideSectionsAndUnderNoControl) {
  std::ifstream in(std::string(SARN_SOURCE_DIR) + "/resources/img/captions.txt");
  ASSERT_TRUE(in.good());
  std::vector<Rect> sections;
  std::vector<std::pair<Rect, std::string>> captions;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    Rect r;
    words >> kind;
    if (kind == "section") {
      std::string name;
      words >> name >> r.left >> r.top >> r.right >> r.bottom;
      sections.push_back(r);
    } else if (kind == "caption") {
      words >> r.left >> r.top >> r.right >> r.bottom;
      std::string text;
      std::getline(words, text);
      captions.emplace_back(r, text);
    }
  }
  ASSERT_GE(sections.size(), 7u);
  ASSERT_GE(captions.size(), 40u);
  for (const auto& [r, text] : captions) {
    bool inside = false;
    for (const Rect& s : sections) {
      inside = inside || (r.left >= s.left && r.right <= s.right && r.top >= s.top && r.bottom <= s.bottom);
    }
    EXPECT_TRUE(inside) << text;
    for (int i = 1; i < editor->NControls(); ++i) {
      const Rect& c = Control(i)->DrawRect();
      const bool overlaps = r.left < c.right && c.left < r.right && r.top < c.bottom && c.top < r.bottom;
      EXPECT_FALSE(overlaps) << text << " under control " << i;
    }
  }
}

}  // namespace
