#pragma once

#include "app/formnewmailcontrols.h"
#include "app/messagefield.h"
#include "app/qttranslation.h"
#include "core/accesstoken.h"
#include "core/onlineupdate.h"
#include "core/prompts.h"
#include "core/sharedstate.h"
#include "mailing/connectionprobe.h"
#include "mailing/deliverygate.h"
#include "mailing/smtpsession.h"

#include <QDateTime>
#include <QUrl>
#include <QWidget>

#include <functional>

class MailDelivery;
class MainWindowRunDisplay;
class OAuthAccount;
class QTimer;
class ScheduledStart;
class SendingOptionsWindow;
class TAboutBox;
class TFormGrid;
class TFormImport;
class TFormLoeschen;

// The main window: account fields, message fields, schedule controls, progress and status, and the
// toolbar that reaches every other function. It owns the program's shared state; its operations are short
// and hand the work to the logic libraries (the mailing run, message files, settings, the schedule).
class TFormNewMail : public QWidget, public FormNewMailControls {
    Q_OBJECT
public:
    explicit TFormNewMail(Prompts& prompts, QWidget* parent = nullptr);
    ~TFormNewMail() override;

    SharedState State;

    // The secondary windows, created after this one and shown modally from it.
    TAboutBox* AboutBox = nullptr;
    TFormGrid* FormGrid = nullptr;
    TFormLoeschen* FormLoeschen = nullptr;
    TFormImport* FormImport = nullptr;
    SendingOptionsWindow* FormSendingOptions = nullptr;

    // Opens a file or web address with the desktop's handler; tests replace it to see what was opened.
    std::function<bool(const QUrl&)> OpenUrl;
    // Starts the installer without waiting; tests replace it to see the command.
    ProgramStarter StartProgram = startProgram;

    // The clock of the schedule and the sent stamps; tests set their own (empty: the system's).
    std::function<QDateTime()> Now;
    // The connection check: the web hosts it tries and how long it waits.
    ConnectionCheck OnlineCheck;
    // How often a running mailing writes its list back at the least (crash safety).
    int WriteBackIntervalMs = 2000;

    QTimer* Timer1 = nullptr; // the schedule's tick

    // Operations, one per user event.
    void FormShow();
    void FormClose();
    void ApplyLanguage();
    void BitBtnListClick();
    void BitBtnOpenClick();
    void BitBtnSaveSenderClick();
    void BtnMailClick();
    void BitBtnStopClick();
    void BitBtnCheckClick();
    void BitBtnTestmailClick();
    // With OAuth 2.0 the login takes its token from `accessToken`; empty: the password.
    void RunMailing(const AccessTokenSource& accessToken);
    void CheckBox1Click();
    void Timer1Timer();
    // A mailing run is in progress (its display lets events through once per line).
    bool MailingRunning() const { return m_gate.running(); }
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn1Click();
    void BitBtnDefaultClick();
    void LoadDefaultMessage();
    void BitBtn2Click();
    void ToolButton7Click();
    void German1Click();
    void English1Click();
    void BitBtnAboutClick();
    void BitBtnHelpClick();
    void ToolButton13Click();
    void ToolButton18Click();
    // Sending options: caps and habits for the next run.
    void ToolButton20Click();
    // Opens the current help file; an empty anchor shows its table of contents.
    void ShowHelp(const QString& anchor = QString());

    // Settings file; raise AppError on failure.
    void LoadSettings();
    void SaveSettings();
    // Has the installer remove a file with raised rights (the settings file when it cannot be replaced).
    void RemoveFileElevated(const QString& path);
    // Step 6 of the first show: arms a stored schedule, or sets the pickers to now.
    void RestoreSchedule();

    // The SMTP connection that the test mails and the mailing runs share; tests give it their options.
    MailDelivery* IdSMTP = nullptr;
    // The OAuth 2.0 sign-in (sending options, "Sign-in"): its browser is OpenUrl, its clock Now.
    OAuthAccount* SignIn = nullptr;
    // What the last test mail's delivery came to, the server's failing reply included.
    DeliveryResult LastDelivery;
    // Sends the test mail standing in the message fields, with the account in the account fields.
    void SendCurrentMail();
    // A delivery has not yet returned (the message is in flight or its error box is open). The window keeps
    // handling events meanwhile, but no second delivery can start and closing waits for it.
    bool DeliveryInFlight() const { return m_gate.delivering(); }

    // Runs an operation; an error it does not handle is shown by the default error report
    // (an error box with the error's text) and the program goes on. Returns false after an error.
    bool runGuarded(const std::function<void()>& operation);

    Prompts& prompts() { return m_prompts; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Prompts& m_prompts;

public:
    // The message field with its file: loading and saving keep the layout of the file last loaded. Its
    // lines and setLines are Memo2's text as file lines and back, every character kept.
    MessageField MessageText;

private:
    void bindCommands();
    QDateTime now() const;

    QtTranslation m_qtTexts;
    bool m_shown = false;
    // The account fields hold what the settings file held. Until then (a first show that failed) closing
    // must not save, or the empty fields would replace the stored account.
    bool m_settingsShown = false;
    DeliveryGate m_gate;
    ScheduledStart* m_schedule = nullptr;
    MainWindowRunDisplay* m_runDisplay = nullptr; // while a run shows its lines
};
