#include "tests/support/testsmtpserver.h"

#include "tests/support/scriptserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QThread>

#ifndef TARNEL_TEST_SUPPORT_DIR
#error "TARNEL_TEST_SUPPORT_DIR must name the folder of smtpserver.py"
#endif

namespace {

struct Certificates {
    QString ca, cert, key, selfSignedCert, selfSignedKey, error;
};

bool runOpenssl(const QString& folder, const QStringList& arguments, QString* error) {
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        *error = QStringLiteral("openssl %1 failed: %2")
                     .arg(arguments.first(), QString::fromLocal8Bit(openssl.readAllStandardError()));
        return false;
    }
    return true;
}

// A CA and a server certificate it signed, for localhost, 127.0.0.1 and the test's made-up remote name.
const Certificates& certificates() {
    static const Certificates made = [] {
        Certificates c;
        const QString folder = QDir::tempPath() + QStringLiteral("/smtp-tls");
        QDir().mkpath(folder);
        const QStringList ec{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
        const bool ok =
            runOpenssl(folder,
                       QStringList{QStringLiteral("req"), QStringLiteral("-x509")}
                           << ec
                           << QStringList{QStringLiteral("-keyout"), QStringLiteral("ca.key"),
                                          QStringLiteral("-out"), QStringLiteral("ca.pem"),
                                          QStringLiteral("-days"), QStringLiteral("2"),
                                          QStringLiteral("-subj"), QStringLiteral("/CN=Tarnel test CA"),
                                          QStringLiteral("-addext"),
                                          QStringLiteral("basicConstraints=critical,CA:TRUE"),
                                          QStringLiteral("-addext"),
                                          QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")},
                       &c.error) &&
            runOpenssl(folder,
                       QStringList{QStringLiteral("req")}
                           << ec
                           << QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"),
                                          QStringLiteral("-out"), QStringLiteral("server.csr"),
                                          QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                                          QStringLiteral("-addext"),
                                          QStringLiteral("subjectAltName=DNS:localhost,DNS:mail.example.test,"
                                                         "IP:127.0.0.1")},
                       &c.error) &&
            runOpenssl(folder,
                       {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                        QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                        QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
                        QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-copy_extensions"),
                        QStringLiteral("copy"), QStringLiteral("-out"), QStringLiteral("server.pem")},
                       &c.error) &&
            // What a local mail bridge makes for itself: right names, nobody's signature.
            runOpenssl(folder,
                       QStringList{QStringLiteral("req"), QStringLiteral("-x509")}
                           << ec
                           << QStringList{QStringLiteral("-keyout"), QStringLiteral("self.key"),
                                          QStringLiteral("-out"), QStringLiteral("self.pem"),
                                          QStringLiteral("-days"), QStringLiteral("2"),
                                          QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                                          QStringLiteral("-addext"),
                                          QStringLiteral("subjectAltName=DNS:localhost,DNS:mail.example.test,"
                                                         "IP:127.0.0.1")},
                       &c.error);
        if (ok) {
            c.ca = folder + QStringLiteral("/ca.pem");
            c.cert = folder + QStringLiteral("/server.pem");
            c.key = folder + QStringLiteral("/server.key");
            c.selfSignedCert = folder + QStringLiteral("/self.pem");
            c.selfSignedKey = folder + QStringLiteral("/self.key");
        }
        return c;
    }();
    return made;
}

} // namespace

TestSmtpServer::TestSmtpServer() = default;

TestSmtpServer::TestSmtpServer(const Options& options) : m_options(options) {}

TestSmtpServer::~TestSmtpServer() {
    stop();
}

QString TestSmtpServer::caFile() {
    return certificates().ca;
}

bool TestSmtpServer::start() {
    stop();
    if (!m_record.isValid()) {
        m_error = QStringLiteral("no record folder");
        return false;
    }
    QStringList arguments{QStringLiteral(TARNEL_TEST_SUPPORT_DIR "/smtpserver.py"),
                          QStringLiteral("--record"), m_record.path()};
    const Options& o = m_options;
    if (o.auth != Options::Auth::None) {
        const char* const mechanisms[] = {"none", "login", "plain", "xoauth2"};
        arguments << QStringLiteral("--auth") << QLatin1String(mechanisms[int(o.auth)]);
        if (!o.authRequired) arguments << QStringLiteral("--auth-optional");
        arguments << QStringLiteral("--user") << o.user << QStringLiteral("--password") << o.password;
    }
    if (o.refuseLogin) arguments << QStringLiteral("--refuse-login");
    QString tokenFile = o.oauthTokenFile;
    if (tokenFile.isEmpty() && !o.acceptedTokens.isEmpty()) {
        tokenFile = m_record.filePath(QStringLiteral("tokens.json"));
        QJsonObject tokens;
        const double expires = double(QDateTime::currentSecsSinceEpoch() + 3600);
        for (const QString& token : o.acceptedTokens)
            tokens.insert(token, QJsonObject{{QStringLiteral("user"), o.user},
                                             {QStringLiteral("valid"), true},
                                             {QStringLiteral("expires"), expires}});
        QFile file(tokenFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(tokens).toJson()) < 0) {
            m_error = QStringLiteral("cannot write the tokens file");
            return false;
        }
    }
    if (!tokenFile.isEmpty()) arguments << QStringLiteral("--oauth-tokens") << tokenFile;
    arguments << QStringLiteral("--refuse-token-reply") << o.refuseTokenReply;
    arguments << QStringLiteral("--refuse-login-reply") << o.refuseLoginReply;
    if (o.authOldForm) arguments << QStringLiteral("--auth-old-form");
    if (o.startTls || o.implicitTls) {
        const Certificates& c = certificates();
        if (c.ca.isEmpty()) {
            m_error = c.error;
            return false;
        }
        arguments << (o.startTls ? QStringLiteral("--starttls") : QStringLiteral("--implicit-tls"))
                  << QStringLiteral("--cert") << (o.selfSignedCertificate ? c.selfSignedCert : c.cert)
                  << QStringLiteral("--key") << (o.selfSignedCertificate ? c.selfSignedKey : c.key);
    }
    if (o.pipelining) arguments << QStringLiteral("--pipelining");
    if (o.chunking) arguments << QStringLiteral("--chunking");
    if (o.noEhlo) arguments << QStringLiteral("--no-ehlo");
    if (o.smtpUtf8) arguments << QStringLiteral("--smtputf8");
    if (o.sizeLimit >= 0) arguments << QStringLiteral("--size-limit") << QString::number(o.sizeLimit);
    if (o.multilineRefusals) arguments << QStringLiteral("--multiline-refusals");
    if (!o.strayReplyAfter.isEmpty()) arguments << QStringLiteral("--stray-reply") << o.strayReplyAfter;
    for (const QString& reply : o.replies)
        arguments << QStringLiteral("--reply") << reply;
    if (o.replyTimes > 0) arguments << QStringLiteral("--reply-times") << QString::number(o.replyTimes);
    if (!o.floodReplyTo.isEmpty()) arguments << QStringLiteral("--flood-reply") << o.floodReplyTo;
    for (const QString& r : o.refuseRecipients)
        arguments << QStringLiteral("--refuse-rcpt") << r;
    for (const QString& r : o.refuseSenders)
        arguments << QStringLiteral("--refuse-sender") << r;
    for (const QString& r : o.refuseContent)
        arguments << QStringLiteral("--refuse-content") << r;
    arguments << QStringLiteral("--refuse-content-reply") << o.refuseContentReply;
    if (o.closeAfter > 0) arguments << QStringLiteral("--close-after") << QString::number(o.closeAfter);
    if (o.goodbyeAfter > 0) arguments << QStringLiteral("--goodbye-after") << QString::number(o.goodbyeAfter);
    if (o.failMailAfter >= 0)
        arguments << QStringLiteral("--fail-mail-after") << QString::number(o.failMailAfter);
    if (o.failRcptAfter >= 0)
        arguments << QStringLiteral("--fail-rcpt-after") << QString::number(o.failRcptAfter);
    if (!o.dropOn.isEmpty())
        arguments << QStringLiteral("--drop-on") << o.dropOn << QStringLiteral("--drop-on-after")
                  << QString::number(o.dropOnAfter);
    if (o.silentAfter > 0) arguments << QStringLiteral("--silent-after") << QString::number(o.silentAfter);
    if (o.greeting421) arguments << QStringLiteral("--greeting-421");
    if (o.dropAfterData > 0)
        arguments << QStringLiteral("--drop-after-data") << QString::number(o.dropAfterData);
    if (o.delaySeconds > 0)
        arguments << QStringLiteral("--delay") << QString::number(o.delaySeconds)
                  << QStringLiteral("--delay-on") << o.delayOn;

    m_process = std::make_unique<QProcess>();
    m_port = startScriptServer(*m_process, arguments, QStringLiteral("the test SMTP server"), m_error);
    if (m_port == 0) stop();
    return m_port != 0;
}

void TestSmtpServer::stop() {
    if (!m_process) return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

QList<QJsonObject> TestSmtpServer::entries() const {
    QList<QJsonObject> list;
    QFile log(m_record.filePath(QStringLiteral("log.jsonl")));
    if (!log.open(QIODevice::ReadOnly)) return list;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject()) list << document.object();
    }
    return list;
}

QList<TestSmtpServer::Command> TestSmtpServer::commands() const {
    QList<Command> list;
    for (const QJsonObject& e : entries())
        if (e.contains(QLatin1String("cmd")))
            list << Command{e.value(QLatin1String("conn")).toInt(), e.value(QLatin1String("cmd")).toString(),
                            e.value(QLatin1String("arg")).toString(), e.value(QLatin1String("tls")).toBool(),
                            e.value(QLatin1String("pipelined")).toBool()};
    return list;
}

QStringList TestSmtpServer::verbs() const {
    QStringList list;
    for (const Command& c : commands())
        list << c.verb;
    return list;
}

QList<TestSmtpServer::Login> TestSmtpServer::logins() const {
    QList<Login> list;
    for (const QJsonObject& e : entries())
        if (e.contains(QLatin1String("auth")))
            list << Login{e.value(QLatin1String("conn")).toInt(), e.value(QLatin1String("auth")).toString(),
                          e.value(QLatin1String("login")).toString(),
                          e.value(QLatin1String("password")).toString(),
                          e.value(QLatin1String("ok")).toBool()};
    return list;
}

QList<TestSmtpServer::Message> TestSmtpServer::messages() const {
    QList<Message> list;
    for (const QJsonObject& e : entries()) {
        if (e.value(QLatin1String("event")).toString() != QLatin1String("message")) continue;
        Message m{
            e.value(QLatin1String("conn")).toInt(), e.value(QLatin1String("mail_from")).toString(), {}, {}};
        for (const QJsonValue& r : e.value(QLatin1String("rcpt_tos")).toArray())
            m.recipients << r.toString();
        QFile file(m_record.filePath(e.value(QLatin1String("file")).toString()));
        if (file.open(QIODevice::ReadOnly)) m.data = file.readAll();
        list << m;
    }
    return list;
}

// Distinct connections: STARTTLS reports a connection's start (and end) a second time.
int TestSmtpServer::eventCount(const QString& event) const {
    QSet<int> connections;
    for (const QJsonObject& e : entries())
        if (e.value(QLatin1String("event")).toString() == event)
            connections << e.value(QLatin1String("conn")).toInt();
    return int(connections.size());
}

QList<QJsonObject> TestSmtpServer::events(const QString& event) const {
    QList<QJsonObject> list;
    for (const QJsonObject& e : entries())
        if (e.value(QLatin1String("event")).toString() == event) list << e;
    return list;
}

int TestSmtpServer::connectionCount() const {
    return eventCount(QStringLiteral("connect"));
}

int TestSmtpServer::closedConnectionCount() const {
    return eventCount(QStringLiteral("close"));
}

bool TestSmtpServer::waitFor(const std::function<bool()>& ready, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!ready()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}
