// The Windows faces of the batch: the caution question and the progress
// window TFMProgress.
#pragma once

#include <cstddef>
#include <string>

namespace vz::win32 {

bool AskCaution(const std::string& title, const std::string& text);
void ProgressBegin(std::size_t files, int passes);
void ProgressFile(const std::string& display);
void ProgressPass(int passesDone);
void ProgressFilesDone(std::size_t done);
void ProgressEnd();

}  // namespace vz::win32
