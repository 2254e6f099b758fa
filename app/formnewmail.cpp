#include "app/formnewmail.h"

#include "app/aboutbox.h"
#include "app/iconresources.h"
#include "app/radiogroup.h"
#include "core/apperror.h"
#include "core/blank.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "import/formimport.h"
#include "recipients/formgrid.h"
#include "recipients/formloeschen.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QShortcut>
#include <QTextDocument>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>

namespace {

constexpr int kClientWidth = 761;
constexpr int kClientHeight = 478;
constexpr int kToolBarHeight = 30;

const QColor kWindowColour(0xEF, 0xEF, 0xF8);
const QColor kGradientTop(0xE9, 0xEC, 0xE8);
const QColor kGradientBottom(0xC0, 0xC0, 0xC0); // silver
const QColor kNavy(0x00, 0x00, 0x80);

QFont arial(int points, bool bold = false) {
    QFont font(QStringLiteral("Arial"), points);
    font.setBold(bold);
    return font;
}

template <class W> W* place(W* widget, const char* name, int left, int top, int width = -1, int height = -1) {
    widget->setObjectName(QLatin1String(name));
    if (width < 0)
        widget->move(left, top);
    else
        widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* l = place(new QLabel(text, parent), name, left, top);
    l->adjustSize();
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, int left, int top, int width, int height = 21) {
    return place(new QLineEdit(parent), name, left, top, width, height);
}

QIcon icon(const QString& name) {
    return QIcon(QStringLiteral(":/icons/%1.png").arg(name));
}

QPixmap image(const QString& name) {
    return QPixmap(QStringLiteral(":/icons/%1.png").arg(name));
}

} // namespace

TFormNewMail::TFormNewMail(Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_prompts(prompts) {
    initIconResources();
    setObjectName(QStringLiteral("FormNewMail"));
    setWindowTitle(QStringLiteral("Tarnel x64"));
    setWindowIcon(icon(QStringLiteral("tarnel_64")));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(arial(8));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kWindowColour);
    setPalette(pal);

    OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    // Files dropped from the desktop load into the message field.
    setAcceptDrops(true);

    buildToolBar();
    buildControls();
    setTabOrder();

    // The window sees F1 before any of its controls.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { runGuarded([this] { ShowHelp(); }); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(20000);
    connect(Timer1, &QTimer::timeout, this, [this] { runGuarded([this] { Timer1Timer(); }); });
    // Also when the program changes the tick.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { runGuarded([this] { CheckBox1Click(); }); });

    // The messages and the help file are there from the start, so a first show that fails half-way still
    // leaves every question and error with its text.
    State.Texts = messageTextsFor(State.Language);
    State.HelpFile = programFilesFolderPath() + helpFileName(State.Language);
}

TFormNewMail::~TFormNewMail() = default;

void TFormNewMail::bind(QAbstractButton* button, void (TFormNewMail::*operation)()) {
    connect(button, &QAbstractButton::clicked, this,
            [this, operation] { runGuarded([=] { (this->*operation)(); }); });
}

void TFormNewMail::buildToolBar() {
    ToolBar1 = place(new QToolBar(this), "ToolBar1", 0, 0, kClientWidth, kToolBarHeight);
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setStyleSheet(QStringLiteral(
        "QToolBar { border: 0; spacing: 0; padding: 0;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E9ECE8, stop:1 #C0C0C0); }"
        " QToolBar::separator { width: 8px; }"
        " QToolButton { width: 26px; height: 26px; padding: 1px; margin: 0; }"));
    auto* indent = new QWidget(ToolBar1);
    indent->setFixedSize(60, kToolBarHeight);
    ToolBar1->addWidget(indent);

    struct Button {
        const char* name;
        const char* icon;
        const char* hint;
        void (TFormNewMail::*operation)();
    };
    const Button buttons[] = {
        {"ToolButton1", "recipients", "Empfängerliste", &TFormNewMail::BitBtnListClick},
        {"ToolButton2", "savesettings", "Einstellungen speichern", &TFormNewMail::BitBtnSaveSenderClick},
        {"ToolButton3", "startmailing", "Mailing starten", &TFormNewMail::BtnMailClick},
        {"ToolButton4", "stopmailing", "Mailing stoppen", &TFormNewMail::BitBtnStopClick},
        {"ToolButton5", nullptr, nullptr, nullptr},
        {"ToolButtonCheck", "checkonline", "Prüfe Onlineverbindung", &TFormNewMail::BitBtnCheckClick},
        {"ToolButton8", "testmail", "Testmail senden", &TFormNewMail::BitBtnTestmailClick},
        {"ToolButton10", nullptr, nullptr, nullptr},
        {"ToolButton14", "clearfields", "Felder löschen", &TFormNewMail::BitBtn4Click},
        {"ToolButton6", "copytext", "Messagetext kopieren", &TFormNewMail::BitBtn5Click},
        {"ToolButton19", "opentext", "Textdatei im Messagefeld öffnen", &TFormNewMail::BitBtn1Click},
        {"ToolButton11", "defaulttext", "Standard Mailtext öffnen", &TFormNewMail::BitBtnDefaultClick},
        {"ToolButton12", "savetext", "Text speichern", &TFormNewMail::BitBtn2Click},
        {"ToolButton9", nullptr, nullptr, nullptr},
        {"ToolButton7", "language", "", &TFormNewMail::ToolButton7Click},
        {"ToolButton15", "about", "Über Tarnel", &TFormNewMail::BitBtnAboutClick},
        {"ToolButton16", "help", "Hilfe", &TFormNewMail::BitBtnHelpClick},
        {"ToolButton13", "update", "Online Update", &TFormNewMail::ToolButton13Click},
        {"ToolButton17", nullptr, nullptr, nullptr},
        {"ToolButton18", "quit", "Beenden", &TFormNewMail::ToolButton18Click},
    };
    for (const Button& b : buttons) {
        if (!b.icon) {
            ToolBar1->addSeparator()->setObjectName(QLatin1String(b.name));
            continue;
        }
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QLatin1String(b.name));
        button->setIcon(icon(QLatin1String(b.icon)));
        button->setToolTip(QString::fromUtf8(b.hint));
        button->setAutoRaise(true);
        button->setFixedSize(30, kToolBarHeight);
        ToolBar1->addWidget(button);
        bind(button, b.operation);
        if (qstrcmp(b.name, "ToolButton7") == 0) ToolButton7 = button;
    }

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    German1 = PopupMenu1->addAction(icon(QStringLiteral("flag_de")), QStringLiteral("German"));
    German1->setObjectName(QStringLiteral("German1"));
    English1 = PopupMenu1->addAction(icon(QStringLiteral("flag_en")), QStringLiteral("English"));
    English1->setObjectName(QStringLiteral("English1"));
    connect(German1, &QAction::triggered, this, [this] { runGuarded([this] { German1Click(); }); });
    connect(English1, &QAction::triggered, this, [this] { runGuarded([this] { English1Click(); }); });
    // The arrow opens the menu at the button; the button itself runs ToolButton7Click.
    ToolButton7->setMenu(PopupMenu1);
    ToolButton7->setPopupMode(QToolButton::MenuButtonPopup);
    ToolButton7->setFixedSize(42, kToolBarHeight);
}

void TFormNewMail::buildControls() {
    // Left column: account, connection, schedule, progress.
    label(this, "Label1", QStringLiteral("SMTP Host"), 60, 58);
    EditHost = edit(this, "EditHost", 60, 72, 181);
    label(this, "Label4", QStringLiteral("Port"), 247, 58);
    EditPort = edit(this, "EditPort", 247, 72, 46);
    EditPort->setText(QStringLiteral("25"));
    label(this, "Label2", QStringLiteral("Mailadresse"), 60, 102);
    EditUser = edit(this, "EditUser", 60, 117, 235);
    label(this, "Label3", QStringLiteral("Passwort"), 60, 146);
    MaskEdit = edit(this, "MaskEdit", 60, 161, 235);
    MaskEdit->setEchoMode(QLineEdit::Password);
    MaskEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    label(this, "Label13", QStringLiteral("Online:"), 60, 203);
    ImageDisconnect = place(new QLabel(this), "ImageDisconnect", 100, 198, 24, 24);
    ImageDisconnect->setPixmap(image(QStringLiteral("disconnect")));
    ImageConnect = place(new QLabel(this), "ImageConnect", 99, 198, 24, 24);
    ImageConnect->setPixmap(image(QStringLiteral("connect")));
    ImageConnect->hide(); // exactly one of the two shows, also when the first show fails
    LabelStatus = label(this, "LabelStatus", QStringLiteral("Offline"), 130, 203);
    LabelStatus->setFont(arial(9, true));
    LabelStatus->setStyleSheet(QStringLiteral("color: #000080;"));
    LabelStatus->adjustSize();
    LabelStatus->hide();

    auto* rule = place(new QFrame(this), "Panel1", 60, 233, 234, 2);
    rule->setAutoFillBackground(true);
    QPalette rulePalette = rule->palette();
    rulePalette.setColor(QPalette::Window, QColor(0xF4, 0xF1, 0xD9));
    rule->setPalette(rulePalette);

    CheckBox1 = place(new QCheckBox(QStringLiteral("Nächstes Mailing automatisch senden am:"), this),
                      "CheckBox1", 60, 248, 229, 17);
    // A check box paints its background from the Button role in some styles, from Window in others.
    CheckBox1->setAutoFillBackground(true);
    QPalette boxPalette = CheckBox1->palette();
    boxPalette.setColor(QPalette::Window, QColor(0xA5, 0xAB, 0xB6));
    boxPalette.setColor(QPalette::Button, QColor(0xA5, 0xAB, 0xB6));
    CheckBox1->setPalette(boxPalette);

    label(this, "Label9", QStringLiteral("Datum"), 89, 272);
    DateTimePicker1 = place(new QDateEdit(QDate::currentDate(), this), "DateTimePicker1", 65, 285, 100, 23);
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setMinimumDate(QDate(2012, 9, 13));
    DateTimePicker1->setDisplayFormat(regionalDateFormat());
    label(this, "Label10", QStringLiteral("Uhrzeit"), 225, 272);
    DateTimePicker2 = place(new QTimeEdit(QTime::currentTime(), this), "DateTimePicker2", 193, 285, 100, 23);
    DateTimePicker2->setDisplayFormat(regionalTimeFormat());

    ProgressBar1 = place(new QProgressBar(this), "ProgressBar1", 60, 326, 235, 21);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);

    label(this, "Label14", QStringLiteral("Info"), 164, 357);
    PanelMessage = place(new QLabel(this), "PanelMessage", 60, 375, 233, 25);
    PanelMessage->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelMessage->setAlignment(Qt::AlignCenter);
    PanelMessage->setFont(arial(9, true));
    PanelMessage->setAutoFillBackground(true);
    PanelMessage->setStyleSheet(QStringLiteral("QLabel { background: white; color: #000080; }"));

    // Right column: the message.
    label(this, "Label5", QStringLiteral("Senden an ..."), 330, 57);
    EditMail = edit(this, "EditMail", 330, 71, 300);
    label(this, "Label11", QStringLiteral("MailNr.:"), 641, 56);
    Edit1 = edit(this, "Edit1", 640, 69, 73);
    label(this, "Label7", QStringLiteral("Thema"), 330, 102);
    EditSubject = edit(this, "EditSubject", 330, 117, 385);
    label(this, "Label12", QStringLiteral("Anhang"), 330, 146);
    EditPatch = edit(this, "EditPatch", 330, 161, 385);
    label(this, "Label8", QStringLiteral("Mitteilung"), 331, 192);
    Memo2 = place(new QPlainTextEdit(this), "Memo2", 330, 208, 385, 193);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setTabChangesFocus(true); // Tab moves on through the form, as in every other field

    SelHtml = place(new RadioGroup(QStringLiteral("Message Format"),
                                   {QStringLiteral("Text"), QStringLiteral("Html")}, 2, this),
                    "SelHtml", 456, 416, 161, 41);
    SelHtml->setItemIndex(0);

    // Every control shows its hint.
    for (QWidget* w : findChildren<QWidget*>())
        w->setAttribute(Qt::WA_AlwaysShowToolTips);
}

void TFormNewMail::setTabOrder() {
    QWidget* chain[] = {ToolBar1,        EditHost,        EditPort,  EditUser,         MaskEdit,
                        EditPatch,       EditMail,        Edit1,     EditSubject,      Memo2,
                        DateTimePicker1, DateTimePicker2, CheckBox1, SelHtml->item(0), SelHtml->item(1)};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TFormNewMail::paintEvent(QPaintEvent*) {
    // Under the toolbar a vertical gradient fills the client area.
    QPainter painter(this);
    QLinearGradient gradient(0, kToolBarHeight, 0, height());
    gradient.setColorAt(0, kGradientTop);
    gradient.setColorAt(1, kGradientBottom);
    painter.fillRect(QRect(0, kToolBarHeight, width(), height() - kToolBarHeight), gradient);
}

bool TFormNewMail::runGuarded(const std::function<void()>& operation) {
    return runReportingErrors(m_prompts, operation);
}

// ---- Start-up and close -------------------------------------------------------------------------------

void TFormNewMail::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown) return;
    m_shown = true;
    runGuarded([this] { FormShow(); });
}

void TFormNewMail::FormShow() {
    State.UpdateAction.clear();
    State.UpdatePath.clear();
    State.OnlineState = false;
    State.ScheduleArmed = false;
    Timer1->stop();
    State.ScheduledTime = 0;
    State.ScheduledDate = 0;
    State.SmtpHost.clear();
    State.SmtpUser.clear();
    State.SmtpPassword.clear();
    State.SmtpPort.clear();
    State.ListFile.clear();

    ProgressBar1->setValue(0);

    State.DataFolder = dataFolderPath();
    State.DefaultMessageFile = State.DataFolder + defaultMessageFileName();
    State.MessageFile.clear();

    LoadSettings();
    RestoreSchedule();

    EditHost->setText(State.SmtpHost);
    EditUser->setText(State.SmtpUser);
    MaskEdit->setText(State.SmtpPassword);
    EditPort->setText(State.SmtpPort);
    m_settingsShown = true;

    ImageDisconnect->show();
    ImageConnect->hide();
    ProgressBar1->setValue(0);

    ApplyLanguage();
}

void TFormNewMail::closeEvent(QCloseEvent* event) {
    // Closing stops a running mailing as the stop button does; the window closes once its list is written.
    if (m_running) {
        State.StopRequested = true;
        m_closePending = true;
        return event->ignore();
    }
    if (closeWaitsForDelivery()) return event->ignore();
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
    const int language = State.Language;
    State.HelpFile = programFilesFolderPath() + helpFileName(language);
    for (const ControlText& t : mainWindowControlTexts()) {
        QWidget* control = findChild<QWidget*>(QLatin1String(t.control));
        if (!control) continue;
        if (t.kind == ControlText::Hint)
            control->setToolTip(t.text(language));
        else
            control->setProperty("text", t.text(language));
        if (auto* l = qobject_cast<QLabel*>(control)) l->adjustSize();
    }
    State.Texts = messageTextsFor(language);
    applyQtTranslation();
}

void TFormNewMail::applyQtTranslation() {
    // Qt's own texts (message-box buttons, dialogs) follow the interface language where installed.
    if (m_qtTranslator) {
        QCoreApplication::removeTranslator(m_qtTranslator);
        delete m_qtTranslator;
        m_qtTranslator = nullptr;
    }
    if (!isGerman(State.Language)) return;
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        m_qtTranslator = translator;
    } else {
        delete translator;
    }
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
    if (m_running) return;
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

QStringList TFormNewMail::messageLines() const {
    if (m_pendingMessage) return *m_pendingMessage;
    // The plain-text view turns no-break spaces into blanks and line separators into breaks; the raw text
    // keeps them, with a paragraph separator between lines.
    QString text = Memo2->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return splitEditorText(text);
}

void TFormNewMail::setMessageLines(const QStringList& lines) {
    Memo2->setPlainText(joinEditorLines(lines));
}

void TFormNewMail::loadMessageFile(const QString& path) {
    const TextFileContent content = readTextFile(path);
    setMessageLines(content.lines);
    MessageFormat = content;
}

void TFormNewMail::writeMessageFile(const QString& path) {
    MessageFormat = writeTextFile(path, messageLines(), MessageFormat);
}

void TFormNewMail::BitBtn1Click() {
    const QString path = m_prompts.openFile({State.DataFolder, QString(), QStringLiteral("Alle (*)")});
    if (path.isEmpty()) return;
    State.MessageFile = path;
    Memo2->clear();
    loadMessageFile(path);
}

void TFormNewMail::BitBtn2Click() {
    if (Memo2->toPlainText().isEmpty()) return;
    if (!State.MessageFile.isEmpty()) {
        const QFileInfo info(State.MessageFile);
        SaveDialog1.folder = info.path();
        SaveDialog1.fileName = info.fileName();
    }
    const QString path = m_prompts.saveFile(SaveDialog1);
    if (path.isEmpty()) return;
    const QFileInfo chosen(path);
    SaveDialog1.folder = chosen.path();
    SaveDialog1.fileName = chosen.fileName();
    State.MessageFile = path;
    writeMessageFile(path);
}

void TFormNewMail::BitBtnDefaultClick() {
    LoadDefaultMessage();
}

void TFormNewMail::LoadDefaultMessage() {
    if (QFileInfo::exists(State.DefaultMessageFile)) {
        Memo2->clear();
        loadMessageFile(State.DefaultMessageFile);
        State.MessageFile = State.DefaultMessageFile;
        return;
    }
    if (!m_prompts.question(State.Texts.MsgDefaultMissingAsk)) return;
    Memo2->clear();
    MessageFormat = TextFormat();
    setMessageLines(defaultMessageTemplate(State.Language));
    writeMessageFile(State.DefaultMessageFile);
    State.MessageFile = State.DefaultMessageFile;
}

void TFormNewMail::BitBtn4Click() {
    Memo2->clear();
    EditMail->clear();
    EditSubject->clear();
    EditPatch->clear();
    Edit1->clear();
    State.MessageFile.clear();
    ProgressBar1->setValue(0);
    ProgressBar1->repaint();
    PanelMessage->clear();
}

void TFormNewMail::BitBtn5Click() {
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
    const QString path = urls.first().toLocalFile();
    State.MessageFile = path;
    loadMessageFile(path);
}
