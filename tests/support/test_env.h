#pragma once

#include <QString>
#include <QTest>

namespace tallyrook::test {

// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR at folders of a
// temporary home that lives as long as the process, so no test touches the user's settings, Trash
// or home. With `gui`, window tests get the offscreen platform with a 1600 x 1200 screen (the
// default 800 x 800 one would trip the small-screen rule). Call before the application object.
void PrepareTestEnvironment(bool gui);

// The temporary home made by PrepareTestEnvironment.
QString TestHome();

}  // namespace tallyrook::test

#define TALLYROOK_TEST_MAIN_IMPL(TestObject, AppClass, gui)             \
    int main(int argc, char** argv) {                                   \
        tallyrook::test::PrepareTestEnvironment(gui);                   \
        AppClass app(argc, argv);                                       \
        TestObject tc;                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                      \
        return QTest::qExec(&tc, argc, argv);                           \
    }

// Engine tests: QCoreApplication.
#define TALLYROOK_TEST_MAIN(TestObject) TALLYROOK_TEST_MAIN_IMPL(TestObject, QCoreApplication, false)
// Window tests: QApplication on the offscreen platform.
#define TALLYROOK_TEST_GUI_MAIN(TestObject) TALLYROOK_TEST_MAIN_IMPL(TestObject, QApplication, true)
