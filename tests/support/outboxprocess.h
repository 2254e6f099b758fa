#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The try-out's local outbox (tools/outbox.py) in its own process on a free port of 127.0.0.1, keeping the
// messages in a temporary folder of its own.
class OutboxProcess {
public:
    OutboxProcess();
    ~OutboxProcess();
    OutboxProcess(const OutboxProcess&) = delete;
    OutboxProcess& operator=(const OutboxProcess&) = delete;

    // Starts it and waits until it listens; on failure errorString() says why.
    bool start();
    // Asks it to end (SIGTERM) and waits; true when it ended by itself with exit code 0.
    bool stop();
    quint16 port() const { return m_port; }
    QString folder() const { return m_folder.path(); }
    QString errorString() const { return m_error; }
    // What it has printed so far, line by line.
    QStringList output();
    // The one-line summaries of the messages taken so far, in order.
    QStringList summaries();
    // The .eml files kept so far, by name.
    QStringList messageFiles() const;

private:
    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_process;
    QString m_output;
    quint16 m_port = 0;
    QString m_error;
};
