#pragma once

#include <QTest>

namespace tallyrook::test {

// Before the application object: HOME and the XDG folders into a temporary home and the session
// bus pointed nowhere, so no test touches the user's settings, Trash, home or desktop; with `gui`,
// the offscreen platform on a 1600 x 1200 screen (its default 800 x 800 one would trip the
// small-screen rule).
void PrepareTestEnvironment(bool gui);

inline QString TestHome() {
    return qEnvironmentVariable("HOME");
}

// The portable build (Qt's file classes instead of the POSIX calls) meets some cases otherwise.
#ifdef TALLYROOK_PORTABLE
inline constexpr bool Portable = true;
#else
inline constexpr bool Portable = false;
#endif

}  // namespace tallyrook::test

#define TALLYROOK_TEST_MAIN_IMPL(TestObject, AppClass, gui) \
    int main(int argc, char** argv) {                       \
        tallyrook::test::PrepareTestEnvironment(gui);       \
        AppClass app(argc, argv);                           \
        TestObject tc;                                      \
        return QTest::qExec(&tc, argc, argv);               \
    }

// Engine tests get QCoreApplication, window tests QApplication on the offscreen platform.
#define TALLYROOK_TEST_MAIN(T) TALLYROOK_TEST_MAIN_IMPL(T, QCoreApplication, false)
#define TALLYROOK_TEST_GUI_MAIN(T) TALLYROOK_TEST_MAIN_IMPL(T, QApplication, true)
