// What the fuzz targets share: a seat in a temporary folder, input bytes as
// text, and a check that stops the run with a message.
#pragma once
#include "app/MORAVEL_PLAYERDlg.h"
#include "app/event_log.h"
#include "platform/headless/headless.h"
#include "platform/system.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace nilo::fuzz {

// A finding: libFuzzer keeps the input that made the process abort.
#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

// One folder per fuzzing process, where the executable "lives".
inline const std::string& SeatFolder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/nilo-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    return folder;
}

inline std::u16string WindowsPath(const std::string& path) {
    std::u16string text = FromUtf8(path);
    for (auto& c : text)
        if (c == u'/') c = u'\\';
    return text;
}

// A fresh headless machine whose executable is in SeatFolder(), with the log
// switched off: fuzzing is about the parsers, not the disk.
inline void ResetSeat() {
    headless::Reset();
    headless::SetModuleFileName(WindowsPath(SeatFolder() + "/Nilo-VOD.exe"));
    g_bEnableLog = 0;
}

// A kiosk window made once for the process, on a fresh seat, with the
// headless browser in it.
inline CMORAVEL_PLAYERDlg& RunningKiosk() {
    static const auto kiosk = [] {
        ResetSeat();
        auto dialog = std::make_unique<CMORAVEL_PLAYERDlg>();
        dialog->Create(CMORAVEL_PLAYERDlg::IDD, nullptr);
        headless::Pump();
        return dialog;
    }();
    return *kiosk;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

inline std::string Bytes(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

// Little-endian UTF-16 code units, as Windows keeps wide text; an odd last
// byte is dropped.
inline std::u16string Utf16(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text.push_back(char16_t(data[i] | (data[i + 1] << 8)));
    return text;
}

// The input's bytes split at line feeds.
inline std::vector<std::string> Lines(const uint8_t* data, size_t size) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') lines.emplace_back();
        else lines.back().push_back(char(data[i]));
    }
    return lines;
}

// The code pages a seat may run under, picked by one input byte.
inline UINT CodePageFor(uint8_t selector) {
    static const UINT pages[] = {949, 1252, CP_UTF8, 932, 936, 950, 437, 1251, 874, 20127};
    return pages[selector % (sizeof pages / sizeof pages[0])];
}

}  // namespace nilo::fuzz
