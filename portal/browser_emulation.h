// The browser control's rendering mode: at every start the installed Internet
// Explorer's major version is written for this executable.
#pragma once
#include "platform/wintypes.h"

#include <string>

namespace nilo {

bool Is64bitSystemForIE();
// A value under HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft\Internet Explorer", as
// text; empty when it cannot be read.
std::u16string ReadIEVersionValue(const std::u16string& name);
// "svcVersion", or "Version" when that is empty.
std::u16string GetIEVersion();
// The number for a version text: 1000 x the number before its first ".",
// or 7000 without a usable version.
DWORD BrowserEmulationNumber(const std::u16string& version);
void ApplyBrowserEmulation(const std::u16string& executableName, const std::u16string& version);
bool WriteBrowserEmulationValue(const std::u16string& name, DWORD number);

}  // namespace nilo
