#include "mailing/maildelivery.h"

#include "mailing/maillibraries.h"

#include <QEventLoop>
#include <QMutex>
#include <QMutexLocker>

#include <memory>

// Lives on the worker thread together with the connection; every use of the session happens there.
class MailDelivery::Worker : public QObject {
public:
    SmtpSession session;
    // Read by the caller's thread; written by the worker.
    mutable QMutex mutex;
    SmtpAccount account;
};

MailDelivery::MailDelivery(QObject* parent) : QObject(parent) {
    initMailLibraries();
    m_thread.setObjectName(QStringLiteral("mail delivery"));
    m_worker = new Worker;
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

MailDelivery::~MailDelivery() {
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->session.close(); }, Qt::QueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void MailDelivery::setOptions(const SmtpOptions& options) {
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, options] { worker->session.setOptions(options); }, Qt::QueuedConnection);
}

SmtpAccount MailDelivery::connectedAccount() const {
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->account;
}

void MailDelivery::runOnWorker(const std::function<void()>& work) {
    // Set by the worker when it is done, read here after the queued notice arrives.
    struct Done {
        bool finished = false;
        QEventLoop* loop = nullptr;
    };
    auto done = std::make_shared<Done>();
    QEventLoop loop;
    done->loop = &loop;
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [this, worker, work, done] {
            work();
            {
                QMutexLocker lock(&worker->mutex);
                worker->account = worker->session.connectedAccount();
            }
            m_open = worker->session.isOpen();
            // Back on the caller's thread: this object outlives the worker's jobs (its destructor waits).
            QMetaObject::invokeMethod(
                this,
                [done] {
                    done->finished = true;
                    if (done->loop) done->loop->quit();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    while (!done->finished)
        loop.exec();
    done->loop = nullptr;
}

DeliveryResult MailDelivery::send(const PreparedMail& mail) {
    if (m_busy) {
        DeliveryResult refused;
        refused.error = QStringLiteral("Another message is being sent");
        return refused;
    }
    m_busy = true;
    Q_EMIT busyChanged(true);
    DeliveryResult result;
    Worker* worker = m_worker;
    runOnWorker([worker, mail, &result] { result = worker->session.send(mail); });
    m_busy = false;
    Q_EMIT busyChanged(false);
    return result;
}

void MailDelivery::close() {
    Worker* worker = m_worker;
    runOnWorker([worker] { worker->session.close(); });
}
