// A fresh headless machine for each test, with the executable in a real
// temporary folder where the INI files, the log and the certification file
// live.
#pragma once
#include "app/MORAVEL_PLAYERDlg.h"
#include "app/event_log.h"
#include "platform/headless/headless.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace nilo::test {

namespace fs = std::filesystem;

// One folder for the whole test process: the log path is fixed at the first
// logged line, as it is for the program.
inline const fs::path& TestFolder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "nilo-unit-XXXXXX").string();
        fs::path made = ::mkdtemp(pattern.data());
        return made;
    }();
    return folder;
}

// The same folder as the program sees it: a Windows path.
inline std::u16string WindowsPath(const fs::path& path) {
    std::u16string text = FromUtf8(path.string());
    for (auto& c : text)
        if (c == u'/') c = u'\\';
    return text;
}

inline std::string U8(const std::u16string& text) { return ToUtf8(text); }

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh machine whose executable lies in the test folder.
inline void ResetSeat() {
    headless::Reset();
    headless::SetModuleFileName(WindowsPath(TestFolder() / "Nilo-VOD.exe"));
}

class KioskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSeat();
        for (const auto& entry : fs::directory_iterator(TestFolder())) fs::remove_all(entry.path());
        SetACP(CP_UTF8);
        g_bEnableLog = 0;
    }
    void TearDown() override {
        kiosk.reset();
        headless::Reset();
        g_bEnableLog = 0;
    }

    fs::path File(const std::string& name) const { return TestFolder() / name; }
    void WriteConfig(const std::string& text) { WriteBytes(File("config.ini"), text); }
    void WriteConfigUrl(const std::string& text) { WriteBytes(File("config_url.ini"), text); }
    std::string Log() const { return ReadBytes(File("VOD.log")); }

    // The certification file inside the test folder, and config.ini naming it.
    fs::path CertifyFile() const { return File("connect_certify.txt"); }
    void ConfigureCertifyType(int type, const std::string& extra = "") {
        WriteConfig("[CONFIG]\nenable_log=1\ncertify_type=" + std::to_string(type) +
                    "\ncertify_file_path=" + U8(WindowsPath(CertifyFile())) + "\n" + extra);
    }

    // Creates the kiosk window: its initialisation runs the start-up sequence.
    CMORAVEL_PLAYERDlg& StartKiosk() {
        kiosk = std::make_unique<CMORAVEL_PLAYERDlg>();
        kiosk->Create(CMORAVEL_PLAYERDlg::IDD, nullptr);
        headless::Pump();
        return *kiosk;
    }

    headless::ScriptedBrowser& Browser() { return *headless::BrowserOf(kiosk->m_web); }

    std::unique_ptr<CMORAVEL_PLAYERDlg> kiosk;
};

// The adapter a seat usually has: 00:1a:2b:3c:4d:5e at 10.0.0.7.
inline AdapterSpec SeatAdapter() { return AdapterSpec{"eth0", {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, "10.0.0.7", 2}; }

// Lines of the log without their time stamps ("MM/DD hh:mm:ss ").
inline std::vector<std::string> LogTexts(const std::string& log) {
    std::vector<std::string> texts;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find("\r\n", start);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(start, end - start);
        texts.push_back(line.size() >= 15 ? line.substr(15) : line);
        start = end + 2;
    }
    return texts;
}

}  // namespace nilo::test
