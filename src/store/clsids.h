// The four class ids of the module. The folder's value is also written into
// every store's "desktop.ini" and returned by the folder's GetClassID.
#pragma once

namespace vz {

struct ClassId {
  unsigned long data1;
  unsigned short data2, data3;
  unsigned char data4[8];
};

// {5B7C1E2A-8F43-4D6B-9A21-3C7E5F90D1A4}
constexpr ClassId kClsidVaporizerFolder = {0x5B7C1E2A, 0x8F43, 0x4D6B, {0x9A, 0x21, 0x3C, 0x7E, 0x5F, 0x90, 0xD1, 0xA4}};
// {5B7C1E2B-8F43-4D6B-9A21-3C7E5F90D1A4}
constexpr ClassId kClsidVaporizerMenu = {0x5B7C1E2B, 0x8F43, 0x4D6B, {0x9A, 0x21, 0x3C, 0x7E, 0x5F, 0x90, 0xD1, 0xA4}};
// {5B7C1E2C-8F43-4D6B-9A21-3C7E5F90D1A4}
constexpr ClassId kClsidShredFileMenu = {0x5B7C1E2C, 0x8F43, 0x4D6B, {0x9A, 0x21, 0x3C, 0x7E, 0x5F, 0x90, 0xD1, 0xA4}};
// {5B7C1E2D-8F43-4D6B-9A21-3C7E5F90D1A4}
constexpr ClassId kClsidVaporizerProp = {0x5B7C1E2D, 0x8F43, 0x4D6B, {0x9A, 0x21, 0x3C, 0x7E, 0x5F, 0x90, 0xD1, 0xA4}};

// Registry text form with braces and upper-case digits, as the platform's
// GUID-to-string conversion gives it.
const char* const kClsidVaporizerFolderText = "{5B7C1E2A-8F43-4D6B-9A21-3C7E5F90D1A4}";
const char* const kClsidVaporizerMenuText = "{5B7C1E2B-8F43-4D6B-9A21-3C7E5F90D1A4}";
const char* const kClsidShredFileMenuText = "{5B7C1E2C-8F43-4D6B-9A21-3C7E5F90D1A4}";
const char* const kClsidVaporizerPropText = "{5B7C1E2D-8F43-4D6B-9A21-3C7E5F90D1A4}";

}  // namespace vz
