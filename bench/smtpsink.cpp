#include "bench/smtpsink.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <arpa/inet.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void stop(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port");
    ::close(s);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(port);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

SmtpSink::SmtpSink(const QStringList& options) {
    QString program = QStringLiteral("/usr/sbin/smtp-sink");
    if (!QFileInfo::exists(program)) program = QStringLiteral("/usr/lib/postfix/sbin/smtp-sink");
    if (!QFileInfo::exists(program)) throw std::runtime_error("smtp-sink not found (install postfix)");
    port = freePort();
    QStringList arguments;
    if (::geteuid() == 0) arguments << QStringLiteral("-u") << QStringLiteral("postfix");
    arguments << options << QStringLiteral("127.0.0.1:%1").arg(port) << QStringLiteral("100");
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000)) throw std::runtime_error("smtp-sink did not start");
    QDeadlineTimer deadline(5000);
    while (!accepts(port)) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            throw std::runtime_error("smtp-sink does not listen");
        QThread::msleep(20);
    }
}

SmtpSink::~SmtpSink() {
    stop(m_process);
}
