#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// A private D-Bus session bus for the test process and, once startKeyring() ran, a real Secret Service on
// it: gnome-keyring-daemon with a login keyring of its own, created and unlocked with a test password, its
// files in a folder of its own (not the test's data or config folder). The bus reads no service files, so
// nothing starts on demand: before startKeyring() a client meets no Secret Service at all, as on a machine
// without a desktop session. startBus() points this process's DBUS_SESSION_BUS_ADDRESS at the bus; it
// must run before anything here talks D-Bus. Every wait is bounded: a missing program fails with a
// message, never hangs.
class TestSecretService {
public:
    TestSecretService();
    ~TestSecretService();
    TestSecretService(const TestSecretService&) = delete;
    TestSecretService& operator=(const TestSecretService&) = delete;

    bool startBus();
    bool startKeyring();
    QString errorString() const { return m_error; }
    // What the Secret Service holds for the program (QtKeychain's attributes: server "tarnel", user
    // `key`), read with its own tool (secret-tool); nullopt when it holds nothing.
    std::optional<QString> lookup(const QString& key) const;
    // Deletes what it holds for the program under `key` (secret-tool clear); true when nothing is left.
    bool clear(const QString& key) const;

private:
    bool fail(const QString& why);
    QProcessEnvironment environment() const;

    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_keyring;
    QString m_address;
    QString m_error;
};
