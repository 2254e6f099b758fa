#pragma once

#include <QString>
#include <QUrl>

// How the program logs in to the SMTP server: with the account's password (as always), or with OAuth 2.0,
// where the user signs in once in the browser and the program logs in with a token (AUTH XOAUTH2).
enum class LoginMethod { Password, OAuth };
// Where the OAuth 2.0 sign-in happens: a preset's endpoints and scope, or ones typed in.
enum class OAuthProvider { Microsoft, Google, Custom };

// What a provider preset (or the custom fields) give: the endpoints, the scope, and the SMTP server that
// takes the tokens.
struct OAuthEndpoints {
    QString authorizationUrl;
    QString tokenUrl;
    QString scope;
    QString smtpHost; // empty for Custom
    int smtpPort = 0;
};

struct SignInSettings {
    LoginMethod method = LoginMethod::Password;
    OAuthProvider provider = OAuthProvider::Microsoft;
    // The application (client) ID the user registered with the provider; the program ships none.
    QString clientId;
    // Only where the provider issues one for desktop applications (Google does); often empty.
    QString clientSecret;
    // Custom only.
    QString authorizationUrl;
    QString tokenUrl;
    QString scope;

    bool usesOAuth() const { return method == LoginMethod::OAuth; }
    // The preset's values, or the custom fields for Custom.
    OAuthEndpoints endpoints() const;

    bool operator==(const SignInSettings& other) const;
    bool operator!=(const SignInSettings& other) const { return !(*this == other); }
};

// The preset of a provider; for Custom empty.
OAuthEndpoints presetEndpoints(OAuthProvider provider);

// Stored beside the sending options (core/optionsfile.h), group "SignIn" - never a token. A missing,
// unreadable or garbled file, or a value that names nothing known, gives the default (password login).
SignInSettings loadSignInSettings();
// Returns false when the file could not be written.
bool saveSignInSettings(const SignInSettings& settings);

// What keeps the sign-in from starting, in the language given (0 German, else English); empty when
// nothing does: no client ID, or an endpoint that is no https:// address (plain http only on this
// machine's own loopback, where nobody can listen in).
QString signInSettingsProblem(const SignInSettings& settings, int language);
// True for an http(s) address whose host is "localhost" or a loopback address.
bool isLoopbackUrl(const QUrl& url);
