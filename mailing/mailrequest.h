#pragma once

#include "core/accountfields.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One message to deliver: the account, as it stood when the test mail or the mailing started, and the
// message. Texts are taken as typed; preparing the mail trims them.
struct MailRequest {
    QString host;
    QString port;
    QString user; // the account's mail address: login name and sender
    QString password;
    QString recipients; // one or more addresses separated by "," or ";"; all receive the one message
    QString cc;
    QString subject;
    QStringList lines;
    QString attachmentPath; // nothing is attached when no file exists there
    bool html = false;
    // The interface language of the texts composition writes itself: 0 German, every other value English.
    int language = 1;

    void setAccount(const AccountFields& account) {
        host = account.host;
        port = account.port;
        user = account.user;
        password = account.password;
    }
};

// Where and as whom a connection is made.
struct SmtpAccount {
    QString host;
    int port = 25;
    QString user;
    QString password; // empty: no login at all
    // An OAuth 2.0 access token: when set, the login is AUTH XOAUTH2 with it, and the password is not used.
    QString accessToken;

    bool operator==(const SmtpAccount& other) const {
        return host == other.host && port == other.port && user == other.user && password == other.password &&
               accessToken == other.accessToken;
    }
    bool operator!=(const SmtpAccount& other) const { return !(*this == other); }
};

// A composed message ready for the wire.
struct PreparedMail {
    SmtpAccount account;
    QByteArray envelopeSender;            // MAIL FROM address, without angle brackets
    QList<QByteArray> envelopeRecipients; // RCPT TO addresses
    QByteArray data;                      // the whole message, CR LF line ends
    // Set when a part of the recipient or cc text is not a mail address: such a mail is never sent (a
    // silent drop of that part would be reported as success), and this says which part.
    QString addressProblem;
    // The first address (sender or recipient) whose local part is not ASCII, e.g. "jörg@beispiel.de":
    // the mail can only go where the server offers SMTPUTF8, and its headers then carry that address in
    // UTF-8. Empty when every address is ASCII (a domain is always given in its ASCII form).
    QString nonAsciiAddress;
};
