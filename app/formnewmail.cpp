#include "app/formnewmail.h"

#include "app/aboutbox.h"
#include "app/filedroptarget.h"
#include "app/rundisplay.h"
#include "app/sendingoptionswindow.h"
#include "core/blank.h"
#include "core/help.h"
#include "core/paths.h"
#include "mailing/maildelivery.h"
#include "mailing/mailingrun.h"
#include "mailing/schedule.h"
#include "mailing/testmail.h"
#include "recipients/formgrid.h"
#include "settings/settingsstate.h"
#include "signin/oauthaccount.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScopeGuard>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

TFormNewMail::TFormNewMail(Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FormNewMailControls(this), m_prompts(prompts), MessageText(Memo2, prompts, State.MessageFile) {
    IdSMTP = new MailDelivery(this);
    OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    SignIn = new OAuthAccount(this);
    SignIn->openBrowser = [this](const QUrl& url) { return OpenUrl && OpenUrl(url); };
    SignIn->now = [this] { return now(); };
    // A close asked for while a delivery or a run goes is carried out once it has returned.
    m_gate.closeLater = [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); };

    // Files dropped from the desktop load into the message field.
    new FileDropTarget(this, [this](const QString& path) { runGuarded([&] { MessageText.open(path); }); });

    m_schedule = new ScheduledStart(State.ScheduleArmed, this);
    Timer1 = m_schedule->timer();
    bindCommands();

    // Every caption, message and the help file are there from the start, so a first show that fails
    // half-way still leaves every control, question and error with its text.
    ApplyLanguage();
}

TFormNewMail::~TFormNewMail() = default;

void TFormNewMail::bindCommands() {
    using Operation = void (TFormNewMail::*)();
    const auto guarded = [this](Operation operation) {
        return [this, operation] { runGuarded([=] { (this->*operation)(); }); };
    };
    const std::pair<const char*, Operation> buttons[] = {
        {"ToolButton1", &TFormNewMail::BitBtnListClick},
        {"ToolButton2", &TFormNewMail::BitBtnSaveSenderClick},
        {"ToolButton3", &TFormNewMail::BtnMailClick},
        {"ToolButton4", &TFormNewMail::BitBtnStopClick},
        {"ToolButtonCheck", &TFormNewMail::BitBtnCheckClick},
        {"ToolButton8", &TFormNewMail::BitBtnTestmailClick},
        {"ToolButton14", &TFormNewMail::BitBtn4Click},
        {"ToolButton6", &TFormNewMail::BitBtn5Click},
        {"ToolButton19", &TFormNewMail::BitBtn1Click},
        {"ToolButton11", &TFormNewMail::BitBtnDefaultClick},
        {"ToolButton12", &TFormNewMail::BitBtn2Click},
        {"ToolButton7", &TFormNewMail::ToolButton7Click},
        {"ToolButton15", &TFormNewMail::BitBtnAboutClick},
        {"ToolButton16", &TFormNewMail::BitBtnHelpClick},
        {"ToolButton13", &TFormNewMail::ToolButton13Click},
        {"ToolButton18", &TFormNewMail::ToolButton18Click},
        {"ToolButton20", &TFormNewMail::ToolButton20Click},
    };
    for (const auto& [name, operation] : buttons)
        connect(ToolBar1->findChild<QToolButton*>(QLatin1String(name)), &QAbstractButton::clicked, this,
                guarded(operation));
    connect(German1, &QAction::triggered, this, guarded(&TFormNewMail::German1Click));
    connect(English1, &QAction::triggered, this, guarded(&TFormNewMail::English1Click));
    // The window sees F1 before any of its controls.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { runGuarded([this] { ShowHelp(); }); });
    connect(m_schedule, &ScheduledStart::tick, this, guarded(&TFormNewMail::Timer1Timer));
    // Also when the program changes the tick.
    connect(CheckBox1, &QCheckBox::toggled, this, guarded(&TFormNewMail::CheckBox1Click));
}

void TFormNewMail::paintEvent(QPaintEvent*) {
    paintBackground(this);
}

bool TFormNewMail::runGuarded(const std::function<void()>& operation) {
    return runReportingErrors(m_prompts, operation);
}

QDateTime TFormNewMail::now() const {
    return Now ? Now() : QDateTime::currentDateTime();
}

// ---- Start-up and close -------------------------------------------------------------------------------

void TFormNewMail::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown) return;
    m_shown = true;
    runGuarded([this] { FormShow(); });
}

void TFormNewMail::FormShow() {
    Timer1->stop();
    ProgressBar1->setValue(0);
    State.startAfresh(dataFolderPath(), defaultMessageFileName());
    LoadSettings();
    RestoreSchedule();

    showAccount({State.SmtpHost, State.SmtpPort, State.SmtpUser, State.SmtpPassword});
    m_settingsShown = true;
    showOnline(false);
    ProgressBar1->setValue(0);

    ApplyLanguage();
}

void TFormNewMail::closeEvent(QCloseEvent* event) {
    // Closing stops a running mailing as the stop button does; the window closes once its list is written
    // (or once a test mail in flight has returned).
    if (m_gate.running()) State.StopRequested = true;
    if (m_gate.closeMustWait()) return event->ignore();
    FormClose();
    event->accept();
}

void TFormNewMail::FormClose() {
    if (!m_settingsShown) return;
    // The program ends whether or not the settings could be written.
    try {
        SaveSettings();
    } catch (...) {
    }
}

void TFormNewMail::ToolButton18Click() {
    if (m_settingsShown) SaveSettings();
    close();
}

// ---- Interface language -------------------------------------------------------------------------------

void TFormNewMail::ApplyLanguage() {
    const MessageTexts before = State.Texts;
    State.Texts = messageTextsFor(State.Language);
    State.HelpFile = programFilesFolderPath() + helpFileName(State.Language);
    setInterfaceLanguage(State.Language);
    IdSMTP->setLanguage(State.Language);
    SignIn->language = State.Language;
    // Qt's own texts (message-box buttons, dialogs, key names in the hints) follow where installed.
    m_qtTexts.use(State.Texts.QtTranslationLocale);
    applyControlTexts(this, State.Language);
    // What the status texts say now is said again in the new language.
    PanelMessage->setText(restatedInLanguage(PanelMessage->text(), before, State.Texts));
    LabelStatus->setText(State.OnlineState ? State.Texts.StatusConnected : State.Texts.StatusOffline);
    LabelStatus->adjustSize();
}

void TFormNewMail::ToolButton7Click() {
    PopupMenu1->popup(languageMenuPosition());
}

void TFormNewMail::German1Click() {
    State.Language = 0;
    ApplyLanguage();
}

void TFormNewMail::English1Click() {
    State.Language = 1;
    ApplyLanguage();
}

// ---- Recipient list and attachment --------------------------------------------------------------------

void TFormNewMail::BitBtnListClick() {
    // The editor could save the list a running mailing is about to write back.
    if (m_gate.running()) return;
    BitBtn4Click();
    FormGrid->DataPath = State.DataFolder;
    if (!State.ListFile.isEmpty()) FormGrid->FItems = State.ListFile;
    FormGrid->Language = State.Language;
    FormGrid->exec();
    State.ListFile = FormGrid->FItems;
}

void TFormNewMail::BitBtnOpenClick() {
    const QString path = m_prompts.openFile({State.DataFolder, QString(), QStringLiteral("Alle (*)")});
    if (!path.isEmpty()) EditPatch->setText(path);
}

// ---- Message text files -------------------------------------------------------------------------------

void TFormNewMail::BitBtn1Click() {
    MessageText.openChosen(State.DataFolder);
}

void TFormNewMail::BitBtn2Click() {
    MessageText.saveChosen();
}

void TFormNewMail::BitBtnDefaultClick() {
    LoadDefaultMessage();
}

void TFormNewMail::LoadDefaultMessage() {
    MessageText.openDefault(State.DefaultMessageFile, State.Language, State.Texts.MsgDefaultMissingAsk);
}

void TFormNewMail::BitBtn4Click() {
    clearMessageFields();
    State.MessageFile.clear();
}

void TFormNewMail::BitBtn5Click() {
    if (m_runDisplay) m_runDisplay->showPendingMessage();
    const QString text = Memo2->toPlainText();
    if (!isBlank(text)) QGuiApplication::clipboard()->setText(text);
}

// ---- Settings, about box, help, online update ---------------------------------------------------------

void TFormNewMail::LoadSettings() {
    loadSettingsInto(State);
}

void TFormNewMail::SaveSettings() {
    // The fields keep what was typed, also what the file cannot hold: this session goes on with it.
    saveSettingsFrom(
        State,
        settingsToStore(typedAccount(), State, CheckBox1->isChecked(), DateTimePicker1->dateTime(),
                        DateTimePicker2->dateTime()),
        [this](const QString& text) { m_prompts.warning(text); },
        [this](const QString& path) { RemoveFileElevated(path); });
}

void TFormNewMail::BitBtnSaveSenderClick() {
    BitBtn4Click();
    SaveSettings();
    PanelMessage->setText(State.Texts.MsgSettingsSaved);
}

void TFormNewMail::ToolButton20Click() {
    FormSendingOptions->Language = State.Language;
    if (FormSendingOptions->exec() != QDialog::Accepted || !isBlank(EditHost->text())) return;
    // A provider preset names its SMTP server: it fills the account's server while that is empty.
    const SignInSettings signIn = loadSignInSettings();
    const OAuthEndpoints preset = signIn.endpoints();
    if (!signIn.usesOAuth() || preset.smtpHost.isEmpty()) return;
    EditHost->setText(preset.smtpHost);
    EditPort->setText(QString::number(preset.smtpPort));
}

void TFormNewMail::BitBtnAboutClick() {
    AboutBox->LabelVersion->setText(FileVersionText());
    AboutBox->LabelVersion->adjustSize();
    AboutBox->Language = State.Language;
    AboutBox->OpenUrl = OpenUrl;
    AboutBox->exec();
}

void TFormNewMail::BitBtnHelpClick() {
    ShowHelp(helpTopicAnchor(0));
}

void TFormNewMail::ShowHelp(const QString& anchor) {
    // A missing help file, or no program to show it, is said rather than passed over in silence.
    const QUrl url = helpUrl(State.HelpFile, anchor);
    if (url.isEmpty() || !OpenUrl(url)) m_prompts.error(State.Texts.MsgHelpNotOpened.arg(State.HelpFile));
}

void TFormNewMail::ToolButton13Click() {
    // The consent may be refused long after this returns, even after the window is gone.
    const auto failed = [self = QPointer<TFormNewMail>(this)] {
        if (self) self->m_prompts.error(self->State.Texts.MsgUpdateFailed);
    };
    const UpdateRequest request = updateRequestForThisProgram(State.UpdatePath, State.UpdateAction);
    if (runOnlineUpdate(request, StartProgram, failed) == UpdateOutcome::Failed) failed();
}

void TFormNewMail::RemoveFileElevated(const QString& path) {
    State.UpdateAction = QStringLiteral("del");
    State.UpdatePath = path;
    ToolButton13Click();
    State.UpdateAction.clear();
    State.UpdatePath.clear();
}

void TFormNewMail::BtnMailClick() {
    // One run at a time; a click or tick while one runs (or a message is in flight) is let pass.
    if (m_gate.busy()) return;
    BitBtn4Click();
    // With OAuth 2.0 the login needs no password.
    const OAuthAccount::Login login = SignIn->login();
    if (!typedAccount().isComplete(login.needsPassword)) {
        m_prompts.error(State.Texts.MsgEnterAccount);
        return;
    }
    State.StopRequested = false;
    ProgressBar1->setValue(0);
    setPanelTone(PanelMessage, false);
    RunMailing(login.accessToken);
}

void TFormNewMail::BitBtnStopClick() {
    State.StopRequested = true;
}

void TFormNewMail::RunMailing(const AccessTokenSource& accessToken) {
    MailingRun::Setup setup = MailingRun::setupFor(State, typedAccount(), loadSendingOptions());
    setup.accessToken = accessToken;
    setup.now = [this] { return now(); };
    setup.writeBackIntervalMs = WriteBackIntervalMs;
    State.MailingReport.clear();

    MainWindowRunDisplay display(*this, MessageText, State, m_prompts);
    MailingRun run(display, *IdSMTP, setup);
    // A close asked for during the run is carried out once the pass ends, after the list is written.
    DeliveryGate::Pass pass(m_gate, DeliveryGate::Work::Run);
    m_runDisplay = &display;
    const auto finish = qScopeGuard([&] {
        State.ListFile = run.listFile();
        State.MailingReport = run.report();
        if (!run.messageFile().isEmpty()) State.MessageFile = run.messageFile();
        m_runDisplay = nullptr;
    });
    run.run();
}

// ---- Test mail ----------------------------------------------------------------------------------------

void TFormNewMail::BitBtnTestmailClick() {
    if (m_gate.busy()) return;
    // A mail needs a sender: without the account's address it would go out from nobody.
    if (!typedAccount().isComplete(false)) {
        m_prompts.error(State.Texts.MsgEnterAccount);
        return;
    }
    if (isBlank(EditMail->text())) {
        m_prompts.warning(State.Texts.MsgEnterRecipient);
        return;
    }
    if (m_prompts.question(State.Texts.MsgAttachAsk)) BitBtnOpenClick();
    QCoreApplication::processEvents();
    PanelMessage->clear();
    PanelMessage->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto waitCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (isBlank(EditSubject->text())) EditSubject->setText(QStringLiteral("Testmail"));
    if (isBlank(Memo2->toPlainText())) Memo2->setPlainText(QStringLiteral("Testmail Text"));
    Memo2->repaint();
    SendCurrentMail();
    if (!State.SendFailed) PanelMessage->setText(State.Texts.MsgMailsSent);
}

void TFormNewMail::SendCurrentMail() {
    // A delivery in flight keeps its outcome: the second one is refused without touching it.
    if (!m_gate.delivering()) State.SendFailed = false;
    const TestMail mail{messageInFields(), typedAccount(), State.Language, SignIn->login().accessToken,
                        State.Texts.MsgMailingRunning};
    // A failed delivery has already dropped its connection; the box says why below its own text.
    LastDelivery = mail.send(*IdSMTP, m_gate, [this](const DeliveryResult& result) {
        State.SendFailed = !result.sent;
        if (result.sent) return showOnline(true);
        m_prompts.error(MailingRun::errorBoxText(State.Texts.MsgMailError, result));
    });
}

// ---- Connection check ---------------------------------------------------------------------------------

void TFormNewMail::BitBtnCheckClick() {
    const AccountFields account = typedAccount();
    const std::optional<bool> online = OnlineCheck.run(account.host, account.port);
    if (!online) return;
    State.OnlineState = *online;
    showOnline(*online, *online ? State.Texts.StatusConnected : State.Texts.StatusOffline);
}

// ---- Scheduled start ----------------------------------------------------------------------------------

void TFormNewMail::CheckBox1Click() {
    if (isBlank(State.SmtpHost) || isBlank(State.SmtpUser)) {
        m_prompts.error(State.Texts.MsgEnterAccount);
        return;
    }
    m_schedule->setArmed(CheckBox1->isChecked());
}

void TFormNewMail::Timer1Timer() {
    // While the list editor is open the run waits for the next tick: the editor may be about to save the
    // list the run would write.
    if (FormGrid && FormGrid->isVisible()) return;
    const auto online = [this] {
        BitBtnCheckClick();
        return State.OnlineState;
    };
    if (!m_schedule->startsNow(m_gate.busy(), online, now(), DateTimePicker1->date(),
                               DateTimePicker2->time()))
        return;
    runGuarded([this] { BtnMailClick(); });
    CheckBox1->setChecked(false);
    m_schedule->setArmed(false);
    // The used-up schedule is stored at once: a crash later must not send the mailing again at next start.
    runGuarded([this] { SaveSettings(); });
}

void TFormNewMail::RestoreSchedule() {
    const ScheduleSetting schedule = m_schedule->restore(State.ScheduledDate, State.ScheduledTime, now());
    if (schedule.armed) CheckBox1->setChecked(true);
    DateTimePicker1->setDate(schedule.date);
    DateTimePicker2->setTime(schedule.time);
}
