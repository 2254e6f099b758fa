#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What one delivery reads from the main window's fields, as they stand when it starts. Texts are taken
// as typed; preparing the mail trims them.
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
};

// Where and as whom a connection is made.
struct SmtpAccount {
    QString host;
    int port = 25;
    QString user;
    QString password; // empty: no login at all

    bool operator==(const SmtpAccount& other) const {
        return host == other.host && port == other.port && user == other.user && password == other.password;
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
};

// Trims the fields, converts the port and composes the message. Raises AppError when the port text is not
// a whole number from 1 to 65535 or when an existing attachment file cannot be read: those errors belong to
// the caller, not to the delivery.
PreparedMail prepareMail(const MailRequest& request);

// The port as a number; raises AppError for anything but a whole number from 1 to 65535.
int portNumber(const QString& text);
