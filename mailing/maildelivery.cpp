#include "mailing/maildelivery.h"

#include "mailing/deliverytexts.h"

#include <QEventLoop>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The thread that owns the connection: it runs posted jobs one after the other, and every use of the
// session happens there.
class MailDelivery::Worker {
public:
    Worker() : m_thread([this] { run(); }) {}
    // Runs the jobs still waiting, closes the connection and ends the thread.
    ~Worker() {
        post([this] { session.close(); });
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void post(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
    }

    SmtpSession session;
    // What the caller's thread may read about the session, written by the worker after each job.
    std::mutex stateMutex;
    SmtpAccount account;

private:
    void run() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                if (m_jobs.empty()) return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread; // last: starts once everything above exists
};

MailDelivery::MailDelivery(QObject* parent) : QObject(parent) {
    m_worker = std::make_unique<Worker>();
}

MailDelivery::~MailDelivery() {
    // The worker's last jobs still write this object's members: end it while they exist.
    m_worker.reset();
}

void MailDelivery::setOptions(const SmtpOptions& options) {
    m_language = options.language;
    Worker* worker = m_worker.get();
    worker->post([worker, options] { worker->session.setOptions(options); });
}

void MailDelivery::setLanguage(int language) {
    m_language = language;
    Worker* worker = m_worker.get();
    worker->post([worker, language] {
        SmtpOptions options = worker->session.options();
        options.language = language;
        worker->session.setOptions(options);
    });
}

SmtpAccount MailDelivery::connectedAccount() const {
    std::lock_guard<std::mutex> lock(m_worker->stateMutex);
    return m_worker->account;
}

void MailDelivery::runOnWorker(const std::function<void()>& work) {
    struct Done {
        std::mutex mutex;
        std::condition_variable changed;
        bool finished = false;      // guarded by mutex
        bool waiting = false;       // guarded by mutex: the caller waits in its event loop
        QEventLoop* loop = nullptr; // used on the caller's thread only
    };
    auto done = std::make_shared<Done>();
    QEventLoop loop;
    done->loop = &loop;
    Worker* worker = m_worker.get();
    worker->post([this, worker, work, done] {
        work();
        {
            std::lock_guard<std::mutex> lock(worker->stateMutex);
            worker->account = worker->session.connectedAccount();
        }
        m_open = worker->session.isOpen();
        bool waiting;
        {
            std::lock_guard<std::mutex> lock(done->mutex);
            done->finished = true;
            waiting = done->waiting;
        }
        done->changed.notify_one();
        // Wakes the caller's loop. This object outlives the worker's jobs: its destructor waits for them.
        if (waiting)
            QMetaObject::invokeMethod(
                this,
                [done] {
                    if (done->loop) done->loop->quit();
                },
                Qt::QueuedConnection);
    });
    // A nearby server often answers within a fraction of a millisecond: waiting that long here spares the
    // event loop's wake-up, and is far too short for anyone to notice.
    {
        std::unique_lock<std::mutex> lock(done->mutex);
        if (done->changed.wait_for(lock, std::chrono::microseconds(1500), [&done] { return done->finished; }))
            return;
        done->waiting = true;
    }
    // The worker's quit may come before the loop runs: it is queued, and the loop takes it when it starts.
    const auto finished = [&done] {
        std::lock_guard<std::mutex> lock(done->mutex);
        return done->finished;
    };
    while (!finished())
        loop.exec();
    done->loop = nullptr;
}

DeliveryResult MailDelivery::send(const PreparedMail& mail) {
    // No server contact for a mail that cannot go to every address, nor while another is in flight.
    if (!mail.addressProblem.isEmpty() || m_busy) {
        DeliveryResult refused;
        refused.failure = DeliveryResult::Failure::NotSent;
        refused.error = mail.addressProblem.isEmpty() ? deliveryTexts(m_language).busy : mail.addressProblem;
        return refused;
    }
    m_busy = true;
    Q_EMIT busyChanged(true);
    DeliveryResult result;
    Worker* worker = m_worker.get();
    runOnWorker([worker, mail, &result] { result = worker->session.send(mail); });
    m_busy = false;
    Q_EMIT busyChanged(false);
    return result;
}

DeliveryResult MailDelivery::send(const PreparedMail& mail, const AccessTokenSource& tokens) {
    // What is refused without the server is refused before the provider is asked, too.
    if (!tokens || !mail.addressProblem.isEmpty() || m_busy) return send(mail);
    PreparedMail signedIn = mail;
    const auto sendWith = [&](const AccessToken& token) {
        if (!token.granted()) return withoutToken(token);
        signedIn.account.accessToken = token.token;
        return send(signedIn);
    };
    const DeliveryResult result = sendWith(tokens(false));
    // Refused by the server itself (not for want of XOAUTH2): the token may have been revoked or have
    // expired before its time. One new token, one new login.
    if (!result.loginRefused || result.replyCode == 0 || signedIn.account.accessToken.isEmpty())
        return result;
    return sendWith(tokens(true));
}

DeliveryResult MailDelivery::withoutToken(const AccessToken& token) const {
    const DeliveryTexts& texts = deliveryTexts(m_language);
    DeliveryResult result;
    if (token.state == AccessToken::State::Unreachable) {
        result.failure = DeliveryResult::Failure::Connection;
        result.error = texts.tokenNotRenewed.arg(token.reason);
        return result;
    }
    // Like a refused login: every further message would meet the same want of a token.
    result.failure = DeliveryResult::Failure::NotSent;
    result.loginRefused = true;
    result.error =
        token.state == AccessToken::State::Refused ? texts.signInAgain.arg(token.reason) : texts.notSignedIn;
    return result;
}

void MailDelivery::close() {
    Worker* worker = m_worker.get();
    runOnWorker([worker] { worker->session.close(); });
}
