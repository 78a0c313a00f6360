// The edge between the program's Windows paths and error codes and the Linux
// file system, shared by the posix services.
#pragma once
#include "platform/wintypes.h"

#include <string>

namespace nilo::posix {

// A Windows path as the file system takes it: every backslash becomes '/',
// a leading drive letter ("C:") is dropped, the text is UTF-8. A relative path
// stays relative to the working folder.
std::string NativePath(const std::u16string& windowsPath);

// A file system path as the program expects one: every '/' becomes '\'.
std::u16string WindowsPath(const std::string& nativePath);

// The folder part of a native path: "" for a bare name, "/" for the root.
std::string ParentFolder(const std::string& nativePath);

// Reads a whole regular file into bytes. Anything else (a folder, a FIFO, a
// device) is refused, so a stray path can never block or read forever.
// Returns ERROR_SUCCESS or the Windows error code.
LONG ReadRegularFile(const std::string& nativePath, std::string& bytes);

// The Windows error code for an errno value.
LONG ErrorFromErrno(int err);

// ASCII and Latin-1 case folding, enough for the names the program compares
// (profile sections and keys, registry key paths and value names).
char16_t FoldCase(char16_t c);
std::u16string FoldCase(std::u16string text);
bool EqualsNoCase(const std::u16string& a, const std::u16string& b);

}  // namespace nilo::posix
