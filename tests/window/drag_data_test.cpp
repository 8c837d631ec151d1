#include <gtest/gtest.h>

#include "support/item_ids.h"

#include "window/drag_data.h"

namespace vz {
namespace {

using test::PathsItem;

TEST(DragDataTest, FileListAndMapsHaveEveryEntryThenAClosingZero) {
  std::vector<ShredItemId> items{PathsItem(" C:\\Work\\report.doc", "C:\\VAPORIZE\\C1.doc "),
                                 PathsItem("D:\\Old\\notes.txt", "D:\\VAPORIZE\\D2.txt")};
  EXPECT_EQ(DragPaths(items), (std::vector<std::string>{"C:\\VAPORIZE\\C1.doc", "D:\\VAPORIZE\\D2.txt"}));
  // The file list in 16-bit text, little-endian, behind a header whose wide flag is set.
  std::string block = DropFilesBlock({u"C:\\a", u"\u0416"});
  std::string expected("\x14\0\0\0" "\0\0\0\0" "\0\0\0\0" "\0\0\0\0" "\x01\0\0\0", 20);
  expected += std::string("C\0:\0\\\0a\0\0\0" "\x16\x04\0\0" "\0\0", 16);
  EXPECT_EQ(block, expected);

  std::string map = NameMapBlock(DragNames(items));
  EXPECT_EQ(map, std::string("report.doc\0notes.txt\0\0", 22));
  EXPECT_EQ(NameMapBlock({}), std::string(1, '\0'));
  EXPECT_EQ(WideNameMapBlock({u"a", u"\U0001F600"}), std::u16string(u"a\0\U0001F600\0\0", 6));
}

TEST(DragDataTest, PressOnAnItemAndAMoveOfMoreThanThreePixelsStartsTheDrag) {
  DragGesture g;
  g.MouseDown(true, true, 10, 10);
  EXPECT_FALSE(g.MouseMove(13, 13, true)) << "exactly 3 pixels both ways";
  EXPECT_FALSE(g.MouseMove(7, 7, true));
  EXPECT_TRUE(g.MouseMove(14, 10, true)) << "4 pixels horizontally";
  EXPECT_FALSE(g.MouseMove(30, 30, true)) << "the gesture disarms once the drag starts";

  g.MouseDown(true, true, 10, 10);
  EXPECT_TRUE(g.MouseMove(10, 6, true)) << "4 pixels vertically";

  g.MouseDown(true, false, 10, 10);
  EXPECT_FALSE(g.MouseMove(40, 40, true)) << "empty space arms nothing";
  g.MouseDown(false, true, 10, 10);
  EXPECT_FALSE(g.MouseMove(40, 40, true)) << "the right button arms nothing";

  g.MouseDown(true, true, 10, 10);
  g.MouseUp();
  EXPECT_FALSE(g.MouseMove(40, 40, true));

  // A release the list kept to itself: the next move comes with the button up.
  g.MouseDown(true, true, 10, 10);
  EXPECT_FALSE(g.MouseMove(40, 40, false));
  EXPECT_FALSE(g.Armed());
  EXPECT_FALSE(g.MouseMove(41, 41, true)) << "and the button pressed again elsewhere starts nothing";
}

// Windows' list tracks the press itself: the capture it gives back disarms
// the move rule, and its report of the drag starts the drag, once.
TEST(DragDataTest, TheListsReportStartsOneDragPerPress) {
  DragGesture g;
  g.MouseDown(true, true, 10, 10);
  g.MouseUp();  // the capture went back to the list
  EXPECT_TRUE(g.ListBeganDrag());
  EXPECT_FALSE(g.ListBeganDrag()) << "one drag per press";
  g.MouseDown(true, true, 10, 10);
  EXPECT_TRUE(g.MouseMove(20, 10, true));
  EXPECT_FALSE(g.ListBeganDrag()) << "the moves started it already";
  g.MouseUp();
  g.DoubleClickDown(10, 10);
  g.DoubleClick();
  EXPECT_FALSE(g.ListBeganDrag()) << "the double click's own press";
  g.MouseUp();
  // A list that passed the moves on reports after them: only while armed.
  g.MouseDown(true, true, 10, 10);
  g.MouseUp();
  EXPECT_FALSE(g.MouseMove(40, 40, true));
  EXPECT_FALSE(g.ListBeganDrag()) << "the capture went elsewhere before the moves";
  g.MouseDown(true, true, 10, 10);
  EXPECT_FALSE(g.MouseMove(12, 10, true));
  EXPECT_TRUE(g.ListBeganDrag());
}

// Windows' order of a double click: down, up, double-click down (with the
// list's report inside it), up. Its second press drags nothing; the next
// real press drags.
TEST(DragDataTest, TheDoubleClicksSecondPressDragsNothingAndTheNextPressDoes) {
  DragGesture g;
  g.MouseDown(true, true, 10, 10);
  g.MouseUp();
  g.DoubleClickDown(10, 10);
  g.DoubleClick();
  EXPECT_FALSE(g.Armed());
  EXPECT_FALSE(g.MouseMove(40, 40, true));
  EXPECT_FALSE(g.ListBeganDrag());
  g.MouseUp();
  g.MouseDown(true, true, 10, 10);
  EXPECT_TRUE(g.MouseMove(40, 40, true)) << "the next real press drags";
  // A report of a double click whose press came as a plain button-down.
  g.MouseDown(true, true, 10, 10);
  g.DoubleClick();
  EXPECT_FALSE(g.MouseMove(40, 40, true));
  EXPECT_FALSE(g.ListBeganDrag());
}

}  // namespace
}  // namespace vz
