#include "mailing/deliverytexts.h"

#include "core/interfacetexts.h"

#include <QLocale>

namespace {

DeliveryTexts germanTexts() {
    DeliveryTexts t;
    t.language = 0;
    t.notAnInteger = QStringLiteral("'%1' ist keine gültige ganze Zahl");
    t.notAPort = QStringLiteral("'%1' ist keine gültige Portnummer");
    t.cannotOpenFile = QStringLiteral("Datei \"%1\" kann nicht geöffnet werden. %2");
    t.cannotReadFile = QStringLiteral("Datei \"%1\" kann nicht gelesen werden. %2");
    t.notAnAddress = QStringLiteral("\"%1\" ist keine Mailadresse");
    t.noAddressGiven = QStringLiteral("Keine Mailadresse angegeben");
    t.noRecipient = QStringLiteral("Keine Empfängeradresse");
    t.controlCharacter = QStringLiteral("Steuerzeichen in einer Adresse");
    t.busy = QStringLiteral("Es wird gerade eine andere Mail gesendet");
    t.invalidHost = QStringLiteral("Ungültiger SMTP-Host \"%1\"");
    t.connectTimeout = QStringLiteral("Keine Verbindung zu %1:%2 innerhalb von %3 s");
    t.cannotConnect = QStringLiteral("Keine Verbindung zu %1:%2 möglich: %3");
    t.noTlsSupport = QStringLiteral("Keine TLS-Unterstützung (OpenSSL) vorhanden");
    t.handshakeFailed = QStringLiteral("TLS-Verbindungsaufbau fehlgeschlagen: %1");
    t.sendingStalled = QStringLiteral("Das Senden kam innerhalb von %1 s nicht voran");
    t.handshakeStalled = QStringLiteral("Der TLS-Verbindungsaufbau kam innerhalb von %1 s nicht voran");
    t.lostSending = QStringLiteral("Verbindung beim Senden verloren: %1");
    t.lostInHandshake = QStringLiteral("Verbindung beim TLS-Verbindungsaufbau verloren: %1");
    t.serverClosed = QStringLiteral("Der Server hat die Verbindung geschlossen");
    t.noAnswer = QStringLiteral("Keine Antwort vom Server innerhalb von %1 s");
    t.replyTooLong = QStringLiteral("Die Antwort des Servers ist zu lang (über %1 KB)");
    t.notSmtp = QStringLiteral("Die Antwort des Servers ist kein SMTP: \"%1\"");
    t.strayReply =
        QStringLiteral("Der Server hat eine Antwort gesendet, auf die kein Befehl wartete: \"%1\"");
    t.unexpectedReply = QStringLiteral("%1: unerwartete Antwort %2");
    t.login = QStringLiteral("Anmeldung");
    t.noEncryption =
        QStringLiteral("Der Server bietet keine Verschlüsselung (STARTTLS) an; das Passwort wird "
                       "nicht im Klartext gesendet");
    t.noEncryptionToken = QStringLiteral("Der Server bietet keine Verschlüsselung (STARTTLS) an; das "
                                         "Anmelde-Token wird nicht im Klartext gesendet");
    t.noXoauth2 = QStringLiteral("Der Server bietet keine Anmeldung mit OAuth 2.0 (AUTH XOAUTH2) an");
    t.notSignedIn = QStringLiteral("Nicht beim Anbieter angemeldet: Bitte in den Versandoptionen anmelden");
    t.signInAgain = QStringLiteral("Die Anmeldung beim Anbieter ist abgelaufen oder wurde widerrufen (%1): "
                                   "Bitte in den Versandoptionen neu anmelden");
    t.tokenNotRenewed = QStringLiteral("Die Anmeldung beim Anbieter ließ sich nicht erneuern: %1");
    t.needsSmtpUtf8 =
        QStringLiteral("Der Server nimmt keine Adressen mit Nicht-ASCII-Zeichen an (SMTPUTF8): %1");
    t.tooLarge = QStringLiteral("Nachricht zu groß für den Server: %1 von höchstens %2 Bytes");
    t.connectionRefused = QStringLiteral("Der Server hat die Verbindung abgelehnt");
    t.ehloRefused = QStringLiteral("EHLO abgelehnt");
    t.heloRefused = QStringLiteral("HELO abgelehnt");
    t.startTlsRefused = QStringLiteral("STARTTLS abgelehnt");
    t.loginRefused = QStringLiteral("Anmeldung abgelehnt");
    t.senderRefused = QStringLiteral("Absender abgelehnt");
    t.recipientRefused = QStringLiteral("Empfänger abgelehnt");
    t.dataRefused = QStringLiteral("DATA abgelehnt");
    t.messageRefused = QStringLiteral("Nachricht abgelehnt");
    return t;
}

DeliveryTexts englishTexts() {
    DeliveryTexts t;
    t.language = 1;
    t.notAnInteger = QStringLiteral("'%1' is not a valid integer value");
    t.notAPort = QStringLiteral("'%1' is not a valid port number");
    t.cannotOpenFile = QStringLiteral("Cannot open file \"%1\". %2");
    t.cannotReadFile = QStringLiteral("Cannot read file \"%1\". %2");
    t.notAnAddress = QStringLiteral("\"%1\" is not a mail address");
    t.noAddressGiven = QStringLiteral("No mail address given");
    t.noRecipient = QStringLiteral("No recipient address");
    t.controlCharacter = QStringLiteral("Control character in an address");
    t.busy = QStringLiteral("Another message is being sent");
    t.invalidHost = QStringLiteral("Invalid SMTP host \"%1\"");
    t.connectTimeout = QStringLiteral("No connection to %1:%2 within %3 s");
    t.cannotConnect = QStringLiteral("Cannot connect to %1:%2: %3");
    t.noTlsSupport = QStringLiteral("No TLS support (OpenSSL) available");
    t.handshakeFailed = QStringLiteral("TLS handshake failed: %1");
    t.sendingStalled = QStringLiteral("No progress sending within %1 s");
    t.handshakeStalled = QStringLiteral("No progress in the TLS handshake within %1 s");
    t.lostSending = QStringLiteral("Connection lost sending: %1");
    t.lostInHandshake = QStringLiteral("Connection lost in the TLS handshake: %1");
    t.serverClosed = QStringLiteral("The server closed the connection");
    t.noAnswer = QStringLiteral("No answer from the server within %1 s");
    t.replyTooLong = QStringLiteral("The server's reply is too long (over %1 KB)");
    t.notSmtp = QStringLiteral("The server's answer is not SMTP: \"%1\"");
    t.strayReply = QStringLiteral("The server sent a reply no command asked for: \"%1\"");
    t.unexpectedReply = QStringLiteral("%1: unexpected reply %2");
    t.login = QStringLiteral("login");
    t.noEncryption =
        QStringLiteral("The server offers no encryption (STARTTLS); the password is not sent in clear");
    t.noEncryptionToken =
        QStringLiteral("The server offers no encryption (STARTTLS); the sign-in token is not sent in clear");
    t.noXoauth2 = QStringLiteral("The server offers no OAuth 2.0 login (AUTH XOAUTH2)");
    t.notSignedIn = QStringLiteral("Not signed in with the provider: please sign in in the sending options");
    t.signInAgain = QStringLiteral("The sign-in with the provider has expired or was revoked (%1): please "
                                   "sign in again in the sending options");
    t.tokenNotRenewed = QStringLiteral("The sign-in with the provider could not be renewed: %1");
    t.needsSmtpUtf8 = QStringLiteral("Server does not accept non-ASCII addresses (SMTPUTF8): %1");
    t.tooLarge = QStringLiteral("Message too large for the server: %1 of at most %2 bytes");
    t.connectionRefused = QStringLiteral("The server refused the connection");
    t.ehloRefused = QStringLiteral("EHLO refused");
    t.heloRefused = QStringLiteral("HELO refused");
    t.startTlsRefused = QStringLiteral("STARTTLS refused");
    t.loginRefused = QStringLiteral("Login refused");
    t.senderRefused = QStringLiteral("Sender refused");
    t.recipientRefused = QStringLiteral("Recipient refused");
    t.dataRefused = QStringLiteral("DATA refused");
    t.messageRefused = QStringLiteral("Message refused");
    return t;
}

} // namespace

const DeliveryTexts& deliveryTexts(int language) {
    static const DeliveryTexts german = germanTexts();
    static const DeliveryTexts english = englishTexts();
    return isGerman(language) ? german : english;
}

QString formattedCount(qint64 number, int language) {
    const QLocale locale = isGerman(language) ? QLocale(QLocale::German, QLocale::Germany)
                                              : QLocale(QLocale::English, QLocale::UnitedStates);
    return locale.toString(number);
}
