#include "tests/support/testoauthprovider.h"

#include "tests/support/scriptserver.h"
#include "tests/support/testsmtpserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

#ifndef TARNEL_TEST_SUPPORT_DIR
#error "TARNEL_TEST_SUPPORT_DIR must name the folder of oauthprovider.py"
#endif

TestOAuthProvider::TestOAuthProvider() = default;

TestOAuthProvider::TestOAuthProvider(const Options& options) : m_options(options) {}

TestOAuthProvider::~TestOAuthProvider() {
    stop();
}

bool TestOAuthProvider::start() {
    stop();
    if (!m_record.isValid()) {
        m_error = QStringLiteral("no record folder");
        return false;
    }
    const Options& o = m_options;
    QStringList arguments{QStringLiteral(TARNEL_TEST_SUPPORT_DIR "/oauthprovider.py"),
                          QStringLiteral("--record"),
                          m_record.path(),
                          QStringLiteral("--tokens"),
                          tokenFile(),
                          QStringLiteral("--client-id"),
                          o.clientId,
                          QStringLiteral("--user"),
                          o.user,
                          QStringLiteral("--expires-in"),
                          QString::number(o.expiresIn)};
    if (!o.clientSecret.isEmpty()) arguments << QStringLiteral("--client-secret") << o.clientSecret;
    if (!o.scope.isEmpty()) arguments << QStringLiteral("--scope") << o.scope;
    if (o.rotateRefreshTokens) arguments << QStringLiteral("--rotate-refresh-tokens");
    if (o.denyConsent) arguments << QStringLiteral("--deny-consent");
    if (!o.idToken) arguments << QStringLiteral("--no-id-token");

    m_process = std::make_unique<QProcess>();
    m_port = startScriptServer(*m_process, arguments, QStringLiteral("the test OAuth provider"), m_error);
    if (m_port == 0) stop();
    return m_port != 0;
}

void TestOAuthProvider::stop() {
    if (!m_process) return;
    if (m_process->state() != QProcess::NotRunning) {
        // The end of its input ends it.
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

QString TestOAuthProvider::authorizationUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/authorize").arg(m_port);
}

QString TestOAuthProvider::tokenUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/token").arg(m_port);
}

QString TestOAuthProvider::tokenFile() const {
    return m_record.filePath(QStringLiteral("tokens.json"));
}

bool TestOAuthProvider::command(const QByteArray& line) {
    if (!m_process || m_process->state() != QProcess::Running) return false;
    m_process->write(line + '\n');
    QByteArray answer;
    QDeadlineTimer deadline(5000);
    while (!answer.contains('\n') && !deadline.hasExpired())
        if (m_process->waitForReadyRead(int(deadline.remainingTime())))
            answer += m_process->readAllStandardOutput();
    return answer.trimmed() == "OK " + line;
}

bool TestOAuthProvider::revoke() {
    return command("revoke");
}

bool TestOAuthProvider::expireAccessTokens() {
    return command("expire");
}

QList<QJsonObject> TestOAuthProvider::requests() const {
    QList<QJsonObject> list;
    QFile log(m_record.filePath(QStringLiteral("log.jsonl")));
    if (!log.open(QIODevice::ReadOnly)) return list;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.contains(QLatin1String("endpoint"))) list << entry;
    }
    return list;
}

QList<QJsonObject> TestOAuthProvider::tokenRequests(const QString& grantType) const {
    QList<QJsonObject> list;
    for (const QJsonObject& entry : requests())
        if (entry.value(QLatin1String("grant_type")).toString() == grantType) list << entry;
    return list;
}

QStringList TestOAuthProvider::accessTokens() const {
    QStringList list;
    for (const QJsonObject& entry : requests())
        if (!entry.value(QLatin1String("access_token")).toString().isEmpty())
            list << entry.value(QLatin1String("access_token")).toString();
    return list;
}

QStringList TestOAuthProvider::refreshTokens() const {
    QStringList list;
    for (const QJsonObject& entry : requests())
        if (!entry.value(QLatin1String("refresh_token")).toString().isEmpty())
            list << entry.value(QLatin1String("refresh_token")).toString();
    return list;
}

TestBrowser::~TestBrowser() {
    close();
}

void TestBrowser::close() {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

void TestBrowser::open(const QUrl& url) {
    close();
    ++m_visits;
    m_output.clear();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(TARNEL_TEST_SUPPORT_DIR "/browser.py"), QString::fromLatin1(url.toEncoded())});
}

bool TestBrowser::waitFinished(int timeoutMs) {
    if (!m_process) return false;
    const bool ended =
        TestSmtpServer::waitFor([this] { return m_process->state() == QProcess::NotRunning; }, timeoutMs);
    m_output += QString::fromUtf8(m_process->readAll());
    return ended;
}
