// Test drives. C: and D: are fixed drives, E: is removable. On POSIX they
// are fresh temporary directories for every test; under Wine they are the
// throwaway prefix's drives that the test script prepared, emptied before
// every test (and only when the script's marker file says they are ours).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vz::test {

class DrivesTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // "D:\" + relative, in the system's path form.
  static std::string D(const std::string& rel = "") { return "D:\\" + rel; }
  static std::string E(const std::string& rel = "") { return "E:\\" + rel; }
  static std::string C(const std::string& rel = "") { return "C:\\" + rel; }
  // This account's store on D: or C:, "D:\VAPORIZE\<account>", and a path
  // in it when `rel` is given.
  static std::string DS(const std::string& rel = "");
  static std::string CS(const std::string& rel = "");

  // Direct file helpers that do not go through the code under test.
  static void MakeFile(const std::string& path, const std::string& content);
  // With missing parents; store folders are made as the Vaporizer makes them.
  static void MakeDir(const std::string& path);
  static std::string Slurp(const std::string& path);
  static bool PathExists(const std::string& path);
  static std::string HostPath(const std::string& path);  // for links and sparse files
  // A file of the given length whose content was never written (sparse
  // where the file system allows it).
  static void MakeSparseFile(const std::string& path, std::int64_t size);
  // Every file below the folders (links not followed), with its content.
  static std::map<std::string, std::string> Snapshot(const std::vector<std::string>& folders);

 private:
  std::string tempRoot_;
};

// `text` with every path in a drive's store folder, "X:\VAPORIZE\name",
// moved into this account's store there, "X:\VAPORIZE\<account>\name".
std::string Own(std::string text);

#ifdef _WIN32
// What GetFullPathNameW makes of a path: the item Win32 opens for it.
std::string Win32Reading(const std::string& path);
#endif

// Points the per-user settings at a clean, empty store.
void ResetSettingsStore();

}  // namespace vz::test
