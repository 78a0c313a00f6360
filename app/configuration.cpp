#include "app/configuration.h"

#include "app/MORAVEL_PLAYERDlg.h"
#include "app/event_log.h"
#include "app/wide_text.h"
#include "identity/certification.h"
#include "platform/system.h"

#include <algorithm>
#include <vector>

namespace nilo {

namespace {
constexpr size_t kModulePathCapacity = 1024;
constexpr DWORD kIniBufferCapacity = 4096;
constexpr DWORD kServerUrlCapacity = 128;
constexpr int64_t kLongestTimerPeriod = 0x7FFFFFFF;  // the window timer's upper limit, in ms
const std::u16string kSection = u"CONFIG";
}  // namespace

std::u16string GetModuleFolder() {
    std::u16string path = GetModuleFileName(kModulePathCapacity);
    size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::u16string GetExecutableName() {
    std::u16string path = GetModuleFileName(kModulePathCapacity);
    size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

void ReadIniInt(const std::u16string& section, const std::u16string& key, const std::u16string& file, int& value) {
    std::vector<char16_t> buffer(kIniBufferCapacity);
    GetPrivateProfileStringW(section, key, DecimalText(value), buffer.data(), kIniBufferCapacity, file);
    value = ParseDecimal(buffer.data());
}

void ReadIniString(const std::u16string& section, const std::u16string& key, const std::u16string& file,
                   std::u16string& value) {
    std::vector<char16_t> buffer(kIniBufferCapacity);
    GetPrivateProfileStringW(section, key, value, buffer.data(), kIniBufferCapacity, file);
    value = buffer.data();
}

void ReadIniStringBuffer(const std::u16string& section, const std::u16string& key, char16_t* buffer,
                         DWORD capacity, const std::u16string& file) {
    if (!buffer || capacity == 0) return;
    buffer[capacity - 1] = 0;
    const std::u16string defaultText(buffer);
    GetPrivateProfileStringW(section, key, defaultText, buffer, capacity, file);
}

std::u16string DefaultServerUrl(int urlNum) {
    return std::u16string(u"http://") + (urlNum == 1 ? NILO_SERVER_HOST_1 : NILO_SERVER_HOST_2) + u":5560/authsvl";
}

UINT RecertifyPeriod(int certifyInterval) {
    // Zero or negative seconds would make the timer fire as fast as it can.
    int64_t milliseconds = int64_t(std::max(certifyInterval, 1)) * 1000;
    return UINT(std::min(milliseconds, kLongestTimerPeriod));
}

void CMORAVEL_PLAYERDlg::LoadConfiguration() {
    char16_t serverUrl[kServerUrlCapacity] = {};
    const std::u16string configIni = GetModuleFolder() + u"config.ini";
    const std::u16string configUrlIni = GetModuleFolder() + u"config_url.ini";

    m_nUrlNum = 0;
    ReadIniInt(kSection, u"url_num", configUrlIni, m_nUrlNum);
    m_strServerUrl = DefaultServerUrl(m_nUrlNum);

    m_bShowMinimize = 0;
    m_bShowClose = 0;
    g_bEnableLog = 0;
    m_strCertifyFilePath = u"C:\\connect_certify.txt";
    m_bEnableCloseKey = 0;
    m_nCertifyInterval = 10;
    m_strLTime.clear();
    m_strId.clear();
    m_strGender.clear();
    m_strAge.clear();
    m_nCertifyType = 0;
    m_strPcName.clear();
    m_strPcNo.clear();

    ReadIniInt(kSection, u"show_minimize", configIni, m_bShowMinimize);
    ReadIniInt(kSection, u"show_close", configIni, m_bShowClose);
    ReadIniInt(kSection, u"enable_log", configIni, g_bEnableLog);
    ReadIniInt(kSection, u"enable_closekey", configIni, m_bEnableCloseKey);
    ReadIniInt(kSection, u"certify_type", configIni, m_nCertifyType);
    ReadIniInt(kSection, u"certify_interval", configIni, m_nCertifyInterval);
    ReadIniString(kSection, u"certify_file_path", configIni, m_strCertifyFilePath);

    if (m_nCertifyType == 1) {
        ReadCertifyFile();
        SetTimer(TIMER_RECERTIFY, RecertifyPeriod(m_nCertifyInterval), nullptr);
    } else if (m_nCertifyType == 2) {
        m_strPcName.clear();
        m_strPcNo.clear();
        GetStringFromRegistry(m_strPcName, m_strPcNo);
        SetTimer(TIMER_RECERTIFY, RecertifyPeriod(m_nCertifyInterval), nullptr);
    }

    ReadIniStringBuffer(kSection, u"server_url", serverUrl, kServerUrlCapacity, configIni);
    if (serverUrl[0] != 0) m_strServerUrl = serverUrl;
}

}  // namespace nilo
