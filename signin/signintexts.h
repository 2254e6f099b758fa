#pragma once

#include <QString>

// The texts the sign-in writes itself, in one interface language. "%1" stands for the value named beside.
struct SignInTexts {
    QString callbackPage;   // what the browser shows once the provider has sent it back
    QString noClientId;     //
    QString notHttps;       // %1 the address
    QString noListener;     //
    QString noBrowser;      // %1 the address that could not be opened
    QString providerSaid;   // %1 the provider's error and its description
    QString noAnswer;       // %1 the connection's error
    QString noAnswerWithin; // no answer within the time allowed
    QString noToken;        // the provider's answer held no access token
    QString noRefreshToken; //
    QString timedOut;       //
    QString cancelled;      //
    QString sessionOnly;    // %1 what the secret store said
};

// 0 is German, every other value English.
const SignInTexts& signInTexts(int language);
