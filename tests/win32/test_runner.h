// A small test runner for the Windows backend's tests, which run under Wine
// where GoogleTest is not available: named tests, checks that report the
// failing expression and carry on, and a closing "N passed, N failed" line.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace wintest {

struct Test {
    const char* name;
    std::function<void()> body;
};

std::vector<Test>& Registry();
// Records a failed check of the running test.
void Fail(const char* file, int line, const std::string& what);

struct Registrar {
    Registrar(const char* name, std::function<void()> body) { Registry().push_back(Test{name, std::move(body)}); }
};

// For messages: a UTF-16 text shown as UTF-8 (ASCII is enough for tests).
std::string Narrow(const std::u16string& text);

}  // namespace wintest

#define WINTEST_CONCAT2(a, b) a##b
#define WINTEST_CONCAT(a, b) WINTEST_CONCAT2(a, b)
#define TEST(name)                                                                         \
    static void name();                                                                    \
    static ::wintest::Registrar WINTEST_CONCAT(name, _registrar)(#name, &name);            \
    static void name()

#define CHECK(expr)                                                                        \
    do {                                                                                   \
        if (!(expr)) ::wintest::Fail(__FILE__, __LINE__, #expr);                           \
    } while (0)

// Stops the test on failure: for checks whose failure makes the rest meaningless.
#define REQUIRE(expr)                                                                      \
    do {                                                                                   \
        if (!(expr)) {                                                                     \
            ::wintest::Fail(__FILE__, __LINE__, #expr);                                    \
            return;                                                                        \
        }                                                                                  \
    } while (0)

#define CHECK_EQ(a, b)                                                                     \
    do {                                                                                   \
        const auto& wintest_a = (a);                                                       \
        const auto& wintest_b = (b);                                                       \
        if (!(wintest_a == wintest_b))                                                     \
            ::wintest::Fail(__FILE__, __LINE__, std::string(#a " == " #b));                \
    } while (0)
