// The scheduled emptying's task in the Task Scheduler, as this user has it.
#pragma once

#include <string>

namespace vz::win32 {

// Its name in the Task Scheduler's root folder: one per user.
std::wstring EmptyingTaskName();
// The XML definition registered under that name, which starts `program`.
std::wstring EmptyingTaskXml(const std::wstring& program);

}  // namespace vz::win32
