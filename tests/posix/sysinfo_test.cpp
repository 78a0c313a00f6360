// Operating-system facts, module path and clock on this machine.
#include "platform/system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <sys/utsname.h>
#include <unistd.h>

namespace nilo {
namespace {

TEST(SysInfo, VersionComesFromTheKernelRelease) {
    utsname u {};
    ASSERT_EQ(uname(&u), 0);
    unsigned major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(u.release, "%u.%u", &major, &minor), 2) << u.release;

    OSVERSIONINFOW info;
    ASSERT_EQ(GetVersionExW(&info), TRUE);
    EXPECT_EQ(info.dwMajorVersion, major);
    EXPECT_EQ(info.dwMinorVersion, minor);
    EXPECT_EQ(info.dwPlatformId, 2u);
}

TEST(SysInfo, VersionRefusesAnotherStructureSize) {
    OSVERSIONINFOW info;
    info.dwOSVersionInfoSize = 148;
    EXPECT_EQ(GetVersionExW(&info), FALSE);
    EXPECT_EQ(info.dwMajorVersion, 0u);
    EXPECT_EQ(GetVersionExW(nullptr), FALSE);
}

TEST(SysInfo, ArchitectureFollowsTheMachine) {
    utsname u {};
    ASSERT_EQ(uname(&u), 0);
    GetNativeSystemInfoFn native = FindGetNativeSystemInfo();
    ASSERT_NE(native, nullptr);
    SYSTEM_INFO nativeInfo, info;
    native(&nativeInfo);
    GetSystemInfo(&info);
    if (std::string(u.machine) == "x86_64") {
        EXPECT_EQ(nativeInfo.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
        EXPECT_EQ(info.wProcessorArchitecture,
                  sizeof(void*) == 8 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL);
    } else if (std::string(u.machine) == "aarch64") {
        EXPECT_EQ(nativeInfo.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_ARM64);
    }
    EXPECT_NE(nativeInfo.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_UNKNOWN) << u.machine;
}

TEST(SysInfo, SystemMessagesAreTheEnglishTexts) {
    EXPECT_EQ(FormatSystemMessage(5, 0), u"Access is denied.\r\n");
    EXPECT_EQ(FormatSystemMessage(0x80004005, 0x0412), u"Unspecified error\r\n");
    EXPECT_EQ(FormatSystemMessage(0xDEADBEEF, 0), u"");
}

TEST(Module, PathIsTheExecutableWithBackslashes) {
    char real[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", real, sizeof real - 1);
    ASSERT_GT(n, 0);
    std::u16string expected;
    for (ssize_t i = 0; i < n; ++i) expected += real[i] == '/' ? u'\\' : char16_t(static_cast<unsigned char>(real[i]));

    const std::u16string path = GetModuleFileName(4096);
    EXPECT_EQ(path, expected);
    // The program finds its folder by the last backslash.
    const size_t slash = path.rfind(u'\\');
    ASSERT_NE(slash, std::u16string::npos);
    EXPECT_EQ(path.substr(slash + 1), u"nilo_posix_tests");
}

TEST(Module, PathIsCutToCapacityLessOne) {
    const std::u16string full = GetModuleFileName(4096);
    EXPECT_EQ(GetModuleFileName(5), full.substr(0, 4));
    EXPECT_EQ(GetModuleFileName(1), u"");
    EXPECT_EQ(GetModuleFileName(0), u"");
}

TEST(Clock, LocalTimeMatchesTheCalendar) {
    // Taken around the call so a change of second in between shows.
    const time_t before = time(nullptr);
    const SYSTEMTIME st = GetLocalTime();
    const time_t after = time(nullptr);
    bool matched = false;
    for (time_t t : {before, after}) {
        tm local {};
        localtime_r(&t, &local);
        matched = matched || (st.wYear == local.tm_year + 1900 && st.wMonth == local.tm_mon + 1 &&
                              st.wDay == local.tm_mday && st.wDayOfWeek == local.tm_wday &&
                              st.wHour == local.tm_hour && st.wMinute == local.tm_min &&
                              st.wSecond == local.tm_sec);
    }
    EXPECT_TRUE(matched);
    EXPECT_LT(st.wMilliseconds, 1000);
}

}  // namespace
}  // namespace nilo
