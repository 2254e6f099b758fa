#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

// The program's secrets in the desktop's secret store (the Secret Service, through QtKeychain), under the
// service name "tarnel". Where there is no secret store (no desktop session, nothing answering on D-Bus),
// a secret is kept in this object's memory instead, for the program run only - never in a file. Each call
// waits for the store in a local event loop, at most `timeoutMs`: long enough for the desktop's own prompt to
// unlock a locked keyring, short enough that nothing waits for good.
class SecretStore {
public:
    explicit SecretStore(int timeoutMs = 30000);

    std::optional<QByteArray> read(const QString& key);
    // False when the secret store could not take it: it is then kept for the program run only.
    bool write(const QString& key, const QByteArray& value);
    void remove(const QString& key);

    // The secret store failed at least once: what it said (empty while it has not).
    const QString& storeError() const { return m_storeError; }

private:
    int m_timeoutMs;
    QString m_storeError;
    QMap<QString, QByteArray> m_session; // what the secret store could not keep
};
