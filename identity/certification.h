// The seat's certification sources: the certification file another program
// on the seat writes, and the PC name and number in the registry.
#pragma once
#include "platform/wintypes.h"

#include <string>

namespace nilo {

// Reads PCName and PCNo under HKEY_CURRENT_USER "SOFTWARE\Orvane\Client".
// Returns the byte size of the PCNo data when both were read, else 0; each
// string is assigned only when its own value was read.
DWORD GetStringFromRegistry(std::u16string& pcName, std::u16string& pcNo);

// 1 on a 64-bit Windows (version 5.2 or later on an IA64 or AMD64 processor),
// else 0; logs what it found.
int Is64bitSystem();

// The same test without logging: the operating system's version and the
// native processor architecture.
bool IsWindows64Bit();

// The text of a registry value as the identity carries it: the string up to
// its first terminator for the string types, "%d" of the first four bytes
// (little-endian, signed) for every other type.
std::u16string RegistryValueText(DWORD type, const BYTE* data, DWORD size);

// Cuts the certification record into its four comma-separated fields, in
// the ANSI code page bytes as read. A line break that ends the record is not
// part of the last field.
struct CertifyRecord {
    std::string fields[4];
};
CertifyRecord CutCertifyRecord(const std::string& text);

}  // namespace nilo
