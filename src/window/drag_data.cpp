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

std::string DropFilesBlock(const std::vector<std::string>& paths) {
  std::string block(kDropFilesHeaderSize, '\0');
  block[0] = static_cast<char>(kDropFilesHeaderSize);  // pFiles, little-endian
  block += NameMapBlock(paths);
  return block;
}

std::string NameMapBlock(const std::vector<std::string>& names) {
  std::string block;
  for (const auto& n : names) {
    block += n;
    block += '\0';
  }
  block += '\0';
  return block;
}

void DragGesture::MouseDown(bool leftButton, bool overItem, int x, int y) {
  if (skipNextPress_)
    skipNextPress_ = false;
  else
    armed_ = leftButton && overItem;
  x_ = x;
  y_ = y;
}

bool DragGesture::MouseMove(int x, int y, bool leftDown) {
  if (!leftDown) armed_ = false;
  if (!armed_) return false;
  if (std::abs(x - x_) > 3 || std::abs(y - y_) > 3) {
    armed_ = false;
    return true;
  }
  return false;
}

}  // namespace vz
