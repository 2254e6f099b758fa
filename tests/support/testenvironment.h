#pragma once

// A test of a window library gets a QApplication; a test that links Qt Gui (HTML messages are read with
// its rich-text reader) a QGuiApplication; a test of any other logic library a QCoreApplication.
#if defined(QT_WIDGETS_LIB)
#include <QApplication>
using TestApplication = QApplication;
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QString>
#include <QTest>

// Gives a test executable the offscreen platform (or the one TARNEL_TEST_PLATFORM names) and a fresh
// temporary folder for HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and TMPDIR, so no test can touch the real user's
// files, and a D-Bus session address where no bus is, so none can touch their keyring. Must exist before any
// Qt object.
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
        TestApplication app(argc, argv);                                                                     \
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi, true);                                               \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
