#include "tests/support/testenvironment.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdlib>
#include <stdexcept>

QString TestEnvironment::s_root;

TestEnvironment::TestEnvironment() {
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty()) base = "/tmp";
    QByteArray pattern = base + "/tarnel-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create the test folder");
    s_root = QString::fromLocal8Bit(pattern);
    const struct {
        const char* variable;
        const char* folder;
    } folders[] = {{"HOME", "home"},
                   {"XDG_DATA_HOME", "data"},
                   {"XDG_CONFIG_HOME", "config"},
                   {"XDG_CACHE_HOME", "cache"},
                   {"XDG_RUNTIME_DIR", "runtime"},
                   {"TMPDIR", "tmp"}};
    for (const auto& f : folders) {
        const QByteArray path = pattern + '/' + f.folder;
        QDir().mkpath(QString::fromLocal8Bit(path));
        QFile::setPermissions(QString::fromLocal8Bit(path),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(f.variable, path);
    }
    // No test meets the user's own session bus, and with it their keyring: a test that needs a Secret
    // Service starts its own (testsecretservice.h).
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + pattern + "/runtime/no-bus");
    // Offscreen unless a test that needs the real window system (under Xvfb) names another platform.
    const QByteArray platform = qgetenv("TARNEL_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
}

TestEnvironment::~TestEnvironment() {
    if (qEnvironmentVariableIsEmpty("TARNEL_KEEP_TEST_FOLDER")) QDir(s_root).removeRecursively();
}

QString TestEnvironment::root() {
    return s_root;
}
