#include "app/sendingoptionswindow.h"

#include "core/interfacetexts.h"
#include "signin/oauthaccount.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QSpinBox* countField(const char* name, QWidget* parent) {
    auto* field = new QSpinBox(parent);
    field->setObjectName(QLatin1String(name));
    field->setRange(0, 1000000);
    field->setGroupSeparatorShown(true);
    return field;
}

QLineEdit* textField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setMinimumWidth(300);
    return field;
}

QLabel* explanationLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setFixedWidth(400);
    label->setStyleSheet(QStringLiteral("color: #404040;"));
    return label;
}

} // namespace

SendingOptionsWindow::SendingOptionsWindow(Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("FormSendingOptions"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(QFont(QStringLiteral("Arial"), 8));

    TabsOptions = new QTabWidget(this);
    TabsOptions->setObjectName(QStringLiteral("TabsOptions"));
    TabsOptions->addTab(buildSendingPage(), QString());
    TabsOptions->addTab(buildSignInPage(), QString());
    auto* buttons = new QDialogButtonBox(this);
    ButtonOk = buttons->addButton(QDialogButtonBox::Ok);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonCancel = buttons->addButton(QDialogButtonBox::Cancel);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(8);
    // The window takes the height its word-wrapped explanations need in either language.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(TabsOptions);
    layout->addWidget(buttons);

    connect(ButtonOk, &QPushButton::clicked, this, [this] { ButtonOkClick(); });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] {
        if (ShowHelp) ShowHelp();
    });
}

QWidget* SendingOptionsWindow::buildSendingPage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("PageSending"));
    SpinMessagesPerMinute = countField("SpinMessagesPerMinute", page);
    SpinMessagesPerRun = countField("SpinMessagesPerRun", page);
    CheckSkipSent = new QCheckBox(page);
    CheckSkipSent->setObjectName(QStringLiteral("CheckSkipSent"));
    CheckRetryTemporaryFailures = new QCheckBox(page);
    CheckRetryTemporaryFailures->setObjectName(QStringLiteral("CheckRetryTemporaryFailures"));
    m_explanation = explanationLabel("LabelExplanation", page);

    auto* form = new QFormLayout;
    m_perMinute = new QLabel(page);
    m_perRun = new QLabel(page);
    form->addRow(m_perMinute, SpinMessagesPerMinute);
    form->addRow(m_perRun, SpinMessagesPerRun);
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(8);
    layout->addLayout(form);
    layout->addWidget(CheckSkipSent);
    layout->addWidget(CheckRetryTemporaryFailures);
    layout->addSpacing(4);
    layout->addWidget(m_explanation);
    layout->addStretch(1);
    return page;
}

QWidget* SendingOptionsWindow::buildSignInPage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("PageSignIn"));
    ComboLoginMethod = new QComboBox(page);
    ComboLoginMethod->setObjectName(QStringLiteral("ComboLoginMethod"));
    ComboLoginMethod->addItems({QString(), QString()});
    ComboProvider = new QComboBox(page);
    ComboProvider->setObjectName(QStringLiteral("ComboProvider"));
    ComboProvider->addItems({QString(), QString(), QString()});
    EditClientId = textField("EditClientId", page);
    EditClientSecret = textField("EditClientSecret", page);
    EditAuthorizationUrl = textField("EditAuthorizationUrl", page);
    EditTokenUrl = textField("EditTokenUrl", page);
    EditScope = textField("EditScope", page);
    LabelSmtpServer = new QLabel(page);
    LabelSmtpServer->setObjectName(QStringLiteral("LabelSmtpServer"));
    LabelSignInState = new QLabel(page);
    LabelSignInState->setObjectName(QStringLiteral("LabelSignInState"));
    LabelSignInState->setStyleSheet(QStringLiteral("color: #000080;"));
    ButtonSignIn = new QPushButton(page);
    ButtonSignIn->setObjectName(QStringLiteral("ButtonSignIn"));
    ButtonSignOut = new QPushButton(page);
    ButtonSignOut->setObjectName(QStringLiteral("ButtonSignOut"));
    m_signInExplanation = explanationLabel("LabelSignInExplanation", page);

    auto* form = new QFormLayout;
    QWidget* const fields[] = {ComboLoginMethod,     ComboProvider, EditClientId, EditClientSecret,
                               EditAuthorizationUrl, EditTokenUrl,  EditScope};
    const char* const labelNames[] = {"LabelLoginMethod",  "LabelProvider",         "LabelClientId",
                                      "LabelClientSecret", "LabelAuthorizationUrl", "LabelTokenUrl",
                                      "LabelScope"};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        auto* label = new QLabel(page);
        label->setObjectName(QLatin1String(labelNames[i]));
        m_signInLabels << label;
        form->addRow(label, fields[i]);
    }
    form->addRow(QString(), LabelSmtpServer);
    auto* signInRow = new QHBoxLayout;
    signInRow->addWidget(ButtonSignIn);
    signInRow->addWidget(ButtonSignOut);
    signInRow->addWidget(LabelSignInState, 1);
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(8);
    layout->addLayout(form);
    layout->addLayout(signInRow);
    layout->addSpacing(4);
    layout->addWidget(m_signInExplanation);
    layout->addStretch(1);

    connect(ComboLoginMethod, &QComboBox::currentIndexChanged, this, [this] { ProviderChange(); });
    connect(ComboProvider, &QComboBox::currentIndexChanged, this, [this] { ProviderChange(); });
    // Who is signed in depends on the application and the token endpoint.
    for (QLineEdit* field : {EditClientId, EditTokenUrl})
        connect(field, &QLineEdit::textEdited, this, [this] { showSignInState(); });
    connect(ButtonSignIn, &QPushButton::clicked, this, [this] { ButtonSignInClick(); });
    connect(ButtonSignOut, &QPushButton::clicked, this, [this] { ButtonSignOutClick(); });
    return page;
}

void SendingOptionsWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void SendingOptionsWindow::FormShow() {
    const SendingOptionsTexts texts = sendingOptionsTexts(Language);
    const SignInPartTexts signIn = signInPartTexts(Language);
    setWindowTitle(texts.caption);
    TabsOptions->setTabText(0, signIn.tabSending);
    TabsOptions->setTabText(1, signIn.tabSignIn);
    m_perMinute->setText(texts.perMinute);
    m_perRun->setText(texts.perRun);
    for (QSpinBox* field : {SpinMessagesPerMinute, SpinMessagesPerRun})
        field->setSpecialValueText(texts.noLimit);
    CheckSkipSent->setText(texts.skipSent);
    CheckRetryTemporaryFailures->setText(texts.retry);
    m_explanation->setText(texts.explanation);
    const QString labels[] = {signIn.method,           signIn.provider, signIn.clientId, signIn.clientSecret,
                              signIn.authorizationUrl, signIn.tokenUrl, signIn.scope};
    for (int i = 0; i < m_signInLabels.size(); ++i)
        m_signInLabels[i]->setText(labels[i]);
    ComboLoginMethod->setItemText(0, signIn.password);
    ComboLoginMethod->setItemText(1, signIn.oauth);
    ComboProvider->setItemText(0, signIn.microsoft);
    ComboProvider->setItemText(1, signIn.google);
    ComboProvider->setItemText(2, signIn.custom);
    ButtonSignOut->setText(signIn.signOut);
    m_signInExplanation->setText(signIn.explanation);
    ButtonOk->setText(texts.ok);
    ButtonCancel->setText(texts.cancel);

    const SendingOptions stored = loadSendingOptions();
    SpinMessagesPerMinute->setValue(stored.messagesPerMinute);
    SpinMessagesPerRun->setValue(stored.messagesPerRun);
    CheckSkipSent->setChecked(stored.skipSent);
    CheckRetryTemporaryFailures->setChecked(stored.retryTemporaryFailures);
    showSignInSettings(loadSignInSettings());
    TabsOptions->setCurrentIndex(0);
    SpinMessagesPerMinute->setFocus();
}

void SendingOptionsWindow::showSignInSettings(const SignInSettings& settings) {
    m_custom = settings;
    EditAuthorizationUrl->setText(settings.authorizationUrl);
    EditTokenUrl->setText(settings.tokenUrl);
    EditScope->setText(settings.scope);
    EditClientId->setText(settings.clientId);
    EditClientSecret->setText(settings.clientSecret);
    const QSignalBlocker methodQuiet(ComboLoginMethod);
    const QSignalBlocker providerQuiet(ComboProvider);
    ComboLoginMethod->setCurrentIndex(settings.usesOAuth() ? 1 : 0);
    ComboProvider->setCurrentIndex(int(settings.provider));
    ProviderChange();
}

// A preset shows its own endpoints and scope, not to be edited; Custom shows what was typed.
void SendingOptionsWindow::ProviderChange() {
    const bool custom = OAuthProvider(ComboProvider->currentIndex()) == OAuthProvider::Custom;
    const bool oauth = ComboLoginMethod->currentIndex() == 1;
    if (!EditTokenUrl->isReadOnly()) {
        m_custom.authorizationUrl = EditAuthorizationUrl->text();
        m_custom.tokenUrl = EditTokenUrl->text();
        m_custom.scope = EditScope->text();
    }
    const OAuthEndpoints shown =
        custom ? OAuthEndpoints{m_custom.authorizationUrl, m_custom.tokenUrl, m_custom.scope, {}, 0}
               : presetEndpoints(OAuthProvider(ComboProvider->currentIndex()));
    EditAuthorizationUrl->setText(shown.authorizationUrl);
    EditTokenUrl->setText(shown.tokenUrl);
    EditScope->setText(shown.scope);
    for (QLineEdit* field : {EditAuthorizationUrl, EditTokenUrl, EditScope}) {
        field->setCursorPosition(0); // a long address shows its beginning
        field->setReadOnly(!custom);
        field->setEnabled(oauth);
    }
    for (QWidget* field : {static_cast<QWidget*>(ComboProvider), static_cast<QWidget*>(EditClientId),
                           static_cast<QWidget*>(EditClientSecret)})
        field->setEnabled(oauth);
    LabelSmtpServer->setText(shown.smtpHost.isEmpty()
                                 ? QString()
                                 : signInPartTexts(Language).server.arg(shown.smtpHost).arg(shown.smtpPort));
    showSignInState();
}

SignInSettings SendingOptionsWindow::signInSettings() const {
    SignInSettings s;
    s.method = ComboLoginMethod->currentIndex() == 1 ? LoginMethod::OAuth : LoginMethod::Password;
    s.provider = OAuthProvider(ComboProvider->currentIndex());
    s.clientId = EditClientId->text().trimmed();
    s.clientSecret = EditClientSecret->text().trimmed();
    const bool custom = s.provider == OAuthProvider::Custom;
    s.authorizationUrl = (custom ? EditAuthorizationUrl->text() : m_custom.authorizationUrl).trimmed();
    s.tokenUrl = (custom ? EditTokenUrl->text() : m_custom.tokenUrl).trimmed();
    s.scope = (custom ? EditScope->text() : m_custom.scope).simplified();
    return s;
}

void SendingOptionsWindow::showSignInState() {
    const SignInPartTexts texts = signInPartTexts(Language);
    const bool oauth = ComboLoginMethod->currentIndex() == 1;
    const bool signingIn = Account && Account->signingIn();
    ButtonSignIn->setText(signingIn ? texts.cancelSignIn : texts.signIn);
    ButtonSignIn->setEnabled(oauth && Account != nullptr);
    std::optional<QString> address;
    if (oauth && Account && !signingIn) address = Account->signedInAddress(signInSettings());
    ButtonSignOut->setEnabled(address.has_value());
    if (!oauth)
        LabelSignInState->clear();
    else if (signingIn)
        LabelSignInState->setText(texts.waiting);
    else if (!address)
        LabelSignInState->setText(texts.notSignedIn);
    else
        LabelSignInState->setText(address->isEmpty() ? texts.signedIn : texts.signedInAs.arg(*address));
    // A secret store that failed is said once, in the window that shows the sign-in.
    const QString notice = Account ? Account->takeStoreNotice() : QString();
    if (!notice.isEmpty()) m_prompts.warning(notice);
}

void SendingOptionsWindow::ButtonSignInClick() {
    if (!Account) return;
    if (Account->signingIn()) {
        m_cancelling = true;
        Account->cancelSignIn();
        return;
    }
    Account->language = Language;
    connect(Account, &OAuthAccount::signInFinished, this, &SendingOptionsWindow::SignInFinished,
            Qt::UniqueConnection);
    Account->signIn(signInSettings(), AccountAddress ? AccountAddress() : QString());
    showSignInState();
}

void SendingOptionsWindow::SignInFinished(bool ok, const QString& text) {
    const bool cancelled = m_cancelling;
    m_cancelling = false;
    // The stored token belongs to the provider and application it was made with: they are stored with it.
    if (ok && !saveSignInSettings(signInSettings()))
        m_prompts.error(sendingOptionsTexts(Language).notStored.arg(sendingOptionsFilePath()));
    showSignInState();
    if (!ok && !cancelled) m_prompts.error(text);
}

void SendingOptionsWindow::ButtonSignOutClick() {
    if (Account) Account->signOut();
    showSignInState();
}

SendingOptions SendingOptionsWindow::options() const {
    SendingOptions chosen;
    chosen.messagesPerMinute = SpinMessagesPerMinute->value();
    chosen.messagesPerRun = SpinMessagesPerRun->value();
    chosen.skipSent = CheckSkipSent->isChecked();
    chosen.retryTemporaryFailures = CheckRetryTemporaryFailures->isChecked();
    return chosen;
}

void SendingOptionsWindow::ButtonOkClick() {
    if (!saveSendingOptions(options()) || !saveSignInSettings(signInSettings())) {
        // The window stays open, so nothing chosen is lost.
        m_prompts.error(sendingOptionsTexts(Language).notStored.arg(sendingOptionsFilePath()));
        return;
    }
    accept();
}

// A sign-in still waiting for the browser ends with the window.
void SendingOptionsWindow::done(int result) {
    if (Account && Account->signingIn()) {
        m_cancelling = true;
        Account->cancelSignIn();
    }
    QDialog::done(result);
}
