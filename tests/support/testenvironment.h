#pragma once

#include <QApplication>
#include <QString>
#include <QTest>

// Gives a test executable the offscreen platform (or the one TARNEL_TEST_PLATFORM names) and a fresh
// temporary folder for HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and TMPDIR, so no test can touch the real user's
// files. Must exist before any Qt object.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    static QString root();

private:
    static QString s_root;
};

#define TARNEL_TEST_MAIN(TestObject)                                                                         \
    int main(int argc, char** argv) {                                                                        \
        TestEnvironment environment;                                                                         \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
