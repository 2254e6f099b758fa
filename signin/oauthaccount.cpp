#include "signin/oauthaccount.h"

#include "signin/signintexts.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QOAuthOobReplyHandler>
#include <QRandomGenerator>
#include <QTimer>

namespace {

const QString kStoreKey = QStringLiteral("oauth2");
// An access token with less left than this is renewed before a login: the login must not outlive it.
constexpr qint64 kRenewBeforeSeconds = 60;

using Stage = QAbstractOAuth::Stage;
using Parameters = QMultiMap<QString, QVariant>;

QByteArray base64Url(const QByteArray& bytes) {
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

// A PKCE code verifier (RFC 7636): 32 random bytes, 43 characters.
QByteArray newVerifier() {
    QByteArray bytes(32, '\0');
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return base64Url(bytes);
}

// The library leaves an empty client secret in token requests; a provider takes any secret from a public
// client (a desktop application without one) as a wrong one.
void dropEmptySecret(Parameters* parameters) {
    if (parameters->value(QStringLiteral("client_secret")).toString().isEmpty())
        parameters->remove(QStringLiteral("client_secret"));
}

// The refresh grant has no redirect_uri (RFC 6749, 6); the library would send its reply handler's.
QAbstractOAuth::ModifyParametersFunction refreshParameters() {
    return [](Stage stage, Parameters* parameters) {
        if (stage != Stage::RefreshingAccessToken) return;
        parameters->remove(QStringLiteral("redirect_uri"));
        dropEmptySecret(parameters);
    };
}

} // namespace

// What the token endpoint answered.
struct OAuthTokenAnswer {
    enum class Kind { Tokens, Refused, Unreachable };
    Kind kind = Kind::Unreachable;
    QString reason; // for Refused and Unreachable
    QString accessToken;
    QString refreshToken; // empty when the provider keeps the old one
    QString idToken;
    qint64 expiresIn = 0; // 0: not said

    static OAuthTokenAnswer failed(Kind kind, const QString& reason) {
        OAuthTokenAnswer answer;
        answer.kind = kind;
        answer.reason = reason;
        return answer;
    }

    // The tokens the library has parsed from a successful answer, or the error an answer with HTTP 200
    // carried.
    static OAuthTokenAnswer from(const QVariantMap& values, int language) {
        const QString error = values.value(QStringLiteral("error")).toString();
        if (!error.isEmpty())
            return failed(Kind::Refused,
                          errorText(error, values.value(QStringLiteral("error_description")).toString()));
        OAuthTokenAnswer answer;
        answer.accessToken = values.value(QStringLiteral("access_token")).toString();
        if (answer.accessToken.isEmpty()) return failed(Kind::Refused, signInTexts(language).noToken);
        answer.kind = Kind::Tokens;
        answer.refreshToken = values.value(QStringLiteral("refresh_token")).toString();
        answer.idToken = values.value(QStringLiteral("id_token")).toString();
        answer.expiresIn = values.value(QStringLiteral("expires_in")).toLongLong();
        return answer;
    }

    // A failed request: the library reports nothing of it, so the reply itself says what happened. 400
    // and 401 are the provider's refusal (RFC 6749, 5.2); anything else means it could not be asked.
    static OAuthTokenAnswer from(QNetworkReply* reply, int language) {
        if (reply->error() == QNetworkReply::OperationCanceledError)
            return failed(Kind::Unreachable, signInTexts(language).noAnswerWithin);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QJsonObject body = QJsonDocument::fromJson(reply->readAll()).object();
        const QString error = body.value(QLatin1String("error")).toString();
        if (status == 400 || status == 401)
            return failed(Kind::Refused,
                          error.isEmpty()
                              ? reply->errorString()
                              : errorText(error, body.value(QLatin1String("error_description")).toString()));
        return failed(Kind::Unreachable, reply->errorString());
    }

    static QString errorText(const QString& error, const QString& description) {
        const QString said = description.simplified();
        return said.isEmpty() ? error : error + QStringLiteral(": ") + said;
    }
};

namespace {

// Hands the token endpoint's answer to `done`, once: tokens through the library's reply handler, which
// parses them; a refused or failed request from the network manager, since the library drops those
// without a word. `network` carries this flow's requests only.
void watchTokenAnswers(QOAuth2AuthorizationCodeFlow& flow, QNetworkAccessManager& network, QObject* context,
                       int language, const std::function<void(const OAuthTokenAnswer&)>& done) {
    auto answered = std::make_shared<bool>(false);
    const auto once = [answered, done](const OAuthTokenAnswer& answer) {
        if (*answered) return;
        *answered = true;
        done(answer);
    };
    QObject::connect(
        flow.replyHandler(), &QAbstractOAuthReplyHandler::tokensReceived, context,
        [once, language](const QVariantMap& values) { once(OAuthTokenAnswer::from(values, language)); });
    QObject::connect(&network, &QNetworkAccessManager::finished, context,
                     [once, answered, context, language](QNetworkReply* reply) {
                         if (reply->error() != QNetworkReply::NoError)
                             return once(OAuthTokenAnswer::from(reply, language));
                         // An answer the library could not read (no JSON, say) yields no tokens.
                         QTimer::singleShot(0, context, [once, answered, language] {
                             if (!*answered)
                                 once(OAuthTokenAnswer::failed(OAuthTokenAnswer::Kind::Refused,
                                                               signInTexts(language).noToken));
                         });
                     });
}

void configure(QOAuth2AuthorizationCodeFlow& flow, const SignInSettings& settings) {
    const OAuthEndpoints endpoints = settings.endpoints();
    flow.setAuthorizationUrl(QUrl(endpoints.authorizationUrl));
    flow.setAccessTokenUrl(QUrl(endpoints.tokenUrl));
    flow.setClientIdentifier(settings.clientId.trimmed());
    flow.setClientIdentifierSharedKey(settings.clientSecret.trimmed());
    flow.setScope(endpoints.scope);
}

} // namespace

// One sign-in in the browser: the library's authorization code flow with its loopback reply handler, PKCE
// added through its parameter hook.
class OAuthAccount::SignInFlow : public QObject {
public:
    SignInFlow(OAuthAccount& owner, const SignInSettings& settings, const QString& hint)
        : m_owner(owner), m_settings(settings), m_hint(hint.trimmed()), m_flow(&m_network) {}

    void start() {
        const SignInTexts& texts = signInTexts(m_owner.language);
        // On the loopback only: nobody else on the network can send the program a code.
        m_handler = new QOAuthHttpServerReplyHandler(QHostAddress::LocalHost, 0, this);
        if (!m_handler->isListening()) return m_owner.failSignIn(texts.noListener);
        m_handler->setCallbackText(texts.callbackPage);
        m_flow.setReplyHandler(m_handler);
        configure(m_flow, m_settings);
        m_network.setTransferTimeout(m_owner.requestTimeoutMs);
        m_flow.setModifyParametersFunction(parameters());
        connect(&m_flow, &QAbstractOAuth::authorizeWithBrowser, this, [this, &texts](const QUrl& url) {
            if (!m_owner.openBrowser || !m_owner.openBrowser(url))
                m_owner.failSignIn(texts.noBrowser.arg(url.toString(QUrl::FullyEncoded)));
        });
        // The provider sent the browser back with an error (the user declined, say).
        connect(&m_flow, &QAbstractOAuth2::error, this,
                [this, &texts](const QString& error, const QString& description, const QUrl&) {
                    // The library decodes the query's %-escapes but leaves its "+" for a blank.
                    const QString said = QString(description).replace(QLatin1Char('+'), QLatin1Char(' '));
                    m_owner.failSignIn(texts.providerSaid.arg(OAuthTokenAnswer::errorText(error, said)));
                });
        watchTokenAnswers(m_flow, m_network, this, m_owner.language, [this](const OAuthTokenAnswer& answer) {
            m_owner.finishSignIn(answer, m_settings, m_hint);
        });
        m_timeout.setSingleShot(true);
        connect(&m_timeout, &QTimer::timeout, this, [this, &texts] { m_owner.failSignIn(texts.timedOut); });
        m_timeout.start(m_owner.browserTimeoutMs);
        m_flow.grant();
    }

private:
    // The redirect goes to "http://localhost:<port>/", the form providers let a desktop application
    // register once for any port (the library would say 127.0.0.1, which Microsoft counts as another
    // address); the handler listens on 127.0.0.1, where the browser's localhost leads.
    QAbstractOAuth::ModifyParametersFunction parameters() {
        const QByteArray verifier = newVerifier();
        const QString redirect = QStringLiteral("http://localhost:%1/").arg(m_handler->port());
        const bool google = m_settings.provider == OAuthProvider::Google;
        const QString hint = m_hint;
        return [verifier, redirect, google, hint](Stage stage, Parameters* p) {
            if (stage == Stage::RequestingAuthorization) {
                p->insert(QStringLiteral("code_challenge"), QString::fromLatin1(pkceChallenge(verifier)));
                p->insert(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
                p->replace(QStringLiteral("redirect_uri"), redirect);
                if (!hint.isEmpty()) p->insert(QStringLiteral("login_hint"), hint);
                // Google issues a refresh token only when asked for offline access, and again only
                // with a new consent.
                if (google) {
                    p->insert(QStringLiteral("access_type"), QStringLiteral("offline"));
                    p->insert(QStringLiteral("prompt"), QStringLiteral("consent"));
                }
            } else if (stage == Stage::RequestingAccessToken) {
                p->insert(QStringLiteral("code_verifier"), QString::fromLatin1(verifier));
                // Percent-encoded, as the library gives its own.
                p->replace(QStringLiteral("redirect_uri"), QUrl::toPercentEncoding(redirect));
                dropEmptySecret(p);
            }
        };
    }

    OAuthAccount& m_owner;
    const SignInSettings m_settings;
    const QString m_hint;
    QNetworkAccessManager m_network;
    QOAuth2AuthorizationCodeFlow m_flow;
    QOAuthHttpServerReplyHandler* m_handler = nullptr;
    QTimer m_timeout;
};

namespace {

// Asks the token endpoint for a new access token with the refresh token, and waits for the answer.
OAuthTokenAnswer refreshTokens(const SignInSettings& settings, const QString& refreshToken, int timeoutMs,
                               int language) {
    // The handler outlives the network manager: a reply the manager ends on its way out still reaches it.
    QOAuthOobReplyHandler handler; // parses the answer; no browser comes back here
    QNetworkAccessManager network;
    network.setTransferTimeout(timeoutMs);
    QOAuth2AuthorizationCodeFlow flow(&network);
    flow.setReplyHandler(&handler);
    configure(flow, settings);
    flow.setRefreshToken(refreshToken);
    flow.setModifyParametersFunction(refreshParameters());

    QEventLoop loop;
    std::optional<OAuthTokenAnswer> answer;
    watchTokenAnswers(flow, network, &loop, language, [&](const OAuthTokenAnswer& a) {
        answer = a;
        loop.quit();
    });
    // The transfer time-out ends the request; this only guards against an answer that never comes.
    QTimer::singleShot(timeoutMs + 2000, &loop, &QEventLoop::quit);
    flow.refreshAccessToken();
    if (!answer) loop.exec();
    return answer ? *answer
                  : OAuthTokenAnswer::failed(OAuthTokenAnswer::Kind::Unreachable,
                                             signInTexts(language).noAnswerWithin);
}

} // namespace

OAuthAccount::OAuthAccount(QObject* parent) : QObject(parent) {}

OAuthAccount::~OAuthAccount() = default;

QDateTime OAuthAccount::clock() const {
    return now ? now() : QDateTime::currentDateTime();
}

void OAuthAccount::signIn(const SignInSettings& settings, const QString& loginHint) {
    m_flow.reset();
    const QString problem = signInSettingsProblem(settings, language);
    if (!problem.isEmpty()) return failSignIn(problem);
    m_flow = std::make_unique<SignInFlow>(*this, settings, loginHint);
    m_flow->start();
}

void OAuthAccount::cancelSignIn() {
    if (m_flow) failSignIn(signInTexts(language).cancelled);
}

// The flow's own signals lead here: it goes once the event loop has left them.
void OAuthAccount::failSignIn(const QString& why) {
    if (m_flow) m_flow.release()->deleteLater();
    Q_EMIT signInFinished(false, why);
}

void OAuthAccount::finishSignIn(const OAuthTokenAnswer& answer, const SignInSettings& settings,
                                const QString& hint) {
    const SignInTexts& texts = signInTexts(language);
    if (answer.kind != OAuthTokenAnswer::Kind::Tokens)
        return failSignIn(
            (answer.kind == OAuthTokenAnswer::Kind::Refused ? texts.providerSaid : texts.noAnswer)
                .arg(answer.reason));
    // Without it every run would need the browser again, and a scheduled run could not log in at all.
    if (answer.refreshToken.isEmpty()) return failSignIn(texts.noRefreshToken);
    Stored signedIn;
    signedIn.refreshToken = answer.refreshToken;
    signedIn.address = idTokenAddress(answer.idToken);
    if (signedIn.address.isEmpty()) signedIn.address = hint;
    signedIn.tokenUrl = settings.endpoints().tokenUrl;
    signedIn.clientId = settings.clientId.trimmed();
    takeAccessToken(answer);
    keep(signedIn);
    if (m_flow) m_flow.release()->deleteLater();
    Q_EMIT signInFinished(true, signedIn.address);
}

const std::optional<OAuthAccount::Stored>& OAuthAccount::stored() {
    if (m_loaded) return m_stored;
    m_loaded = true;
    const std::optional<QByteArray> data = m_store.read(kStoreKey);
    const QJsonObject o = data ? QJsonDocument::fromJson(*data).object() : QJsonObject();
    const auto text = [&o](const char* key) { return o.value(QLatin1String(key)).toString(); };
    if (text("refresh_token").isEmpty()) return m_stored;
    m_stored = Stored{text("refresh_token"), text("address"), text("token_url"), text("client_id")};
    return m_stored;
}

bool OAuthAccount::belongsTo(const Stored& stored, const SignInSettings& settings) {
    return stored.tokenUrl == settings.endpoints().tokenUrl && stored.clientId == settings.clientId.trimmed();
}

void OAuthAccount::keep(const Stored& stored) {
    m_stored = stored;
    m_loaded = true;
    QJsonObject o;
    o.insert(QLatin1String("refresh_token"), stored.refreshToken);
    o.insert(QLatin1String("address"), stored.address);
    o.insert(QLatin1String("token_url"), stored.tokenUrl);
    o.insert(QLatin1String("client_id"), stored.clientId);
    m_store.write(kStoreKey, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

void OAuthAccount::takeAccessToken(const OAuthTokenAnswer& answer) {
    m_accessToken = answer.accessToken;
    // Without a lifetime it is used until the server refuses it.
    m_expiry = answer.expiresIn > 0 ? clock().addSecs(answer.expiresIn) : QDateTime();
}

std::optional<QString> OAuthAccount::signedInAddress(const SignInSettings& settings) {
    const std::optional<Stored>& s = stored();
    if (!s || !belongsTo(*s, settings)) return std::nullopt;
    return s->address;
}

void OAuthAccount::signOut() {
    m_store.remove(kStoreKey);
    m_stored.reset();
    m_loaded = true;
    m_accessToken.clear();
}

OAuthAccount::Login OAuthAccount::login() {
    const SignInSettings settings = loadSignInSettings();
    if (!settings.usesOAuth()) return {};
    return {false, [this, settings](bool renew) { return accessToken(settings, renew); }};
}

AccessToken OAuthAccount::accessToken(const SignInSettings& settings, bool renew) {
    AccessToken result;
    const std::optional<Stored> s = stored();
    if (!s || !belongsTo(*s, settings)) return result;
    const bool fresh = !m_expiry.isValid() || clock().secsTo(m_expiry) > kRenewBeforeSeconds;
    if (renew || m_accessToken.isEmpty() || !fresh) {
        m_accessToken.clear();
        const OAuthTokenAnswer answer = refreshTokens(settings, s->refreshToken, requestTimeoutMs, language);
        if (answer.kind != OAuthTokenAnswer::Kind::Tokens) {
            result.state = answer.kind == OAuthTokenAnswer::Kind::Refused ? AccessToken::State::Refused
                                                                          : AccessToken::State::Unreachable;
            result.reason = answer.reason;
            return result;
        }
        takeAccessToken(answer);
        // Providers that rotate refresh tokens end the old one with this answer.
        if (!answer.refreshToken.isEmpty() && answer.refreshToken != s->refreshToken) {
            Stored renewed = *s;
            renewed.refreshToken = answer.refreshToken;
            keep(renewed);
        }
    }
    result.state = AccessToken::State::Granted;
    result.token = m_accessToken;
    return result;
}

QString OAuthAccount::takeStoreNotice() {
    if (m_noticeGiven || m_store.storeError().isEmpty()) return {};
    m_noticeGiven = true;
    return signInTexts(language).sessionOnly.arg(m_store.storeError());
}

QString idTokenAddress(const QString& idToken) {
    const QStringList parts = idToken.split(QLatin1Char('.'));
    if (parts.size() < 2) return {};
    const QByteArray payload = QByteArray::fromBase64(
        parts[1].toLatin1(), QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    const QJsonObject claims = QJsonDocument::fromJson(payload).object();
    for (const char* claim : {"email", "preferred_username", "upn"}) {
        const QString address = claims.value(QLatin1String(claim)).toString().trimmed();
        if (!address.isEmpty()) return address;
    }
    return {};
}

QByteArray pkceChallenge(const QByteArray& verifier) {
    return base64Url(QCryptographicHash::hash(verifier, QCryptographicHash::Sha256));
}
