#pragma once

#include <QString>

// The texts the composer and the SMTP client write themselves, in one interface language. "%1", "%2"…
// stand for the values named beside each. Texts the system or Qt give (a socket's error text, a TLS
// error) are passed on as they come.
struct DeliveryTexts {
    int language; // the one they are in
    // Composition.
    QString notAnInteger;   // %1 the port text
    QString notAPort;       // %1 the port text
    QString cannotOpenFile; // %1 path, %2 the system's reason
    QString cannotReadFile; // %1 path, %2 the system's reason
    QString notAnAddress;   // %1 the part of the recipient text
    QString noAddressGiven;
    // Checks before the server is contacted.
    QString noRecipient;
    QString controlCharacter;
    QString busy;
    // The connection.
    QString invalidHost;       // %1 host
    QString connectTimeout;    // %1 host, %2 port, %3 seconds
    QString cannotConnect;     // %1 host, %2 port, %3 the system's reason
    QString noTlsSupport;      //
    QString handshakeFailed;   // %1 the TLS library's reason
    QString sendingStalled;    // %1 seconds
    QString handshakeStalled;  // %1 seconds
    QString lostSending;       // %1 the system's reason
    QString lostInHandshake;   // %1 the system's reason
    QString serverClosed;      //
    QString noAnswer;          // %1 seconds
    QString replyTooLong;      // %1 the limit in KB
    QString notSmtp;           // %1 the line received
    QString strayReply;        // %1 the reply
    QString unexpectedReply;   // %1 the step (login, DATA), %2 the reply
    QString login;             // the login step, for unexpectedReply
    QString noEncryption;      //
    QString noEncryptionToken; // the same for an OAuth 2.0 token
    QString noXoauth2;         // a token to log in with, but no AUTH XOAUTH2 offered
    // The OAuth 2.0 sign-in, before the server is contacted.
    QString notSignedIn;     //
    QString signInAgain;     // %1 the provider's reason
    QString tokenNotRenewed; // %1 the reason
    QString needsSmtpUtf8;   // %1 the address
    QString tooLarge;        // %1 the message's size, %2 the server's limit (bytes, with separators)
    // What the server refused.
    QString connectionRefused;
    QString ehloRefused;
    QString heloRefused;
    QString startTlsRefused;
    QString loginRefused;
    QString senderRefused;
    QString recipientRefused;
    QString dataRefused;
    QString messageRefused;
};

// 0 is German, every other value English (as isGerman() in core/interfacetexts.h).
const DeliveryTexts& deliveryTexts(int language);

// A whole number as the language writes it: "2,870,784" in English, "2.870.784" in German.
QString formattedCount(qint64 number, int language);
