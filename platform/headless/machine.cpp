// The headless machine: module path, clock, adapters, registry and operating
// system as the test sets them.
#include "platform/headless/state.h"

#include <algorithm>
#include <cstring>

namespace nilo {


namespace headless {

std::u16string LowerCase(std::u16string text) {
    for (auto& c : text)
        if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    return text;
}

void SetModuleFileName(const std::u16string& path) { TheState().modulePath = path; }
void SetLocalTime(const SYSTEMTIME& time) { TheState().localTime = time; }
void SetAdapterLists(std::vector<std::vector<AdapterSpec>> lists) { TheState().adapterLists = std::move(lists); }
std::vector<ULONG> AdapterQuerySizes() { return TheState().adapterQuerySizes; }
void SetOsVersion(DWORD major, DWORD minor) { TheState().osMajor = major, TheState().osMinor = minor; }
void SetProcessorArchitecture(WORD architecture) { TheState().architecture = architecture; }
void SetNativeSystemInfoAvailable(bool available) { TheState().nativeSystemInfo = available; }
void SetSystemMessage(DWORD code, const std::u16string& text) { TheState().systemMessages[code] = text; }

namespace {
std::pair<int, std::u16string> KeyOf(HKEY root, const std::u16string& key) {
    return {int(root), LowerCase(key)};
}
}  // namespace

void CreateRegistryKey(HKEY root, const std::u16string& key) { TheState().registry[KeyOf(root, key)]; }

void SetRegistryValue(HKEY root, const std::u16string& key, const std::u16string& name, DWORD type,
                      std::basic_string<BYTE> data) {
    TheState().registry[KeyOf(root, key)][LowerCase(name)] = RegistryValue{type, std::move(data)};
}

void SetRegistryString(HKEY root, const std::u16string& key, const std::u16string& name,
                       const std::u16string& text, DWORD type) {
    std::basic_string<BYTE> bytes;
    for (char16_t c : text) bytes.push_back(BYTE(c & 0xFF)), bytes.push_back(BYTE(c >> 8));
    bytes.append(2, 0);
    SetRegistryValue(root, key, name, type, bytes);
}

void SetRegistryDword(HKEY root, const std::u16string& key, const std::u16string& name, DWORD value) {
    std::basic_string<BYTE> bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(BYTE(value >> (8 * i)));
    SetRegistryValue(root, key, name, 4 /*REG_DWORD*/, bytes);
}

void DeleteRegistryValue(HKEY root, const std::u16string& key, const std::u16string& name) {
    auto it = TheState().registry.find(KeyOf(root, key));
    if (it != TheState().registry.end()) it->second.erase(LowerCase(name));
}

bool GetRegistryValue(HKEY root, const std::u16string& key, const std::u16string& name, DWORD* type,
                      std::basic_string<BYTE>* data) {
    auto it = TheState().registry.find(KeyOf(root, key));
    if (it == TheState().registry.end()) return false;
    auto v = it->second.find(LowerCase(name));
    if (v == it->second.end()) return false;
    if (type) *type = v->second.type;
    if (data) *data = v->second.data;
    return true;
}

std::vector<RegistryOpen> RegistryOpens() { return TheState().registryOpens; }

void ForgetRecords() {
    State& s = TheState();
    s.adapterQuerySizes = {};
    s.registryOpens = {};
    s.messageBoxes = {};
    for (const auto& weak : s.liveControls) {
        const auto control = weak.lock();
        if (!control) continue;
        control->Log().calls = {};
        if (auto* browser = dynamic_cast<ScriptedBrowser*>(control.get())) browser->navigations = browser->completed = {};
    }
    s.liveControls.erase(std::remove_if(s.liveControls.begin(), s.liveControls.end(),
                                        [](const auto& weak) { return weak.expired(); }),
                         s.liveControls.end());
}

}  // namespace headless

using headless::TheState;

std::u16string GetModuleFileName(size_t capacity) {
    std::u16string path = TheState().modulePath;
    if (capacity == 0) return {};
    if (path.size() > capacity - 1) path.resize(capacity - 1);
    return path;
}

SYSTEMTIME GetLocalTime() { return TheState().localTime; }

ULONG GetAdaptersInfo(IP_ADAPTER_INFO* buffer, ULONG* size) {
    auto& s = TheState();
    if (!size) return ULONG(ERROR_INVALID_PARAMETER);
    size_t call = s.adapterQuerySizes.size();
    s.adapterQuerySizes.push_back(*size);
    if (s.adapterLists.empty()) return ULONG(ERROR_NO_DATA);
    const auto& list = s.adapterLists[std::min(call, s.adapterLists.size() - 1)];
    return LayOutAdapters(list.data(), list.size(), buffer, size);
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    // The kiosk passes the Windows structure's size, 276.
    if (!info || info->dwOSVersionInfoSize != 276) return FALSE;
    info->dwMajorVersion = TheState().osMajor;
    info->dwMinorVersion = TheState().osMinor;
    info->dwPlatformId = 2;
    return TRUE;
}

void GetSystemInfo(SYSTEM_INFO* info) {
    // Seen from a 32-bit process, a 64-bit processor looks like x86.
    if (info) info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
}

namespace {
void HeadlessNativeSystemInfo(SYSTEM_INFO* info) {
    if (info) info->wProcessorArchitecture = TheState().architecture;
}
}  // namespace

GetNativeSystemInfoFn FindGetNativeSystemInfo() {
    return TheState().nativeSystemInfo ? &HeadlessNativeSystemInfo : nullptr;
}

std::u16string FormatSystemMessage(DWORD code, WORD) {
    auto it = TheState().systemMessages.find(code);
    return it != TheState().systemMessages.end() ? it->second : DefaultSystemMessage(code);
}

// ---- registry ---------------------------------------------------------------

class CRegKey::Impl {
public:
    std::pair<int, std::u16string> key;
};

CRegKey::CRegKey() = default;
CRegKey::~CRegKey() = default;
void CRegKey::Close() { m_impl.reset(); }

LONG CRegKey::Open(HKEY root, const std::u16string& subKey, REGSAM sam) {
    Close();
    auto key = std::make_pair(int(root), headless::LowerCase(subKey));
    LONG result = TheState().registry.count(key) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    TheState().registryOpens.push_back(headless::RegistryOpen{root, subKey, sam, result});
    if (result == ERROR_SUCCESS) {
        m_impl = std::make_unique<Impl>();
        m_impl->key = key;
    } else {
        SetLastError(DWORD(result));
    }
    return result;
}

LONG CRegKey::QueryValue(const std::u16string& name, DWORD* type, BYTE* data, DWORD* size) const {
    if (!m_impl) return ERROR_INVALID_PARAMETER;
    auto k = TheState().registry.find(m_impl->key);
    if (k == TheState().registry.end()) return ERROR_FILE_NOT_FOUND;
    auto v = k->second.find(headless::LowerCase(name));
    if (v == k->second.end()) return ERROR_FILE_NOT_FOUND;
    const auto& value = v->second;
    if (type) *type = value.type;
    if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD needed = DWORD(value.data.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data) std::memcpy(data, value.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG CRegKey::SetValue(const std::u16string& name, DWORD type, const BYTE* data, DWORD size) {
    if (!m_impl) return ERROR_INVALID_PARAMETER;
    TheState().registry[m_impl->key][headless::LowerCase(name)] =
        headless::RegistryValue{type, std::basic_string<BYTE>(data, data + size)};
    return ERROR_SUCCESS;
}

}  // namespace nilo
