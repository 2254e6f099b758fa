#pragma once

#include "core/prompts.h"
#include "mailing/sendingoptions.h"
#include "signin/signinsettings.h"

#include <QDialog>

#include <functional>

class OAuthAccount;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

// "Sending options": the caps and habits a mailing run keeps to on a real mail account, and on the
// "Sign-in" tab how the program logs in to the server: with the password, or with OAuth 2.0 after a
// sign-in in the browser. Shown modally from the main window; OK stores the options for the next run,
// Escape or Cancel leaves them. A sign-in stores the sign-in settings it was made with at once, since the
// stored token belongs to them.
class SendingOptionsWindow : public QDialog {
    Q_OBJECT
public:
    explicit SendingOptionsWindow(Prompts& prompts, QWidget* parent = nullptr);

    int Language = 0;
    // Opens the help at the sending options; the main window sets it, since it knows the help file.
    std::function<void()> ShowHelp;
    // The sign-in the main window keeps (none: the sign-in buttons stay off).
    OAuthAccount* Account = nullptr;
    // The account's address as typed in the main window: the provider's sign-in form starts with it.
    std::function<QString()> AccountAddress;

    // The options as the controls hold them.
    SendingOptions options() const;
    SignInSettings signInSettings() const;

    QTabWidget* TabsOptions = nullptr;
    QSpinBox* SpinMessagesPerMinute = nullptr;
    QSpinBox* SpinMessagesPerRun = nullptr;
    QCheckBox* CheckSkipSent = nullptr;
    QCheckBox* CheckRetryTemporaryFailures = nullptr;
    QComboBox* ComboLoginMethod = nullptr; // Password, OAuth 2.0
    QComboBox* ComboProvider = nullptr;    // Microsoft, Google, Custom
    QLineEdit* EditClientId = nullptr;
    QLineEdit* EditClientSecret = nullptr;
    QLineEdit* EditAuthorizationUrl = nullptr;
    QLineEdit* EditTokenUrl = nullptr;
    QLineEdit* EditScope = nullptr;
    QLabel* LabelSmtpServer = nullptr;
    QLabel* LabelSignInState = nullptr;
    QPushButton* ButtonSignIn = nullptr;
    QPushButton* ButtonSignOut = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QWidget* buildSendingPage();
    QWidget* buildSignInPage();
    void FormShow();
    void ButtonOkClick();
    void ButtonSignInClick();
    void ButtonSignOutClick();
    void SignInFinished(bool ok, const QString& text);
    void showSignInSettings(const SignInSettings& settings);
    // The endpoints shown for the chosen provider, the controls that apply, and who is signed in.
    void ProviderChange();
    void showSignInState();

    Prompts& m_prompts;
    QLabel* m_perMinute = nullptr;
    QLabel* m_perRun = nullptr;
    QLabel* m_explanation = nullptr;
    QList<QLabel*> m_signInLabels; // method, provider, client ID, secret, endpoints, scope
    QLabel* m_signInExplanation = nullptr;
    // The custom endpoints as typed, kept while a preset shows its own.
    SignInSettings m_custom;
    bool m_cancelling = false;
};
