#include "window/drag_data.h"

#include <cstdint>
#include <cstdlib>

#include "common/text.h"

namespace vz {

std::vector<std::string> DragPaths(const std::vector<ShredItemId>& items) {
  std::vector<std::string> out;
  for (const auto& i : items) out.push_back(Trim(GetField(i.storedPath)));
  return out;
}

std::vector<std::string> DragNames(const std::vector<ShredItemId>& items) {
  std::vector<std::string> out;
  for (const auto& i : items) out.push_back(FileNamePart(Trim(GetField(i.originalPath))));
  return out;
}

namespace {
template <class Text>
Text NameList(const std::vector<Text>& names) {
  Text block;
  for (const auto& n : names) {
    block += n;
    block += typename Text::value_type(0);
  }
  block += typename Text::value_type(0);
  return block;
}
}  // namespace

std::string DropFilesBlock(const std::vector<std::u16string>& paths) {
  std::string block(kDropFilesHeaderSize, '\0');
  block[0] = static_cast<char>(kDropFilesHeaderSize);  // pFiles, little-endian
  block[16] = 1;                                       // fWide
  for (char16_t c : NameList(paths)) {
    block += static_cast<char>(c & 0xFF);
    block += static_cast<char>(c >> 8);
  }
  return block;
}

std::string NameMapBlock(const std::vector<std::string>& names) { return NameList(names); }
std::u16string WideNameMapBlock(const std::vector<std::u16string>& names) { return NameList(names); }

void DragGesture::MouseDown(bool leftButton, bool overItem, int x, int y) {
  pressIsDoubleClick_ = started_ = moved_ = false;
  armed_ = leftButton && overItem;
  x_ = x;
  y_ = y;
}

void DragGesture::DoubleClickDown(int x, int y) {
  MouseDown(false, false, x, y);
  pressIsDoubleClick_ = true;
}

bool DragGesture::MouseMove(int x, int y, bool leftDown) {
  moved_ = true;
  if (!leftDown) armed_ = false;
  if (!armed_) return false;
  if (std::abs(x - x_) > 3 || std::abs(y - y_) > 3) {
    armed_ = false;
    started_ = true;
    return true;
  }
  return false;
}

bool DragGesture::ListBeganDrag() {
  bool start = !pressIsDoubleClick_ && !started_ && (!moved_ || armed_);
  armed_ = false;
  started_ = started_ || start;
  return start;
}

}  // namespace vz
