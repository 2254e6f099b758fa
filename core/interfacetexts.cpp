#include "core/interfacetexts.h"

#include <QRegularExpression>

#include <atomic>

namespace {

MessageTexts germanTexts() {
    MessageTexts t;
    t.MsgListNotFoundAsk = QStringLiteral("Keine Empfängerliste gefunden. Möchten Sie selbst danach suchen?");
    t.MsgListNotFound = QStringLiteral(" Empfängerliste nicht gefunden!");
    t.MsgConfirmStart1 = QStringLiteral("Mailing an ");
    t.MsgConfirmStart2 = QStringLiteral(" Empfänger aus ");
    t.MsgConfirmStart3 = QStringLiteral(" versenden?");
    t.MsgEmptyMail = QStringLiteral(" Leere Mail!");
    t.MsgInvalidAddress = QStringLiteral(" Mailadresse fehlt oder ungültig!");
    t.MsgMailingAborted = QStringLiteral("Mailing abgebrochen!");
    t.MsgMailsSent = QStringLiteral(" Mail(s) versendet.");
    t.MsgDefaultMissingAsk = QStringLiteral("defaultmail.txt nicht gefunden. Neuen Standardtext erstellen?");
    t.MsgMailError = QStringLiteral(
        "Fehler beim Mailversand. Bitte prüfen Sie Ihre Firewalleinstellungen und die Internetverbindung!");
    t.MsgSettingsSaved = QStringLiteral("Einstellungen gespeichert.");
    t.MsgEnterRecipient = QStringLiteral("Bitte eine Empfängeradresse angeben!");
    t.MsgAttachAsk = QStringLiteral("Möchten Sie eine Datei anhängen?");
    t.MsgEnterAccount = QStringLiteral("Bitte zunächst alle Accountdaten ausfüllen!");
    t.MsgMailingRunning = QStringLiteral("Mailing gestartet. Bitte warten...");
    t.MsgUpdateFailed =
        QStringLiteral("Online Update konnte nicht gestartet werden oder vom Benutzer abgebrochen!");
    t.MsgHelpNotOpened = QStringLiteral("Die Hilfedatei konnte nicht geöffnet werden:\n%1");
    t.MsgAddressNotOpened = QStringLiteral("Die Adresse konnte nicht geöffnet werden:\n%1");
    t.StatusConnected = QStringLiteral("Verbunden");
    t.StatusOffline = QStringLiteral("Offline");
    t.QtTranslationLocale = QStringLiteral("de_DE");
    t.MsgSkippedAsk = QStringLiteral(" (%1 bereits versendete werden ausgelassen)");
    t.MsgSkippedDone = QStringLiteral(" %1 bereits versendete ausgelassen.");
    t.MsgNextMailIn = QStringLiteral("Nächste Mail in %1 s");
    t.MsgRunLimitReached = QStringLiteral(" Limit pro Lauf erreicht.");
    t.MsgRetryAt = QStringLiteral("%1 Nächster Versuch um %2.");
    t.MsgLoginRefused = QStringLiteral("Anmeldung abgelehnt: %1");
    return t;
}

MessageTexts englishTexts() {
    MessageTexts t;
    t.MsgListNotFoundAsk = QStringLiteral("Recipient list not found. Do you want to search yourself?");
    t.MsgListNotFound = QStringLiteral(" recipient list not found!");
    t.MsgConfirmStart1 = QStringLiteral("Send mailing to ");
    t.MsgConfirmStart2 = QStringLiteral(" recipients of ");
    t.MsgConfirmStart3 = QStringLiteral(" ?");
    t.MsgEmptyMail = QStringLiteral(" Empty mail message!");
    t.MsgInvalidAddress = QStringLiteral(" Invalid mail address!");
    t.MsgMailingAborted = QStringLiteral("Mailing aborted!");
    t.MsgMailsSent = QStringLiteral(" Mail(s) send.");
    t.MsgDefaultMissingAsk = QStringLiteral("defaultmail.txt not found. Create new default message?");
    t.MsgMailError = QStringLiteral("Mail error! Check your firewall settings and the internet connection!");
    t.MsgSettingsSaved = QStringLiteral("Settings saved.");
    t.MsgEnterRecipient = QStringLiteral("Pls enter a recipient mail address!");
    t.MsgAttachAsk = QStringLiteral("Do you want to attach a file?");
    t.MsgEnterAccount = QStringLiteral("Pls enter your account data first!");
    t.MsgMailingRunning = QStringLiteral("Mailing running. Please wait...");
    t.MsgUpdateFailed = QStringLiteral("Could not run online update or aborted by user!");
    t.MsgHelpNotOpened = QStringLiteral("The help file could not be opened:\n%1");
    t.MsgAddressNotOpened = QStringLiteral("The address could not be opened:\n%1");
    t.StatusConnected = QStringLiteral("Connected");
    t.StatusOffline = QStringLiteral("Offline");
    t.MsgSkippedAsk = QStringLiteral(" (%1 already sent are skipped)");
    t.MsgSkippedDone = QStringLiteral(" %1 already sent skipped.");
    t.MsgNextMailIn = QStringLiteral("Next mail in %1 s");
    t.MsgRunLimitReached = QStringLiteral(" Limit per run reached.");
    t.MsgRetryAt = QStringLiteral("%1 Next try at %2.");
    t.MsgLoginRefused = QStringLiteral("Login refused: %1");
    return t;
}

} // namespace

namespace {
std::atomic<int> g_interfaceLanguage{0};
} // namespace

void setInterfaceLanguage(int language) {
    g_interfaceLanguage = language;
}

int interfaceLanguage() {
    return g_interfaceLanguage;
}

FileErrorTexts fileErrorTexts(int language) {
    if (isGerman(language))
        return {QStringLiteral("Die Datei \"%1\" kann nicht geöffnet werden. %2"),
                QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden. %2"),
                QStringLiteral("Die Datei \"%1\" kann nicht angelegt werden. %2"),
                QStringLiteral("Die Rechte der Datei \"%1\" können nicht gesetzt werden. %2"),
                QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden. %2")};
    return {QStringLiteral("Cannot open file \"%1\". %2"), QStringLiteral("Cannot read file \"%1\". %2"),
            QStringLiteral("Cannot create file \"%1\". %2"), QStringLiteral("Cannot protect file \"%1\". %2"),
            QStringLiteral("Cannot write file \"%1\". %2")};
}

MessageTexts messageTextsFor(int language) {
    static const MessageTexts german = germanTexts();
    static const MessageTexts english = englishTexts();
    return isGerman(language) ? german : english;
}

QString restatedInLanguage(const QString& status, const MessageTexts& from, const MessageTexts& to) {
    if (status.isEmpty()) return status;
    // What a run's status may carry after its main text: the lines left out, the cap per run.
    const QStringList skipped = from.MsgSkippedDone.split(QStringLiteral("%1"));
    if (skipped.size() == 2) {
        const QRegularExpression pattern(QStringLiteral("^(.+)") + QRegularExpression::escape(skipped[0]) +
                                         QStringLiteral("(\\d+)") + QRegularExpression::escape(skipped[1]) +
                                         QLatin1Char('$'));
        const QRegularExpressionMatch match = pattern.match(status);
        if (match.hasMatch())
            return restatedInLanguage(match.captured(1), from, to) + to.MsgSkippedDone.arg(match.captured(2));
    }
    if (!from.MsgRunLimitReached.isEmpty() && status.endsWith(from.MsgRunLimitReached) &&
        status.size() > from.MsgRunLimitReached.size())
        return restatedInLanguage(status.chopped(from.MsgRunLimitReached.size()), from, to) +
               to.MsgRunLimitReached;
    const std::pair<const QString*, const QString*> whole[] = {
        {&from.MsgMailingAborted, &to.MsgMailingAborted}, {&from.MsgMailingRunning, &to.MsgMailingRunning},
        {&from.MsgListNotFound, &to.MsgListNotFound},     {&from.MsgSettingsSaved, &to.MsgSettingsSaved},
        {&from.MsgMailsSent, &to.MsgMailsSent},
    };
    for (const auto& [old, now] : whole)
        if (status == *old) return *now;
    // A count before the sent text.
    if (!from.MsgMailsSent.isEmpty() && status.endsWith(from.MsgMailsSent)) {
        const QString count = status.chopped(from.MsgMailsSent.size());
        bool number = false;
        count.toInt(&number);
        if (number) return count + to.MsgMailsSent;
    }
    return status;
}

QString unknownErrorText(int language) {
    return isGerman(language) ? QStringLiteral("Unbekannter Fehler") : QStringLiteral("Unknown error");
}

const std::vector<ControlText>& mainWindowControlTexts() {
    using K = ControlText::Kind;
    static const std::vector<ControlText> table = {
        {"Label2", K::Caption, QStringLiteral("Mailadresse"), QStringLiteral("Mail address")},
        {"Label3", K::Caption, QStringLiteral("Passwort"), QStringLiteral("Password")},
        {"Label5", K::Caption, QStringLiteral("Senden an ..."), QStringLiteral("Send to ...")},
        {"Label7", K::Caption, QStringLiteral("Thema"), QStringLiteral("Subject")},
        {"Label8", K::Caption, QStringLiteral("Mitteilung"), QStringLiteral("Message")},
        {"Label11", K::Caption, QStringLiteral("MailNr.:"), QStringLiteral("Mail No.:")},
        {"Label12", K::Caption, QStringLiteral("Anhang"), QStringLiteral("Attachment")},
        {"ToolButton1", K::Hint, QStringLiteral("Empfängerliste"), QStringLiteral("Recipient list")},
        {"ToolButton2", K::Hint, QStringLiteral("Einstellungen speichern"), QStringLiteral("Save settings")},
        {"ToolButton3", K::Hint, QStringLiteral("Mailing starten"), QStringLiteral("Run mailing")},
        {"ToolButton4", K::Hint, QStringLiteral("Mailing stoppen"), QStringLiteral("Abort mailing")},
        {"ToolButton6", K::Hint, QStringLiteral("Messagetext kopieren"), QStringLiteral("Copy message text")},
        {"ToolButton7", K::Hint, QStringLiteral("Sprache"), QStringLiteral("Language")},
        {"ToolButton8", K::Hint, QStringLiteral("Testmail"), QStringLiteral("Test mail")},
        {"ToolButton11", K::Hint, QStringLiteral("Standard Mailtext öffnen"),
         QStringLiteral("Open default mail message")},
        {"ToolButton12", K::Hint, QStringLiteral("Text speichern"), QStringLiteral("Save message")},
        {"ToolButton13", K::Hint, QStringLiteral("Online Update"), QStringLiteral("Online update")},
        {"ToolButton14", K::Hint, QStringLiteral("Felder löschen"), QStringLiteral("Delete fields")},
        {"ToolButton15", K::Hint, QStringLiteral("Über Tarnel"), QStringLiteral("About Tarnel...")},
        {"ToolButton16", K::Hint, QStringLiteral("Hilfe"), QStringLiteral("Help")},
        {"ToolButton18", K::Hint, QStringLiteral("Beenden"), QStringLiteral("Quit")},
        {"ToolButton20", K::Hint, QStringLiteral("Versandoptionen"), QStringLiteral("Sending options")},
        {"ToolButton19", K::Hint, QStringLiteral("Textdatei im Messagefeld öffnen"),
         QStringLiteral("Open tex file")},
        {"ToolButtonCheck", K::Hint, QStringLiteral("Prüfe Onlineverbindung"),
         QStringLiteral("Check internet connection")},
        {"CheckBox1", K::Caption, QStringLiteral("Nächstes Mailing automatisch starten am:"),
         QStringLiteral("Start automated mailing at:")},
        {"Label9", K::Caption, QStringLiteral("Datum"), QStringLiteral("Date")},
        {"Label10", K::Caption, QStringLiteral("Uhrzeit"), QStringLiteral("Time")},
    };
    return table;
}

SendingOptionsTexts sendingOptionsTexts(int language) {
    if (isGerman(language))
        return {QStringLiteral("Versandoptionen"),
                QStringLiteral("Höchstens Mails pro Minute:"),
                QStringLiteral("Höchstens Mails pro Lauf:"),
                QStringLiteral("ohne Grenze"),
                QStringLiteral("Bereits versendete Zeilen auslassen"),
                QStringLiteral("Bei vorübergehenden Fehlern später erneut versuchen"),
                QStringLiteral("Anbieter begrenzen, was ein Konto senden darf, und sperren es bei "
                               "Überschreitung (z. B. Microsoft 365: 30 Mails pro Minute, Google Workspace: "
                               "2.000 pro Tag). Die Optionen gelten ab dem nächsten Mailing."),
                QStringLiteral("OK"),
                QStringLiteral("Abbrechen"),
                QStringLiteral("Die Versandoptionen konnten nicht gespeichert werden:\n%1")};
    return {QStringLiteral("Sending options"),
            QStringLiteral("At most mails per minute:"),
            QStringLiteral("At most mails per run:"),
            QStringLiteral("no limit"),
            QStringLiteral("Skip lines already sent"),
            QStringLiteral("Try again later after a temporary failure"),
            QStringLiteral("Providers cap what an account may send and lock it when the cap is hit (e.g. "
                           "Microsoft 365: 30 mails a minute, Google Workspace: 2,000 a day). The options "
                           "take effect with the next mailing."),
            QStringLiteral("OK"),
            QStringLiteral("Cancel"),
            QStringLiteral("The sending options could not be stored:\n%1")};
}

SignInPartTexts signInPartTexts(int language) {
    if (isGerman(language))
        return {
            QStringLiteral("Versand"),
            QStringLiteral("Anmeldung"),
            QStringLiteral("Anmeldeverfahren:"),
            QStringLiteral("Passwort"),
            QStringLiteral("OAuth 2.0 (Anmeldung im Browser)"),
            QStringLiteral("Anbieter:"),
            QStringLiteral("Microsoft 365 / Outlook.com"),
            QStringLiteral("Google"),
            QStringLiteral("Benutzerdefiniert"),
            QStringLiteral("Anwendungs-ID (Client-ID):"),
            QStringLiteral("Geheimer Clientschlüssel:"),
            QStringLiteral("Autorisierungs-Endpunkt:"),
            QStringLiteral("Token-Endpunkt:"),
            QStringLiteral("Bereich (Scope):"),
            QStringLiteral("SMTP-Server: %1, Port %2 (STARTTLS)"),
            QStringLiteral("Anmelden"),
            QStringLiteral("Abmelden"),
            QStringLiteral("Anmeldung abbrechen"),
            QStringLiteral("Angemeldet als %1"),
            QStringLiteral("Angemeldet"),
            QStringLiteral("Nicht angemeldet"),
            QStringLiteral("Bitte im Browser beim Anbieter anmelden …"),
            QStringLiteral("Mit OAuth 2.0 meldet man sich einmal im Browser beim Anbieter an; das Programm "
                           "meldet sich dann ohne Passwort beim SMTP-Server an und bewahrt die Anmeldung "
                           "im Schlüsselbund des Systems auf. Die Anwendungs-ID erhält man, indem man das "
                           "Programm beim Anbieter registriert (siehe Hilfe, F1).")};
    return {
        QStringLiteral("Sending"),
        QStringLiteral("Sign-in"),
        QStringLiteral("Login method:"),
        QStringLiteral("Password"),
        QStringLiteral("OAuth 2.0 (sign-in in the browser)"),
        QStringLiteral("Provider:"),
        QStringLiteral("Microsoft 365 / Outlook.com"),
        QStringLiteral("Google"),
        QStringLiteral("Custom"),
        QStringLiteral("Application (client) ID:"),
        QStringLiteral("Client secret:"),
        QStringLiteral("Authorization endpoint:"),
        QStringLiteral("Token endpoint:"),
        QStringLiteral("Scope:"),
        QStringLiteral("SMTP server: %1, port %2 (STARTTLS)"),
        QStringLiteral("Sign in"),
        QStringLiteral("Sign out"),
        QStringLiteral("Cancel sign-in"),
        QStringLiteral("Signed in as %1"),
        QStringLiteral("Signed in"),
        QStringLiteral("Not signed in"),
        QStringLiteral("Please sign in with the provider in the browser …"),
        QStringLiteral("With OAuth 2.0 you sign in once with the provider in the browser; the program then "
                       "logs in to the SMTP server without a password and keeps the sign-in in the "
                       "system's keyring. The application ID comes from registering the program with the "
                       "provider (see the help, F1).")};
}

AboutBoxTexts aboutBoxTexts(int language) {
    if (isGerman(language))
        return {QStringLiteral("Über ..."), QStringLiteral("Alle Rechte vorbehalten"),
                QStringLiteral("https://tarnel.example.org/de/")};
    return {QStringLiteral("About ..."), QStringLiteral("All rights reserved"),
            QStringLiteral("https://tarnel.example.org/en/")};
}

QString helpFileName(int language) {
    return isGerman(language) ? QStringLiteral("tarneld.html") : QStringLiteral("tarnel.html");
}

QStringList defaultMessageTemplate(int language) {
    if (isGerman(language))
        return {QStringLiteral("Sehr geehrte(r) Frau/Herr $PreName $Name,"),
                QString(),
                QStringLiteral("vielen Dank, dass Sie sich für unser Produkt entschieden haben."),
                QStringLiteral("Anbei erhalten Sie Ihre Unterlagen. Bitte bewahren Sie diese sicher auf."),
                QStringLiteral("Für weiter Fragen stehen wir Ihnen gern zur Verfügung."),
                QString(),
                QStringLiteral("Mit freundlichen Grüssen")};
    return {QStringLiteral("Dear Mrs./Mr. $Prename $Name,"),
            QString(),
            QStringLiteral("thank you for registering our product."),
            QStringLiteral("Enclosed you will find your personal registration key."),
            QStringLiteral("Feel free to contact us for further information."),
            QString(),
            QStringLiteral("Kind Regards")};
}
