#pragma once

#include <QString>

#include <functional>

// An OAuth 2.0 access token for the SMTP login (AUTH XOAUTH2), or why there is none.
struct AccessToken {
    enum class State {
        Granted,     // token holds it
        NotSignedIn, // no sign-in is stored for the chosen provider and application
        Refused,     // the provider refused to renew it (revoked, expired, client changed): sign in again
        Unreachable  // the provider could not be asked (no connection, no answer, a server error)
    };
    State state = State::NotSignedIn;
    QString token;
    // For Refused and Unreachable: the provider's error or the connection's, as they gave it.
    QString reason;

    bool granted() const { return state == State::Granted && !token.isEmpty(); }
};

// Where a delivery gets its token: `renew` asks for a new one even when the one at hand has not expired
// (the server has just refused it). Never opens a browser.
using AccessTokenSource = std::function<AccessToken(bool renew)>;
