#include "app/formnewmailcontrols.h"

#include "app/iconresources.h"
#include "app/messagefield.h"
#include "app/radiogroup.h"
#include "app/statuspanel.h"
#include "core/blank.h"
#include "core/datetimenumber.h"
#include "core/interfacetexts.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr int kClientWidth = 761;
constexpr int kClientHeight = 478;
constexpr int kToolBarHeight = 30;

const QColor kWindowColour(0xEF, 0xEF, 0xF8);
const QColor kGradientTop(0xE9, 0xEC, 0xE8);
const QColor kGradientBottom(0xC0, 0xC0, 0xC0); // silver

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

// A toolbar hint with the command's key, in the words of the installed Qt translation ("Strg+S").
QString withShortcut(const QString& hint, const QWidget* control) {
    QKeySequence key;
    if (const auto* button = qobject_cast<const QToolButton*>(control)) key = button->shortcut();
    if (control->objectName() == QLatin1String("ToolButton16")) key = QKeySequence(Qt::Key_F1);
    if (key.isEmpty() || hint.isEmpty()) return hint;
    return hint + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

} // namespace

FormNewMailControls::FormNewMailControls(QWidget* form) {
    initIconResources();
    form->setObjectName(QStringLiteral("FormNewMail"));
    form->setWindowTitle(QStringLiteral("Tarnel x64"));
    form->setWindowIcon(icon(QStringLiteral("tarnel_64")));
    form->setFixedSize(kClientWidth, kClientHeight);
    form->setFont(arial(8));
    QPalette pal = form->palette();
    pal.setColor(QPalette::Window, kWindowColour);
    form->setPalette(pal);
    setupToolBar(form);
    setupFields(form);
    setupTabOrder();
}

void FormNewMailControls::paintBackground(QWidget* form) {
    // Under the toolbar a vertical gradient fills the client area.
    QPainter painter(form);
    QLinearGradient gradient(0, kToolBarHeight, 0, form->height());
    gradient.setColorAt(0, kGradientTop);
    gradient.setColorAt(1, kGradientBottom);
    painter.fillRect(QRect(0, kToolBarHeight, form->width(), form->height() - kToolBarHeight), gradient);
}

AccountFields FormNewMailControls::typedAccount() const {
    return {EditHost->text(), EditPort->text(), EditUser->text(), MaskEdit->text()};
}

void FormNewMailControls::showAccount(const AccountFields& account) {
    EditHost->setText(account.host);
    EditUser->setText(account.user);
    MaskEdit->setText(account.password);
    EditPort->setText(account.port);
}

MailRequest FormNewMailControls::messageInFields() const {
    MailRequest request;
    request.recipients = trimBlank(EditMail->text());
    request.subject = trimBlank(EditSubject->text());
    request.lines = MessageField::linesOf(Memo2);
    request.attachmentPath = EditPatch->text();
    request.html = SelHtml->itemIndex() > 0;
    return request;
}

void FormNewMailControls::clearMessageFields() {
    for (QLineEdit* field : {EditMail, EditSubject, EditPatch, Edit1})
        field->clear();
    Memo2->clear();
    ProgressBar1->setValue(0);
    ProgressBar1->repaint();
    PanelMessage->clear();
}

void FormNewMailControls::showOnline(bool online, const QString& status) {
    ImageConnect->setVisible(online);
    ImageDisconnect->setVisible(!online);
    if (status.isEmpty()) return;
    LabelStatus->setText(status);
    LabelStatus->adjustSize();
    LabelStatus->show();
}

QPoint FormNewMailControls::languageMenuPosition() const {
    const QRect frame = ToolBar1->window()->frameGeometry();
    return {frame.left() + ToolButton7->x(), frame.top() + ToolBar1->height() + 30};
}

void FormNewMailControls::applyControlTexts(QWidget* form, int language) {
    for (const ControlText& t : mainWindowControlTexts()) {
        QWidget* control = form->findChild<QWidget*>(QLatin1String(t.control));
        if (!control) continue;
        if (t.kind == ControlText::Hint)
            control->setToolTip(withShortcut(t.text(language), control));
        else
            control->setProperty("text", t.text(language));
        if (auto* l = qobject_cast<QLabel*>(control)) l->adjustSize();
    }
}

void FormNewMailControls::setupToolBar(QWidget* form) {
    ToolBar1 = place(new QToolBar(form), "ToolBar1", 0, 0, kClientWidth, kToolBarHeight);
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

    // The hints come from the texts table; the keys are the commands' shortcuts (F1 for help is the
    // window's own, which also works while the toolbar is out of reach).
    struct Button {
        const char* name;
        const char* icon;
        const char* key;
    };
    const Button buttons[] = {
        {"ToolButton1", "recipients", "Ctrl+L"},
        {"ToolButton2", "savesettings", "Ctrl+S"},
        {"ToolButton3", "startmailing", "F5"},
        {"ToolButton4", "stopmailing", "Shift+F5"},
        {"ToolButton5", nullptr, nullptr},
        {"ToolButtonCheck", "checkonline", "F6"},
        {"ToolButton8", "testmail", "Ctrl+T"},
        {"ToolButton10", nullptr, nullptr},
        {"ToolButton14", "clearfields", "Ctrl+N"},
        {"ToolButton6", "copytext", "Ctrl+Shift+C"},
        {"ToolButton19", "opentext", "Ctrl+O"},
        {"ToolButton11", "defaulttext", "Ctrl+Shift+O"},
        {"ToolButton12", "savetext", "Ctrl+Shift+S"},
        {"ToolButton9", nullptr, nullptr},
        {"ToolButton7", "language", "Ctrl+Shift+L"},
        {"ToolButton15", "about", "Ctrl+F1"},
        {"ToolButton16", "help", nullptr},
        {"ToolButton13", "update", "Ctrl+Shift+U"},
        {"ToolButton17", nullptr, nullptr},
        {"ToolButton18", "quit", "Ctrl+Q"},
        {"ToolButton21", nullptr, nullptr},
        {"ToolButton20", "sendingoptions", "Ctrl+,"},
    };
    for (const Button& b : buttons) {
        if (!b.icon) {
            ToolBar1->addSeparator()->setObjectName(QLatin1String(b.name));
            continue;
        }
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QLatin1String(b.name));
        button->setIcon(icon(QLatin1String(b.icon)));
        if (b.key) button->setShortcut(QKeySequence(QLatin1String(b.key)));
        button->setAutoRaise(true);
        button->setFixedSize(30, kToolBarHeight);
        ToolBar1->addWidget(button);
        if (qstrcmp(b.name, "ToolButton7") == 0) ToolButton7 = button;
    }

    PopupMenu1 = new QMenu(form);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    German1 = PopupMenu1->addAction(icon(QStringLiteral("flag_de")), QStringLiteral("German"));
    German1->setObjectName(QStringLiteral("German1"));
    English1 = PopupMenu1->addAction(icon(QStringLiteral("flag_en")), QStringLiteral("English"));
    English1->setObjectName(QStringLiteral("English1"));
    // The arrow opens the menu at the button; the button itself runs ToolButton7Click.
    ToolButton7->setMenu(PopupMenu1);
    ToolButton7->setPopupMode(QToolButton::MenuButtonPopup);
    ToolButton7->setFixedSize(42, kToolBarHeight);
}

void FormNewMailControls::setupFields(QWidget* form) {
    // Left column: account, connection, schedule, progress.
    label(form, "Label1", QStringLiteral("SMTP Host"), 60, 58);
    EditHost = edit(form, "EditHost", 60, 72, 181);
    label(form, "Label4", QStringLiteral("Port"), 247, 58);
    EditPort = edit(form, "EditPort", 247, 72, 46);
    EditPort->setText(QStringLiteral("25"));
    label(form, "Label2", QStringLiteral("Mailadresse"), 60, 102);
    EditUser = edit(form, "EditUser", 60, 117, 235);
    label(form, "Label3", QStringLiteral("Passwort"), 60, 146);
    MaskEdit = edit(form, "MaskEdit", 60, 161, 235);
    MaskEdit->setEchoMode(QLineEdit::Password);
    MaskEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    label(form, "Label13", QStringLiteral("Online:"), 60, 203);
    ImageDisconnect = place(new QLabel(form), "ImageDisconnect", 100, 198, 24, 24);
    ImageDisconnect->setPixmap(image(QStringLiteral("disconnect")));
    ImageConnect = place(new QLabel(form), "ImageConnect", 99, 198, 24, 24);
    ImageConnect->setPixmap(image(QStringLiteral("connect")));
    ImageConnect->hide(); // exactly one of the two shows, also when the first show fails
    LabelStatus = label(form, "LabelStatus", QStringLiteral("Offline"), 130, 203);
    LabelStatus->setFont(arial(9, true));
    LabelStatus->setStyleSheet(QStringLiteral("color: #000080;"));
    LabelStatus->adjustSize();
    LabelStatus->hide();

    auto* rule = place(new QFrame(form), "Panel1", 60, 233, 234, 2);
    rule->setAutoFillBackground(true);
    QPalette rulePalette = rule->palette();
    rulePalette.setColor(QPalette::Window, QColor(0xF4, 0xF1, 0xD9));
    rule->setPalette(rulePalette);

    CheckBox1 = place(new QCheckBox(QStringLiteral("Nächstes Mailing automatisch senden am:"), form),
                      "CheckBox1", 60, 248, 229, 17);
    // A check box paints its background from the Button role in some styles, from Window in others.
    CheckBox1->setAutoFillBackground(true);
    QPalette boxPalette = CheckBox1->palette();
    boxPalette.setColor(QPalette::Window, QColor(0xA5, 0xAB, 0xB6));
    boxPalette.setColor(QPalette::Button, QColor(0xA5, 0xAB, 0xB6));
    CheckBox1->setPalette(boxPalette);

    label(form, "Label9", QStringLiteral("Datum"), 89, 272);
    DateTimePicker1 = place(new QDateEdit(QDate::currentDate(), form), "DateTimePicker1", 65, 285, 100, 23);
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setMinimumDate(QDate(2012, 9, 13));
    DateTimePicker1->setDisplayFormat(regionalDateFormat());
    label(form, "Label10", QStringLiteral("Uhrzeit"), 225, 272);
    DateTimePicker2 = place(new QTimeEdit(QTime::currentTime(), form), "DateTimePicker2", 193, 285, 100, 23);
    DateTimePicker2->setDisplayFormat(regionalTimeFormat());

    ProgressBar1 = place(new QProgressBar(form), "ProgressBar1", 60, 326, 235, 21);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);

    label(form, "Label14", QStringLiteral("Info"), 164, 357);
    PanelMessage = place(new StatusPanel(form), "PanelMessage", 60, 375, 233, 25);
    PanelMessage->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelMessage->setAlignment(Qt::AlignCenter);
    PanelMessage->setFont(arial(9, true));
    PanelMessage->setAutoFillBackground(true);
    PanelMessage->setStyleSheet(QStringLiteral("QLabel { background: white; color: #000080; }"));

    // Right column: the message.
    label(form, "Label5", QStringLiteral("Senden an ..."), 330, 57);
    EditMail = edit(form, "EditMail", 330, 71, 300);
    label(form, "Label11", QStringLiteral("MailNr.:"), 641, 56);
    Edit1 = edit(form, "Edit1", 640, 69, 73);
    label(form, "Label7", QStringLiteral("Thema"), 330, 102);
    EditSubject = edit(form, "EditSubject", 330, 117, 385);
    label(form, "Label12", QStringLiteral("Anhang"), 330, 146);
    EditPatch = edit(form, "EditPatch", 330, 161, 385);
    label(form, "Label8", QStringLiteral("Mitteilung"), 331, 192);
    Memo2 = place(new QPlainTextEdit(form), "Memo2", 330, 208, 385, 193);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setTabChangesFocus(true); // Tab moves on through the form, as in every other field

    SelHtml = place(new RadioGroup(QStringLiteral("Message Format"),
                                   {QStringLiteral("Text"), QStringLiteral("Html")}, 2, form),
                    "SelHtml", 456, 416, 161, 41);
    SelHtml->setItemIndex(0);

    // Every control shows its hint.
    for (QWidget* w : form->findChildren<QWidget*>())
        w->setAttribute(Qt::WA_AlwaysShowToolTips);
}

void FormNewMailControls::setupTabOrder() {
    QWidget* chain[] = {ToolBar1,        EditHost,        EditPort,  EditUser,         MaskEdit,
                        EditPatch,       EditMail,        Edit1,     EditSubject,      Memo2,
                        DateTimePicker1, DateTimePicker2, CheckBox1, SelHtml->item(0), SelHtml->item(1)};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}
