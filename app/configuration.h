// The two INI files beside the executable, and the helpers that find them.
#pragma once
#include "platform/wintypes.h"

#include <string>

namespace nilo {

// The executable's folder with its trailing backslash; empty for a path
// without a backslash.
std::u16string GetModuleFolder();
// The executable's file name, such as "Nilo-VOD.exe".
std::u16string GetExecutableName();

// One integer key; the current value is the default, so an absent key
// leaves it unchanged.
void ReadIniInt(const std::u16string& section, const std::u16string& key, const std::u16string& file, int& value);
// One string key; the current value is the default.
void ReadIniString(const std::u16string& section, const std::u16string& key, const std::u16string& file,
                   std::u16string& value);
// One string key into a caller's buffer of capacity characters, whose current
// content is the default.
void ReadIniStringBuffer(const std::u16string& section, const std::u16string& key, char16_t* buffer,
                         DWORD capacity, const std::u16string& file);

// "http://" + host + ":5560/authsvl" for the server that url_num selects.
std::u16string DefaultServerUrl(int urlNum);

// The re-certification timer's period for certify_interval seconds: at least
// one second, at most the window timer's longest period.
UINT RecertifyPeriod(int certifyInterval);

}  // namespace nilo
