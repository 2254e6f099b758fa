#pragma once

#include "core/accesstoken.h"
#include "core/accountfields.h"
#include "mailing/mailrequest.h"
#include "mailing/smtpsession.h"

#include <functional>

class DeliveryGate;
class MailDelivery;

// A test mail: one message sent alone, outside a run, so the account and the message can be tried before
// a mailing. The window builds the request from its fields; this sends it and hands back the outcome.
struct TestMail {
    MailRequest request;   // recipient, subject, text, format, attachment; the account is set from below
    AccountFields account; // as typed
    int language = 1;      // of the texts composition and the client write themselves
    AccessTokenSource accessToken; // with OAuth 2.0; empty: the account's password
    QString busyText;              // the error raised while another delivery is in flight

    // Sends through `delivery` while `gate` holds a delivery pass, so no second delivery starts and a
    // close waits. Raises AppError, before the server is contacted, with `busyText` when a delivery is
    // already in flight, and for a port that is no number or an attachment that cannot be read. `shown`
    // gets the outcome while the pass is still held (a close asked for meanwhile waits for it too).
    DeliveryResult send(MailDelivery& delivery, DeliveryGate& gate,
                        const std::function<void(const DeliveryResult&)>& shown) const;
};
