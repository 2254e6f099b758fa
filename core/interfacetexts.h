#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Interface language: 0 is German, every other value English.
inline bool isGerman(int language) {
    return language == 0;
}

// The interface language of the program's own texts that the lower floors make (file errors): the main
// window sets it at start and at each switch. Safe to read from any thread. German until set.
void setInterfaceLanguage(int language);
int interfaceLanguage();

// What a file operation that failed says; %1 is the file's path, %2 the system's reason.
struct FileErrorTexts {
    QString cannotOpen;
    QString cannotRead;
    QString cannotCreate;
    QString cannotProtect;
    QString cannotWrite;
};
FileErrorTexts fileErrorTexts(int language);

// The texts the main window shows in message boxes and in its status panel. Texts that begin or end
// with a blank are joined to other text where they are shown; the blanks belong to them.
struct MessageTexts {
    QString MsgListNotFoundAsk;
    QString MsgListNotFound;
    QString MsgConfirmStart1;
    QString MsgConfirmStart2;
    QString MsgConfirmStart3;
    QString MsgEmptyMail;
    QString MsgInvalidAddress;
    QString MsgMailingAborted;
    QString MsgMailsSent;
    QString MsgDefaultMissingAsk;
    QString MsgMailError;
    QString MsgSettingsSaved;
    QString MsgEnterRecipient;
    QString MsgAttachAsk;
    QString MsgEnterAccount;
    QString MsgMailingRunning;
    QString MsgUpdateFailed;
    // A file or web address the desktop could not open ("%1" stands for it).
    QString MsgHelpNotOpened;
    QString MsgAddressNotOpened;
    // The connection check's result beside the online indicator.
    QString StatusConnected;
    QString StatusOffline;
    // Qt's own texts (message-box buttons, dialogs) in this language: the translation's locale, empty for
    // Qt's built-in English.
    QString QtTranslationLocale;
    // The sending options at work in a run. %1 is a number, %2 a time of day.
    QString MsgSkippedAsk;      // after the start question: how many already sent lines are left out
    QString MsgSkippedDone;     // after the result
    QString MsgNextMailIn;      // waiting for the per-minute cap
    QString MsgRunLimitReached; // after the result
    QString MsgRetryAt;         // %1 is the server's reply (or the connection error)
    QString MsgLoginRefused;    // %1 is the server's reply
};

// The sending options window's texts.
struct SendingOptionsTexts {
    QString caption;
    QString perMinute;
    QString perRun;
    QString noLimit; // shown in a number field at 0
    QString skipSent;
    QString retry;
    QString explanation;
    QString ok;
    QString cancel;
    QString notStored; // the options file could not be written; %1 is its path
};
SendingOptionsTexts sendingOptionsTexts(int language);

// The sign-in part of the sending options window.
struct SignInPartTexts {
    QString tabSending; // the tab of the options above
    QString tabSignIn;
    QString method;
    QString password; // the login methods
    QString oauth;
    QString provider;
    QString microsoft; // the providers
    QString google;
    QString custom;
    QString clientId;
    QString clientSecret;
    QString authorizationUrl;
    QString tokenUrl;
    QString scope;
    QString server; // %1 host, %2 port
    QString signIn;
    QString signOut;
    QString cancelSignIn;
    QString signedInAs; // %1 the address
    QString signedIn;   // when the provider named nobody
    QString notSignedIn;
    QString waiting;
    QString explanation;
};
SignInPartTexts signInPartTexts(int language);

MessageTexts messageTextsFor(int language);

// A status the main window's Info panel shows, said again in another language: a run's result ("2 Mail(s)
// send."), its abort, its start, a list not found, the settings saved. Any other text stays as it is.
QString restatedInLanguage(const QString& status, const MessageTexts& from, const MessageTexts& to);

// What the default error report says of an error that gives no text of its own.
QString unknownErrorText(int language);

// A caption or tooltip of one of the main window's controls, found by the control's object name.
struct ControlText {
    enum Kind { Caption, Hint };
    const char* control;
    Kind kind;
    QString german;
    QString english;

    const QString& text(int language) const { return isGerman(language) ? german : english; }
};

const std::vector<ControlText>& mainWindowControlTexts();

// The about box's texts.
struct AboutBoxTexts {
    QString caption;
    QString rightsReserved;
    QString webAddress; // the maker's web site
};
AboutBoxTexts aboutBoxTexts(int language);

// The help file's name in the program's folder.
QString helpFileName(int language);

// The seven lines of a newly created default message.
QStringList defaultMessageTemplate(int language);
