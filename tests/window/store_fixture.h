// Stored items made by hand: the item is put into this account's store on
// D: under its stored name and its two lines are appended to the store's
// info.shr, so these tests do not depend on the send operation.
#pragma once

#include <fstream>
#include <string>

#include "common/text.h"
#include "platform/platform.h"
#include "store/item_id.h"
#include "store/store.h"
#include "support/drives.h"

namespace vz::test {

class StoreTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
    ASSERT_TRUE(PathExists(DS("info.shr")));
  }

  static std::string Index() { return Slurp(DS("info.shr")); }

  static void AppendRecord(const std::string& original, const std::string& stored) {
    std::ofstream out(HostPath(DS("info.shr")), std::ios::binary | std::ios::app);
    out << original << "\r\n" << stored << "\r\n";
  }

  static bool HasRecord(const std::string& original, const std::string& stored) {
    return Index().find(original + "\r\n" + stored + "\r\n") != std::string::npos;
  }

  // A stored file with content; returns its stored path.
  static std::string StoreFile(const std::string& original, const std::string& storedName,
                               const std::string& content) {
    std::string stored = DS(storedName);
    MakeFile(stored, content);
    AppendRecord(original, stored);
    return stored;
  }

  static void SetWriteTime(const std::string& path, const CivilTime& raw) {
    auto f = Plat().OpenSharedWrite(path, false);
    ASSERT_NE(f, nullptr) << path;
    ASSERT_TRUE(f->SetTimes(nullptr, nullptr, &raw));
  }

  static ShredItemId MakeId(const std::string& original, const std::string& stored,
                            const std::string& type = "Text Document", int icon = 7) {
    ShredItemId id{};
    SetField(id.originalPath, original);
    SetField(id.storedPath, stored);
    SetField(id.displayName, FileNamePart(original));
    SetField(id.typeName, type, kTypeNameMax);
    id.size = kFolderSize;
    id.iconIndex = icon;
    return id;
  }
};

}  // namespace vz::test
