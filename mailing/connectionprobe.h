#pragma once

#include <QList>
#include <QString>

#include <optional>

// A host that answers when the machine is online.
struct ProbeTarget {
    QString host;
    quint16 port = 0;
};

// The fixed public web host of the connection check.
ProbeTarget publicWebHost();

// What the connection check tries: the web hosts and, when the account fields name one, the mail server
// (online also means "can reach the mail server": a relay inside the network counts).
QList<ProbeTarget> onlineProbeTargets(const QList<ProbeTarget>& webHosts, const QString& host,
                                      const QString& port);

// Tries a TCP connection to every target at once and says whether one was accepted within `timeoutMs`.
// Waits in a local event loop, so the calling window keeps painting and handling its events meanwhile.
bool probeOnline(const QList<ProbeTarget>& targets, int timeoutMs);

// The main window's connection check: online when a web host or the account's mail server takes a
// connection within the timeout. Its wait lets events through, so a check asked for meanwhile (a second
// click, the schedule's tick) is let pass without an answer of its own.
class ConnectionCheck {
public:
    QList<ProbeTarget> webHosts{publicWebHost()}; // tests point it at 127.0.0.1
    int timeoutMs = 4000;

    // Whether online; nothing while another check waits.
    std::optional<bool> run(const QString& host, const QString& port);

private:
    bool m_running = false;
};
