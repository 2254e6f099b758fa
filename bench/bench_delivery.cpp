#include "bench/bench.h"

#include "mailing/maildelivery.h"
#include "mailing/mailrequest.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

// Messages per second over one connection to Postfix's smtp-sink on 127.0.0.1, each message composed anew
// and sent the way the main window sends it (worker thread, caller waiting in its event loop).
namespace {

int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port");
    ::close(s);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

class SmtpSink {
public:
    SmtpSink() {
        QString program = QStringLiteral("/usr/sbin/smtp-sink");
        if (!QFileInfo::exists(program)) program = QStringLiteral("/usr/lib/postfix/sbin/smtp-sink");
        if (!QFileInfo::exists(program)) throw std::runtime_error("smtp-sink not found (install postfix)");
        port = freePort();
        QStringList arguments;
        if (::geteuid() == 0) arguments << QStringLiteral("-u") << QStringLiteral("postfix");
        arguments << QStringLiteral("127.0.0.1:%1").arg(port) << QStringLiteral("100");
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
    ~SmtpSink() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    int port = 0;

private:
    QProcess m_process;
};

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

void deliver(const QString& figure, MailRequest mail, int count) {
    SmtpSink sink;
    mail.port = QString::number(sink.port);
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

const Bench text("delivery_text", [] { deliver(QStringLiteral("delivery text"), request(0), 5000); });

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
