// What the General tab of the properties dialog shows about the selected
// stored items: one file, one folder or a group. The Windows dialog and the
// companion program both display this model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/dostime.h"
#include "store/item_id.h"

namespace vz {

constexpr const char* kNoneAvailable = "(none available)";
constexpr const char* kNotApplicable = "(not applicable)";
constexpr const char* kNotDefined = "(not defined)";
constexpr const char* kNotAvailable = "(not available)";
constexpr const char* kGroupOfObjects = "(group of objects)";
constexpr const char* kGroupType = "(group)";

struct FolderContents {
  std::int64_t bytes = 0;
  std::int64_t files = 0;
  std::int64_t folders = 0;  // below the start folder, which is not counted
};

// Walks a folder through held handles, every level however deep. Links are
// counted as files of size 0 and never followed; a folder that cannot be
// listed counts as empty.
FolderContents CountFolderContents(const std::string& folder);

// "3 KB (3500 bytes)": kilobytes truncated, and 1 instead of 0.
std::string SizeText(std::int64_t bytes);
// "1 folder(s), 3 file(s)"
std::string ContentsText(std::int64_t folders, std::int64_t files);
// Short date, a blank, short time of a raw directory-entry time at DOS
// resolution (no time-zone conversion); "(not defined)" when a DOS date
// cannot hold it.
std::string PropertyTimeText(const CivilTime& raw);

enum class PropertiesCase {
  Settings,  // nothing selected: the settings open instead
  File,
  Folder,
  Group,
};

struct PropertiesModel {
  PropertiesCase kind = PropertiesCase::Settings;
  std::string caption;    // "Properties: report.doc"
  bool hasIcon = false;
  int iconIndex = 0;      // in the system image list, when hasIcon
  std::string fileName;   // LFileName
  std::string type;       // LType
  std::string folder;     // LFolder
  std::string size;       // LSize
  bool showContents = false;  // Label4 and LContain
  std::string contents;   // LContain
  std::string msdosName;  // LMSDOS
  std::string created, changed, opened;
  bool readOnly = false, archive = false, hidden = false, system = false;
};

// Fills the model for the selected items, in the list's order.
PropertiesModel BuildPropertiesModel(const std::vector<ShredItemId>& selected);

}  // namespace vz
