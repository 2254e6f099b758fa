#include "app/formnewmail.h"

#include "app/aboutbox.h"
#include "app/rundisplay.h"
#include "app/sendingoptionswindow.h"
#include "core/blank.h"
#include "core/help.h"
#include "core/paths.h"
#include "mailing/maildelivery.h"
#include "mailing/schedule.h"
#include "recipients/formgrid.h"
#include "settings/settingsstate.h"
#include "signin/oauthaccount.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
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
    setAcceptDrops(true);

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

QPoint TFormNewMail::languageMenuPosition() const {
    const QRect frame = frameGeometry();
    return {frame.left() + ToolButton7->x(), frame.top() + ToolBar1->height() + 30};
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

void TFormNewMail::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFormNewMail::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    runGuarded([&] { DropFiles(urls); });
}

void TFormNewMail::DropFiles(const QList<QUrl>& urls) {
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    MessageText.open(urls.first().toLocalFile());
}

// ---- Settings, about box, help, online update ---------------------------------------------------------

void TFormNewMail::LoadSettings() {
    loadSettingsInto(State);
}

void TFormNewMail::SaveSettings() {
    const StoredSettings values = settingsToStore(typedAccount(), State, CheckBox1->isChecked(),
                                                  DateTimePicker1->dateTime(), DateTimePicker2->dateTime());
    // The file's 8-bit format cannot hold every character: say which are lost before they are. The fields
    // keep what was typed, so this session goes on with it.
    const QString unstorable = unstorableCharactersMessage(values, State.Language);
    if (!unstorable.isEmpty()) m_prompts.warning(unstorable);
    saveSettingsFile(State.DataFolder, values, [this](const QString& path) { RemoveFileElevated(path); });
    // What is stored now is what arming the schedule looks at.
    State.SmtpHost = values.SmtpHost;
    State.SmtpUser = values.SmtpUser;
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
    const UpdateRequest request = updateRequestForThisProgram(State.UpdatePath, State.UpdateAction);
    // The consent may be refused long after this returns, even after the window is gone.
    const QPointer<TFormNewMail> self(this);
    const auto failed = [self] {
        if (!self) return;
        const QString text = self->State.Texts.MsgUpdateFailed;
        self->prompts().error(text.isEmpty() ? messageTextsFor(self->State.Language).MsgUpdateFailed : text);
    };
    const ProgramStarter starter = StartProgram ? StartProgram : ProgramStarter(startProgram);
    if (runOnlineUpdate(request, starter, failed) == UpdateOutcome::Failed) failed();
}

void TFormNewMail::RemoveFileElevated(const QString& path) {
    State.UpdateAction = QStringLiteral("del");
    State.UpdatePath = path;
    ToolButton13Click();
    State.UpdateAction.clear();
    State.UpdatePath.clear();
}
