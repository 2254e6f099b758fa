#include "app/formnewmail.h"
#include "app/radiogroup.h"
#include "core/apperror.h"
#include "core/blank.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"

#include <QLabel>
#include <QLineEdit>

// Delivery of one message from the main window's fields.

MailDelivery* TFormNewMail::newDelivery() {
    return new MailDelivery(this);
}

void TFormNewMail::SendCurrentMail() {
    // The window goes on handling events while a message is in flight, so a button could try to start
    // another delivery meanwhile; it is refused before anything of the one in flight is touched.
    if (m_delivering) throw AppError(State.Texts.MsgMailingRunning);
    State.SendFailed = false;
    const QString recipients = trimBlank(EditMail->text());
    const QString subject = trimBlank(EditSubject->text());
    if (recipients.isEmpty()) {
        State.SendFailed = true;
        return;
    }
    const QStringList lines = messageLines();
    if (DeliverMessage(recipients, QString(), subject, lines)) {
        ImageConnect->show();
        ImageDisconnect->hide();
    } else {
        State.SendFailed = true;
    }
}

bool TFormNewMail::DeliverMessage(const QString& recipients, const QString& cc, const QString& subject,
                                  const QStringList& lines) {
    if (m_delivering) throw AppError(State.Texts.MsgMailingRunning);
    MailRequest request;
    request.host = EditHost->text();
    request.port = EditPort->text();
    request.user = EditUser->text();
    request.password = MaskEdit->text();
    request.recipients = recipients;
    request.cc = cc;
    request.subject = subject;
    request.lines = lines;
    request.attachmentPath = EditPatch->text();
    request.html = SelHtml->itemIndex() > 0;
    // A port text that is no number and an attachment that cannot be read are the caller's errors: they
    // leave here before the server is contacted.
    const PreparedMail mail = prepareMail(request);

    // Until the result is in and the error box acknowledged; a close asked for meanwhile follows then.
    struct InFlight {
        TFormNewMail& window;
        explicit InFlight(TFormNewMail& w) : window(w) { window.m_delivering = true; }
        ~InFlight() {
            window.m_delivering = false;
            if (!window.m_closePending) return;
            window.m_closePending = false;
            QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
        }
    } inFlight(*this);
    LastDelivery = IdSMTP->send(mail);
    // A failed delivery has already dropped its connection. A scheduled run has nobody to press OK: its
    // failures are recorded in the list alone.
    if (!LastDelivery.sent && !(m_running && m_runUnattended)) {
        showRunFieldsNow(); // the box names no recipient: the fields behind it must
        m_prompts.error(State.Texts.MsgMailError);
    }
    return LastDelivery.sent;
}

bool TFormNewMail::closeWaitsForDelivery() {
    if (!m_delivering) return false;
    m_closePending = true;
    return true;
}
