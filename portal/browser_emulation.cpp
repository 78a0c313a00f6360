#include "portal/browser_emulation.h"

#include "app/wide_text.h"
#include "identity/certification.h"
#include "platform/registry.h"

#include <vector>

namespace nilo {

namespace {
const std::u16string kIEKey = u"SOFTWARE\\Microsoft\\Internet Explorer";
const std::u16string kEmulationKey =
    u"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
constexpr DWORD kDefaultEmulation = 7000;
}  // namespace

bool Is64bitSystemForIE() { return IsWindows64Bit(); }

std::u16string ReadIEVersionValue(const std::u16string& name) {
    CRegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kIEKey, KEY_READ | (Is64bitSystemForIE() ? KEY_WOW64_64KEY : 0)) != ERROR_SUCCESS)
        return {};
    DWORD size = 0;
    if (key.QueryValue(name, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
    // Room for a terminator the stored text may lack.
    std::vector<BYTE> buffer(size_t(size) + 2, 0);
    DWORD type = 0;
    if (key.QueryValue(name, &type, buffer.data(), &size) != ERROR_SUCCESS) return {};
    return RegistryValueText(REG_SZ, buffer.data(), DWORD(buffer.size()));
}

std::u16string GetIEVersion() {
    std::u16string version = ReadIEVersionValue(u"svcVersion");
    return version.empty() ? ReadIEVersionValue(u"Version") : version;
}

DWORD BrowserEmulationNumber(const std::u16string& version) {
    size_t dot = version.find(u'.');
    if (version.empty() || dot == std::u16string::npos || dot == 0) return kDefaultEmulation;
    // Computed wide, then kept within the 32-bit range the value holds.
    int64_t number = int64_t(ParseDecimal(version.substr(0, dot))) * 1000;
    if (number > INT32_MAX) number = INT32_MAX;
    if (number < INT32_MIN) number = INT32_MIN;
    return DWORD(int32_t(number));
}

void ApplyBrowserEmulation(const std::u16string& executableName, const std::u16string& version) {
    WriteBrowserEmulationValue(executableName, BrowserEmulationNumber(version));
}

bool WriteBrowserEmulationValue(const std::u16string& name, DWORD number) {
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kEmulationKey, KEY_ALL_ACCESS | (Is64bitSystemForIE() ? KEY_WOW64_64KEY : 0)) !=
        ERROR_SUCCESS)
        return false;
    const BYTE data[4] = {BYTE(number), BYTE(number >> 8), BYTE(number >> 16), BYTE(number >> 24)};
    key.SetValue(name, REG_DWORD, data, sizeof data);
    return true;
}

}  // namespace nilo
