#include "signin/signinsettings.h"

#include "core/optionsfile.h"
#include "signin/signintexts.h"

#include <QFile>
#include <QHostAddress>

namespace {

const char* const kGroup = "SignIn";

struct Named {
    const char* name;
    int value;
};
const Named kMethods[] = {{"Password", int(LoginMethod::Password)}, {"OAuth", int(LoginMethod::OAuth)}};
const Named kProviders[] = {{"Microsoft", int(OAuthProvider::Microsoft)},
                            {"Google", int(OAuthProvider::Google)},
                            {"Custom", int(OAuthProvider::Custom)}};

template <std::size_t N> int valueOf(const QString& text, const Named (&names)[N], int fallback) {
    for (const Named& n : names)
        if (text.trimmed().compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0) return n.value;
    return fallback;
}

template <std::size_t N> QString nameOf(int value, const Named (&names)[N]) {
    for (const Named& n : names)
        if (n.value == value) return QLatin1String(n.name);
    return QLatin1String(names[0].name);
}

} // namespace

OAuthEndpoints presetEndpoints(OAuthProvider provider) {
    // "openid email" besides the mail scope: the provider then names the account that gave its consent,
    // which the window shows ("Signed in as ...").
    switch (provider) {
    case OAuthProvider::Microsoft:
        return {QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize"),
                QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token"),
                QStringLiteral("https://outlook.office.com/SMTP.Send offline_access openid email"),
                QStringLiteral("smtp.office365.com"), 587};
    case OAuthProvider::Google:
        return {QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth"),
                QStringLiteral("https://oauth2.googleapis.com/token"),
                QStringLiteral("https://mail.google.com/ openid email"), QStringLiteral("smtp.gmail.com"),
                587};
    case OAuthProvider::Custom:
        break;
    }
    return {};
}

OAuthEndpoints SignInSettings::endpoints() const {
    if (provider != OAuthProvider::Custom) return presetEndpoints(provider);
    OAuthEndpoints custom;
    custom.authorizationUrl = authorizationUrl.trimmed();
    custom.tokenUrl = tokenUrl.trimmed();
    custom.scope = scope.simplified();
    return custom;
}

bool SignInSettings::operator==(const SignInSettings& other) const {
    return method == other.method && provider == other.provider && clientId == other.clientId &&
           clientSecret == other.clientSecret && authorizationUrl == other.authorizationUrl &&
           tokenUrl == other.tokenUrl && scope == other.scope;
}

SignInSettings loadSignInSettings() {
    QSettings file = openOptionsFile();
    file.beginGroup(QLatin1String(kGroup));
    SignInSettings s;
    const auto text = [&file](const char* key) { return file.value(QLatin1String(key)).toString(); };
    s.method = LoginMethod(valueOf(text("Method"), kMethods, int(LoginMethod::Password)));
    s.provider = OAuthProvider(valueOf(text("Provider"), kProviders, int(OAuthProvider::Microsoft)));
    s.clientId = text("ClientId").trimmed();
    s.clientSecret = text("ClientSecret").trimmed();
    s.authorizationUrl = text("AuthorizationUrl").trimmed();
    s.tokenUrl = text("TokenUrl").trimmed();
    s.scope = text("Scope").simplified();
    return s;
}

bool saveSignInSettings(const SignInSettings& s) {
    QSettings file = openOptionsFile();
    file.beginGroup(QLatin1String(kGroup));
    file.setValue(QStringLiteral("Method"), nameOf(int(s.method), kMethods));
    file.setValue(QStringLiteral("Provider"), nameOf(int(s.provider), kProviders));
    file.setValue(QStringLiteral("ClientId"), s.clientId.trimmed());
    file.setValue(QStringLiteral("ClientSecret"), s.clientSecret.trimmed());
    file.setValue(QStringLiteral("AuthorizationUrl"), s.authorizationUrl.trimmed());
    file.setValue(QStringLiteral("TokenUrl"), s.tokenUrl.trimmed());
    file.setValue(QStringLiteral("Scope"), s.scope.simplified());
    file.endGroup();
    file.sync();
    // It may hold a client secret: for its owner's eyes only, as the settings file.
    QFile::setPermissions(file.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    return file.status() == QSettings::NoError;
}

bool isLoopbackUrl(const QUrl& url) {
    const QString host = url.host().toLower();
    if (host == QLatin1String("localhost")) return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString signInSettingsProblem(const SignInSettings& settings, int language) {
    const SignInTexts& texts = signInTexts(language);
    if (settings.clientId.trimmed().isEmpty()) return texts.noClientId;
    const OAuthEndpoints endpoints = settings.endpoints();
    for (const QString& address : {endpoints.authorizationUrl, endpoints.tokenUrl}) {
        const QUrl url(address, QUrl::StrictMode);
        const bool https = url.scheme() == QLatin1String("https");
        const bool local = url.scheme() == QLatin1String("http") && isLoopbackUrl(url);
        if (!url.isValid() || url.host().isEmpty() || !(https || local)) return texts.notHttps.arg(address);
    }
    return {};
}
