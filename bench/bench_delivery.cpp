#include "bench/bench.h"
#include "bench/smtpsink.h"

#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef TARNEL_SOURCE_DIR
#error "TARNEL_SOURCE_DIR must name the source tree (for the test server and the smtplib client)"
#endif

// Messages per second over one connection to Postfix's smtp-sink (or the test server) on 127.0.0.1, each
// message composed anew and sent the way the main window sends it (worker thread, caller waiting in its
// event loop). The "20 ms round trip" figures go through a proxy that holds every byte back 10 ms each
// way, as a server on the network would.
namespace {

using Clock = std::chrono::steady_clock;

// The test server (tests/support/smtpserver.py, aiosmtpd) with the given switches, recording into a
// temporary folder.
class TestServer {
public:
    explicit TestServer(const QStringList& options) {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{QStringLiteral(TARNEL_SOURCE_DIR "/tests/support/smtpserver.py"),
                                    QStringLiteral("--record"), m_record.path()}
                            << options);
        QByteArray output;
        QDeadlineTimer deadline(15000);
        while (!output.contains('\n') && m_process.waitForReadyRead(int(deadline.remainingTime())))
            output += m_process.readAllStandardOutput();
        if (!output.startsWith("LISTENING ")) throw std::runtime_error("the test SMTP server did not start");
        port = output.mid(10).trimmed().toInt();
    }
    ~TestServer() { stop(m_process); }
    int port = 0;

private:
    QTemporaryDir m_record;
    QProcess m_process;
};

int listeningSocket(int* port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, 8) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the delay proxy cannot listen");
    *port = ntohs(address.sin_port);
    return s;
}

int connectedSocket(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(port);
    if (s < 0 || ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("the delay proxy cannot reach the server");
    return s;
}

void noDelay(int s) {
    const int on = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Forwards connections to 127.0.0.1:<target>, handing on every chunk it reads `oneWay` after it arrived,
// in both directions: a network with twice that round trip and plenty of bandwidth.
class DelayProxy {
public:
    DelayProxy(int target, std::chrono::microseconds oneWay) : m_target(target), m_delay(oneWay) {
        m_listen = listeningSocket(&port);
        if (::pipe2(m_stop, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        m_thread = std::thread([this] { run(); });
    }
    ~DelayProxy() {
        const char byte = 0;
        if (::write(m_stop[1], &byte, 1) != 1) std::terminate();
        m_thread.join();
        for (const Link& link : m_links) {
            ::close(link.side[0].fd);
            ::close(link.side[1].fd);
        }
        ::close(m_listen);
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    int port = 0;

private:
    struct Side {
        int fd = -1;
        bool ended = false;                                            // read its end of stream
        std::deque<std::pair<Clock::time_point, std::string>> toOther; // read here, due there
    };
    struct Link {
        Side side[2];
        bool shut[2] = {false, false}; // no more to write to side[i]
    };

    void run() {
        std::vector<pollfd> fds;
        for (;;) {
            fds.assign({{m_stop[0], POLLIN, 0}, {m_listen, POLLIN, 0}});
            Clock::time_point next = Clock::time_point::max();
            for (const Link& link : m_links)
                for (const Side& s : link.side) {
                    fds.push_back({s.fd, short(s.ended ? 0 : POLLIN), 0});
                    if (!s.toOther.empty()) next = std::min(next, s.toOther.front().first);
                }
            timespec wait{};
            timespec* timeout = nullptr;
            if (next != Clock::time_point::max()) {
                const auto ns = std::max<long long>(
                    0, std::chrono::duration_cast<std::chrono::nanoseconds>(next - Clock::now()).count());
                wait = {time_t(ns / 1000000000), long(ns % 1000000000)};
                timeout = &wait;
            }
            if (::ppoll(fds.data(), fds.size(), timeout, nullptr) < 0 && errno != EINTR) return;
            if (fds[0].revents) return;
            if (fds[1].revents & POLLIN) {
                const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    const int server = connectedSocket(m_target);
                    noDelay(client);
                    noDelay(server);
                    m_links.emplace_back();
                    m_links.back().side[0].fd = client;
                    m_links.back().side[1].fd = server;
                }
            }
            const Clock::time_point now = Clock::now();
            std::size_t polled = 2;
            for (Link& link : m_links)
                for (Side& s : link.side) {
                    // Links accepted in this round were not polled yet.
                    if (polled >= fds.size() || !(fds[polled++].revents & (POLLIN | POLLHUP | POLLERR)))
                        continue;
                    char buffer[65536];
                    const ssize_t n = ::read(s.fd, buffer, sizeof buffer);
                    if (n > 0)
                        s.toOther.emplace_back(now + m_delay, std::string(buffer, std::size_t(n)));
                    else
                        s.ended = true;
                }
            forwardDue();
        }
    }

    void forwardDue() {
        const Clock::time_point now = Clock::now();
        for (auto link = m_links.begin(); link != m_links.end();) {
            for (int i = 0; i < 2; ++i) {
                Side& from = link->side[i];
                const int to = link->side[1 - i].fd;
                while (!from.toOther.empty() && from.toOther.front().first <= now) {
                    const std::string& bytes = from.toOther.front().second;
                    for (std::size_t done = 0; done < bytes.size();) {
                        const ssize_t n = ::write(to, bytes.data() + done, bytes.size() - done);
                        if (n <= 0) break;
                        done += std::size_t(n);
                    }
                    from.toOther.pop_front();
                }
                if (from.ended && from.toOther.empty() && !link->shut[1 - i]) {
                    ::shutdown(to, SHUT_WR);
                    link->shut[1 - i] = true;
                }
            }
            if (link->shut[0] && link->shut[1]) {
                ::close(link->side[0].fd);
                ::close(link->side[1].fd);
                link = m_links.erase(link);
            } else {
                ++link;
            }
        }
    }

    int m_target;
    Clock::duration m_delay;
    int m_listen = -1;
    int m_stop[2] = {-1, -1};
    std::deque<Link> m_links;
    std::thread m_thread; // last: starts once everything above exists
};

constexpr std::chrono::microseconds tenMs(10000);

MailRequest request(int port) {
    MailRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.port = QString::number(port);
    r.user = QStringLiteral("sender@example.test");
    r.recipients = QStringLiteral("Empfänger <recipient@example.test>");
    r.subject = QStringLiteral("Unser Angebot für Sie");
    for (int i = 0; i < 20; ++i)
        r.lines << QStringLiteral(
                       "Sehr geehrte Frau Müller, dies ist Zeile %1 der Nachricht mit Umlauten äöü.")
                       .arg(i);
    return r;
}

// Sends `count` messages to the port over one connection and reports the rate.
void deliver(const QString& figure, MailRequest mail, int port, int count) {
    mail.port = QString::number(port);
    MailDelivery delivery;
    int sent = 0;
    const double seconds = timeSeconds([&] {
        for (int i = 0; i < count; ++i)
            sent += delivery.send(prepareMail(mail)).sent ? 1 : 0;
        delivery.close();
    });
    if (sent != count)
        throw std::runtime_error(qPrintable(QStringLiteral("%1 of %2 sent").arg(sent).arg(count)));
    reportFigure(figure, count / seconds, QStringLiteral("mails/s"));
}

void deliver(const QString& figure, const MailRequest& mail, int count) {
    SmtpSink sink;
    deliver(figure, mail, sink.port, count);
}

const Bench text("delivery_text", [] { deliver(QStringLiteral("delivery text"), request(0), 5000); });

// smtp-sink offers PIPELINING but not CHUNKING: two round trips per message.
const Bench text20("delivery_text_20ms", [] {
    SmtpSink sink;
    DelayProxy proxy(sink.port, tenMs);
    deliver(QStringLiteral("delivery text at 20 ms round trip"), request(0), proxy.port, 200);
});

// Without PIPELINING (smtp-sink -p): four round trips per message, as any lock-step client needs.
const Bench lockStep20("delivery_text_20ms_lockstep", [] {
    SmtpSink sink({QStringLiteral("-p")});
    DelayProxy proxy(sink.port, tenMs);
    deliver(QStringLiteral("delivery text at 20 ms round trip, lock-step"), request(0), proxy.port, 100);
});

// The test server with CHUNKING: one round trip per message.
const Bench chunking20("delivery_text_20ms_chunking", [] {
    TestServer server({QStringLiteral("--pipelining"), QStringLiteral("--chunking")});
    DelayProxy proxy(server.port, tenMs);
    deliver(QStringLiteral("delivery text at 20 ms round trip, chunking"), request(0), proxy.port, 300);
});

// Python's smtplib sending the same text mail the same way, for comparison.
const Bench smtplib20("smtplib_text_20ms", [] {
    SmtpSink sink;
    DelayProxy proxy(sink.port, tenMs);
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(TARNEL_SOURCE_DIR "/bench/smtplib_client.py"), QStringLiteral("127.0.0.1"),
                  QString::number(proxy.port), QStringLiteral("100")});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        throw std::runtime_error("the smtplib client failed");
    bool ok = false;
    const double rate = python.readAllStandardOutput().trimmed().toDouble(&ok);
    if (!ok) throw std::runtime_error("the smtplib client reported no rate");
    reportFigure(QStringLiteral("python smtplib text at 20 ms round trip"), rate, QStringLiteral("mails/s"));
});

const Bench html("delivery_html", [] {
    MailRequest mail = request(0);
    mail.html = true;
    mail.lines.prepend(QStringLiteral("<html><body><p>"));
    mail.lines.append(QStringLiteral("</p></body></html>"));
    deliver(QStringLiteral("delivery html"), mail, 5000);
});

const Bench attachment("delivery_attachment", [] {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Preisliste März.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write the attachment");
    QByteArray bytes(50 * 1024, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 131 + i / 97) & 0xFF);
    file.write(bytes);
    file.close();
    MailRequest mail = request(0);
    mail.attachmentPath = path;
    deliver(QStringLiteral("delivery 50 KB attachment"), mail, 1000);
});

const Bench compose("compose_text", [] {
    const MailRequest mail = request(25);
    const int count = 20000;
    qint64 bytes = 0;
    const double seconds = timeSeconds([&] {
        for (int i = 0; i < count; ++i)
            bytes += prepareMail(mail).data.size();
    });
    if (bytes == 0) throw std::runtime_error("nothing composed");
    reportFigure(QStringLiteral("compose text"), count / seconds, QStringLiteral("mails/s"));
});

} // namespace
