#pragma once

#include "core/accesstoken.h"
#include "mailing/mailrequest.h"
#include "mailing/smtpsession.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QEventLoop;

// Delivers messages over one SMTP connection without blocking the calling (window) thread: the blocking
// work runs on a worker thread that owns the connection, while the caller waits in a local event loop, so
// windows keep painting and their buttons keep working. Only one call is carried out at a time.
class MailDelivery : public QObject {
    Q_OBJECT
public:
    explicit MailDelivery(QObject* parent = nullptr);
    // Waits for the call in progress, closes the connection and ends the worker.
    ~MailDelivery() override;

    // Takes effect with the next call; the language too (see SmtpOptions).
    void setOptions(const SmtpOptions& options);
    // The language of the texts the client writes itself, keeping the other options; with the next call.
    void setLanguage(int language);

    // Sends one message and returns once the server has answered or given up. Must not be called while
    // another call is in progress (see isBusy()); such a call fails at once without touching the connection.
    DeliveryResult send(const PreparedMail& mail);
    // The same, logging in with an OAuth 2.0 access token from `tokens` (none given: as above). A token the
    // server refuses is renewed once and the message tried once more, never more. Without a token nothing
    // is sent: not signed in, or a renewal the provider refused, count as a refused login; a provider out
    // of reach as a failed connection.
    DeliveryResult send(const PreparedMail& mail, const AccessTokenSource& tokens);
    // Whether the connection made by an earlier message is open.
    bool isOpen() const { return m_open.load(); }
    // The account of the open connection.
    SmtpAccount connectedAccount() const;
    // Closes the connection (saying QUIT) and returns when that is done.
    void close();
    // A call is in progress: the caller is waiting in its local event loop.
    bool isBusy() const { return m_busy; }

Q_SIGNALS:
    // Emitted when a call begins and when it has returned its result.
    void busyChanged(bool busy);

private:
    struct Job;
    DeliveryResult withoutToken(const AccessToken& token) const;
    // Runs `work` on the worker thread and waits for it in a local event loop.
    void runOnWorker(const std::function<void()>& work);

    class Worker;
    std::unique_ptr<Worker> m_worker;
    bool m_busy = false;
    int m_language = SmtpOptions().language; // for the texts of the calls refused here
    std::atomic<bool> m_open{false};
};
