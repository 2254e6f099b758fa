#include "signin/signintexts.h"

#include "core/interfacetexts.h"

namespace {

SignInTexts german() {
    SignInTexts t;
    t.callbackPage =
        QStringLiteral("Tarnel hat die Anmeldung erhalten. Dieses Fenster kann geschlossen werden.");
    t.noClientId = QStringLiteral("Bitte zuerst die Anwendungs-ID (Client-ID) eintragen.");
    t.notHttps = QStringLiteral("Die Adresse des Anbieters muss mit https:// beginnen: %1");
    t.noListener = QStringLiteral("Die Anmeldung kann keinen Port auf diesem Rechner öffnen.");
    t.noBrowser = QStringLiteral("Der Browser ließ sich nicht öffnen. Bitte diese Adresse im Browser "
                                 "öffnen:\n%1");
    t.providerSaid = QStringLiteral("Der Anbieter hat die Anmeldung abgelehnt: %1");
    t.noAnswer = QStringLiteral("Der Anbieter ist nicht erreichbar: %1");
    t.noAnswerWithin = QStringLiteral("keine Antwort in der vorgesehenen Zeit");
    t.noToken = QStringLiteral("Die Antwort des Anbieters enthielt kein Zugriffs-Token.");
    t.noRefreshToken = QStringLiteral(
        "Der Anbieter hat kein Erneuerungs-Token ausgegeben; ohne es müsste man sich vor jedem Versand neu "
        "anmelden. Bitte den Bereich (Scope) prüfen, z. B. offline_access.");
    t.timedOut = QStringLiteral("Die Anmeldung im Browser wurde nicht abgeschlossen.");
    t.cancelled = QStringLiteral("Anmeldung abgebrochen.");
    t.sessionOnly = QStringLiteral(
        "Auf diesem Rechner läuft kein Schlüsselbund (Secret Service): Die Anmeldung gilt nur, bis das "
        "Programm beendet wird.\n(%1)");
    return t;
}

SignInTexts english() {
    SignInTexts t;
    t.callbackPage = QStringLiteral("Tarnel has received the sign-in. You may close this window.");
    t.noClientId = QStringLiteral("Please enter the application (client) ID first.");
    t.notHttps = QStringLiteral("The provider's address must begin with https://: %1");
    t.noListener = QStringLiteral("The sign-in cannot open a port on this machine.");
    t.noBrowser = QStringLiteral("The browser could not be opened. Please open this address in the "
                                 "browser:\n%1");
    t.providerSaid = QStringLiteral("The provider refused the sign-in: %1");
    t.noAnswer = QStringLiteral("The provider cannot be reached: %1");
    t.noAnswerWithin = QStringLiteral("no answer in the time allowed");
    t.noToken = QStringLiteral("The provider's answer held no access token.");
    t.noRefreshToken = QStringLiteral(
        "The provider issued no refresh token; without one you would have to sign in before every "
        "mailing. Please check the scope, e.g. offline_access.");
    t.timedOut = QStringLiteral("The sign-in in the browser was not completed.");
    t.cancelled = QStringLiteral("Sign-in cancelled.");
    t.sessionOnly = QStringLiteral(
        "No secret store (Secret Service) runs on this machine: the sign-in holds only until the program "
        "ends.\n(%1)");
    return t;
}

} // namespace

const SignInTexts& signInTexts(int language) {
    static const SignInTexts de = german();
    static const SignInTexts en = english();
    return isGerman(language) ? de : en;
}
