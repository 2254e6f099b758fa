#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A received message as a mail program sees it, read with GMime: decoded headers, the MIME structure and
// each leaf part's decoded content.
struct ParsedMail {
    struct Mailbox {
        QString name; // decoded display name
        QString address;
    };
    struct Part {
        QString mimeType; // "text/plain"
        QString charset;
        QString disposition;
        QString fileName; // decoded
        QString transferEncoding;
        QByteArray content; // transfer encoding undone
        QString text() const;
    };

    bool valid = false;
    QStringList headerNames; // in order, as in the message
    QString subject;
    QList<Mailbox> from, sender, to, cc;
    QString date;
    QString messageId;
    QString mimeType;  // of the whole message
    QList<Part> parts; // leaf parts in order, nested multiparts opened; one for a message without parts
    // The multipart types from the top down along the first parts: {"multipart/mixed",
    // "multipart/alternative"} for an HTML message with an attachment.
    QStringList multiparts;

    static ParsedMail parse(const QByteArray& data);
    // The raw header lines, unfolded, without the body.
    static QStringList rawHeaderLines(const QByteArray& data);
};
