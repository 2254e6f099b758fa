#include "signin/secretstore.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <memory>

namespace {

const QString kService = QStringLiteral("tarnel");

struct JobResult {
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QByteArray data;
};

// Starts a QtKeychain job and waits for it. A job that outlasts the wait deletes itself when it ends; its
// result then goes nowhere.
JobResult runJob(QKeychain::Job* job, int timeoutMs) {
    auto result = std::make_shared<JobResult>();
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [result, &loop](QKeychain::Job* done) {
        result->finished = true;
        result->error = done->error();
        result->errorText = done->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done))
            result->data = read->textData().toUtf8();
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->setAutoDelete(true);
    job->start();
    if (!result->finished) loop.exec();
    if (!result->finished) {
        result->error = QKeychain::OtherError;
        result->errorText = QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000);
    }
    return *result;
}

} // namespace

SecretStore::SecretStore(int timeoutMs) : m_timeoutMs(timeoutMs) {}

std::optional<QByteArray> SecretStore::read(const QString& key) {
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(key);
    const JobResult result = runJob(job, m_timeoutMs);
    if (result.error == QKeychain::NoError) return result.data;
    if (result.error != QKeychain::EntryNotFound) m_storeError = result.errorText;
    if (m_session.contains(key)) return m_session.value(key);
    return std::nullopt;
}

bool SecretStore::write(const QString& key, const QByteArray& value) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(key);
    // As text: the store's own tools (secret-tool) show it as it is.
    job->setTextData(QString::fromUtf8(value));
    const JobResult result = runJob(job, m_timeoutMs);
    if (result.error == QKeychain::NoError) {
        m_session.remove(key);
        return true;
    }
    m_storeError = result.errorText;
    m_session.insert(key, value);
    return false;
}

void SecretStore::remove(const QString& key) {
    m_session.remove(key);
    auto* job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(key);
    const JobResult result = runJob(job, m_timeoutMs);
    if (result.error != QKeychain::NoError && result.error != QKeychain::EntryNotFound)
        m_storeError = result.errorText;
}
