#include "mailing/connectionprobe.h"

#include "core/blank.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <vector>

ProbeTarget publicWebHost() {
    return {QStringLiteral("www.debian.org"), 443};
}

QList<ProbeTarget> onlineProbeTargets(const QList<ProbeTarget>& webHosts, const QString& host,
                                      const QString& port) {
    QList<ProbeTarget> targets = webHosts;
    bool portOk = false;
    const int number = trimBlank(port).toInt(&portOk);
    if (!isBlank(host) && portOk && number > 0 && number < 65536)
        targets.append({trimBlank(host), quint16(number)});
    return targets;
}

bool probeOnline(const QList<ProbeTarget>& targets, int timeoutMs) {
    QEventLoop loop;
    bool online = false;
    int pending = 0;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (const ProbeTarget& target : targets) {
        if (target.host.isEmpty() || target.port == 0) continue;
        auto socket = std::make_unique<QTcpSocket>();
        QObject::connect(socket.get(), &QTcpSocket::connected, &loop, [&] {
            online = true;
            loop.quit();
        });
        QObject::connect(socket.get(), &QTcpSocket::errorOccurred, &loop, [&] {
            if (--pending == 0) loop.quit();
        });
        ++pending;
        socket->connectToHost(target.host, target.port);
        sockets.push_back(std::move(socket));
    }
    if (pending > 0) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    for (auto& socket : sockets) {
        socket->disconnect();
        socket->abort();
    }
    return online;
}

std::optional<bool> ConnectionCheck::run(const QString& host, const QString& port) {
    if (m_running) return std::nullopt;
    m_running = true;
    const bool online = probeOnline(onlineProbeTargets(webHosts, host, port), timeoutMs);
    m_running = false;
    return online;
}
