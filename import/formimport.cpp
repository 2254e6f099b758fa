#include "import/formimport.h"

#include "core/help.h"

#include "core/apperror.h"
#include "core/interfacetexts.h"
#include "core/paths.h"
#include "import/csvimport.h"
#include "import/importtexts.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

// Q_INIT_RESOURCE must stand outside any namespace.
static void registerImportIcons() {
    Q_INIT_RESOURCE(importicons);
}

namespace {

constexpr int kClientWidth = 734;
constexpr int kClientHeight = 532;
constexpr int kToolBarHeight = 30;
constexpr int kStatusBarHeight = 19;
constexpr int kHelpTopic = 120;
// The resize rule is stated for the outer size of a window whose frame adds 16 pixels to the width and
// 38 to the height. It is applied to the client size plus that frame, so the window lays out the same
// under every window manager, and as designed at its design size.
constexpr int kDesignFrameWidth = 16;
constexpr int kDesignFrameHeight = 38;

const QString kLoadFilter = QStringLiteral("csv (*.csv);;Alle (*)");
const QString kSaveFilter = QStringLiteral("All (*)");

QFont courierNew(int points) {
    QFont font(QStringLiteral("Courier New"), points);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

void uncheck(QRadioButton* button) {
    // An exclusive radio button cannot be unchecked by hand.
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

} // namespace

TFormImport::TFormImport(Prompts& prompts, QWidget* parent) : QDialog(parent), m_prompts(prompts) {
    registerImportIcons();
    setObjectName(QStringLiteral("FormImport"));
    setWindowTitle(QStringLiteral("Import"));
    setModal(true);
    setSizeGripEnabled(false);
    setMinimumSize(450, 300);
    resize(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));

    OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    buildToolBar();
    buildControls();

    // Key preview: the window sees F1 before the editor does.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { runGuarded([this] { ToolButton16Click(); }); });

    ApplyLanguage();
    FormResize();
}

void TFormImport::bind(QToolButton* button, void (TFormImport::*operation)()) {
    connect(button, &QToolButton::clicked, this,
            [this, operation] { runGuarded([=] { (this->*operation)(); }); });
}

void TFormImport::runGuarded(const std::function<void()>& operation) {
    runReportingErrors(m_prompts, operation);
}

void TFormImport::buildToolBar() {
    m_toolBar1 = new QToolBar(this);
    m_toolBar1->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar1->setIconSize(QSize(24, 24));
    m_toolBar1->setMovable(false);
    m_toolBar1->setFloatable(false);
    m_toolBar1->setStyleSheet(QStringLiteral(
        "QToolBar { border: 0; spacing: 0; padding: 0;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E9ECE8, stop:1 #C0C0C0); }"
        " QToolBar::separator { width: 8px; }"
        " QToolButton { width: 26px; height: 26px; padding: 1px; margin: 0; }"));
    auto* indent = new QWidget(m_toolBar1);
    indent->setFixedSize(150, kToolBarHeight);
    m_toolBar1->addWidget(indent);

    struct Button {
        const char* name;
        const char* icon;
        void (TFormImport::*operation)();
    };
    const Button buttons[] = {
        {"ToolButton14", ":/import/newtext.png", &TFormImport::ToolButton14Click},
        {"ToolButton19", ":/import/opentext.png", &TFormImport::ToolButton19Click},
        {"ToolButton12", ":/import/savetext.png", &TFormImport::ToolButton12Click},
        {"ToolButton6", ":/import/copytext.png", &TFormImport::ToolButton6Click},
        {"ToolButton11", ":/import/importdata.png", &TFormImport::ToolButton11Click},
        {"ToolButton9", nullptr, nullptr},
        {"ToolButton16", ":/import/help.png", &TFormImport::ToolButton16Click},
        {"ToolButton1", nullptr, nullptr},
        {"ToolButton18", ":/import/quit.png", &TFormImport::ToolButton18Click},
    };
    for (const Button& b : buttons) {
        if (!b.icon) {
            m_toolBar1->addSeparator()->setObjectName(QLatin1String(b.name));
            continue;
        }
        auto* button = new QToolButton(m_toolBar1);
        button->setObjectName(QLatin1String(b.name));
        button->setIcon(QIcon(QLatin1String(b.icon)));
        button->setAutoRaise(true);
        button->setFixedSize(30, kToolBarHeight);
        m_toolBar1->addWidget(button);
        bind(button, b.operation);
    }
}

void TFormImport::buildControls() {
    m_synMemo1 = new QsciScintilla(this);
    m_synMemo1->setObjectName(QStringLiteral("SynMemo1"));
    m_synMemo1->setUtf8(true);
    m_synMemo1->setFont(courierNew(10));
    m_synMemo1->setWrapMode(QsciScintilla::WrapNone);
    m_synMemo1->setEolMode(QsciScintilla::EolUnix);
    m_synMemo1->setMarginsFont(courierNew(8));
    m_synMemo1->setMarginType(0, QsciScintilla::NumberMargin);
    m_synMemo1->setMarginLineNumbers(0, true);
    m_synMemo1->setMarginWidth(1, 0);
    // The horizontal scroll bar follows the longest line rather than a fixed width.
    m_synMemo1->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTH, 1);
    m_synMemo1->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTHTRACKING, true);
    connect(m_synMemo1, &QsciScintilla::linesChanged, this, &TFormImport::fitLineNumbers);
    fitLineNumbers();

    m_jvGradient1 = new QFrame(this);
    m_jvGradient1->setObjectName(QStringLiteral("JvGradient1"));
    m_jvGradient1->setStyleSheet(QStringLiteral(
        "QFrame { border: 0;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E9ECE8, stop:1 #C0C0C0); }"));

    m_groupBox1 = new QGroupBox(this);
    m_groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    m_groupBox1->setFont(QFont(QStringLiteral("Arial"), 8));
    m_groupBox1->resize(196, 41);
    // The caption sits on the frame line, leaving the box's height to the radio buttons.
    m_groupBox1->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid #A0A0A0; border-radius: 2px; margin-top: 6px; }"
                       " QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"));
    m_radioButton1 = new QRadioButton(m_groupBox1);
    m_radioButton1->setObjectName(QStringLiteral("RadioButton1"));
    m_radioButton1->setGeometry(7, 16, 86, 17);
    m_radioButton2 = new QRadioButton(m_groupBox1);
    m_radioButton2->setObjectName(QStringLiteral("RadioButton2"));
    m_radioButton2->setGeometry(103, 16, 74, 17);
    // clicked, not toggled: a click on the button already checked sets the separator too, so a check
    // left over from an earlier file can be confirmed with one click.
    connect(m_radioButton1, &QRadioButton::clicked, this, &TFormImport::RadioButton1Click);
    connect(m_radioButton2, &QRadioButton::clicked, this, &TFormImport::RadioButton2Click);

    m_statusBar1 = new QStatusBar(this);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setSizeGripEnabled(true);
    m_statusPanel1 = new QLabel(m_statusBar1);
    m_statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    m_statusPanel1->setFixedWidth(40);
    m_statusPanel2 = new QLabel(m_statusBar1);
    m_statusPanel2->setObjectName(QStringLiteral("StatusPanel2"));
    m_statusPanel2->setFixedWidth(400);
    m_statusBar1->addWidget(m_statusPanel1);
    m_statusBar1->addWidget(m_statusPanel2);
}

void TFormImport::fitLineNumbers() {
    // At least the design width; wide enough for the longest number.
    const QString widest(QString::number(std::max(m_synMemo1->lines(), 1)).size(), u'9');
    const int width = QFontMetrics(courierNew(8)).horizontalAdvance(widest) + 8;
    m_synMemo1->setMarginWidth(0, std::max(20, width));
}

void TFormImport::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void TFormImport::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TFormImport::FormShow() {
    ImportFile.clear();
    m_synMemo1->clear();
    uncheck(m_radioButton1);
    uncheck(m_radioButton2);
    ApplyLanguage();
    m_synMemo1->setFocus();
}

void TFormImport::ApplyLanguage() {
    const ImportTexts texts = importTextsFor(Language);
    m_groupBox1->setTitle(texts.groupCaption);
    m_radioButton1->setText(texts.semicolon);
    m_radioButton2->setText(texts.comma);
    // The design sizes, widened where this platform's font needs more room for the captions.
    m_radioButton1->resize(std::max(86, m_radioButton1->sizeHint().width()), 17);
    m_radioButton2->setGeometry(std::max(103, m_radioButton1->geometry().right() + 11), 16,
                                std::max(74, m_radioButton2->sizeHint().width()), 17);
    m_groupBox1->resize(std::max(196, m_radioButton2->geometry().right() + 8), 41);
    const char* const hinted[] = {"ToolButton14", "ToolButton19", "ToolButton12", "ToolButton6",
                                  "ToolButton11", "ToolButton16", "ToolButton18"};
    for (std::size_t i = 0; i < texts.hints.size(); ++i)
        m_toolBar1->findChild<QToolButton*>(QLatin1String(hinted[i]))->setToolTip(texts.hints[i]);
    m_msgNoSeparator = texts.msgNoSeparator;
    m_askReplace = texts.askReplace;
}

void TFormImport::FormResize() {
    const int w = width();
    const int h = height();
    const ImportWindowLayout layout = importWindowLayout(w + kDesignFrameWidth, h + kDesignFrameHeight);
    const int memoHeight = std::max(layout.memoHeight, 0);
    const int statusTop = h - kStatusBarHeight;
    m_toolBar1->setGeometry(0, 0, w, kToolBarHeight);
    m_synMemo1->setGeometry(0, kToolBarHeight, w, memoHeight);
    const int gradientTop = kToolBarHeight + memoHeight;
    m_jvGradient1->setGeometry(0, gradientTop, w, std::max(statusTop - gradientTop, 0));
    m_groupBox1->move(layout.groupLeft, layout.groupTop);
    m_statusBar1->setGeometry(0, statusTop, w, kStatusBarHeight);
}

void TFormImport::setEditorLines(const QStringList& lines) {
    // Each line ends with a break, so the editor's lines are exactly the file's, a last blank one included.
    QString text = lines.join(u'\n');
    if (!lines.isEmpty()) text += u'\n';
    m_synMemo1->setText(text);
    m_synMemo1->setCursorPosition(0, 0);
}

QStringList TFormImport::editorLines() const {
    return splitLines(m_synMemo1->text());
}

void TFormImport::checkSeparatorButton() {
    if (Sep == QLatin1String(";"))
        m_radioButton1->setChecked(true);
    else if (Sep == QLatin1String(","))
        m_radioButton2->setChecked(true);
}

void TFormImport::ToolButton14Click() {
    m_synMemo1->clear();
    m_statusPanel2->clear();
    ImportFile.clear();
}

void TFormImport::ToolButton19Click() {
    FileDialogRequest request{QString(), QString(), kLoadFilter};
    const QFileInfo last(ImportFile);
    if (!ImportFile.isEmpty() && last.isFile()) request.folder = last.absolutePath();
    const QString path = m_prompts.openFile(request);
    if (path.isEmpty()) return;
    ImportFile = path;
    const TextFileContent content = readTextFile(path);
    m_format = content;
    setEditorLines(content.lines);
    Sep = DetectSeparator(content.lines);
    checkSeparatorButton();
    m_statusPanel2->setText(ImportFile);
}

void TFormImport::ToolButton12Click() {
    FileDialogRequest request{QString(), QString(), kSaveFilter};
    const QFileInfo last(ImportFile);
    if (!ImportFile.isEmpty() && last.isFile()) {
        request.folder = last.absolutePath();
        request.fileName = last.fileName();
    }
    const QString path = m_prompts.saveFile(request);
    if (path.isEmpty()) return;
    if (QFileInfo::exists(path) && !m_prompts.question(m_askReplace.arg(QDir::toNativeSeparators(path))))
        return;
    ImportFile = path;
    // A character the encoding lacks switches the file to UTF-8; later saves keep what was written.
    m_format = writeTextFile(path, editorLines(), m_format);
    m_statusPanel2->setText(ImportFile);
}

void TFormImport::ToolButton6Click() {
    QGuiApplication::clipboard()->setText(m_synMemo1->selectedText());
}

void TFormImport::ToolButton11Click() {
    if (!TargetModel) return;
    if (ImportLines(editorLines(), Sep, *TargetModel) == ImportOutcome::NoSeparator)
        m_prompts.information(m_msgNoSeparator);
}

void TFormImport::ToolButton16Click() {
    // A missing help file, or no program to show it, is said rather than passed over in silence.
    const QString file = helpFilePath(programFilesFolderPath(), Language);
    const QUrl url = helpUrl(file, helpTopicAnchor(kHelpTopic));
    if (url.isEmpty() || !OpenUrl(url)) m_prompts.error(messageTextsFor(Language).MsgHelpNotOpened.arg(file));
}

void TFormImport::ToolButton18Click() {
    reject();
}

void TFormImport::RadioButton1Click() {
    if (m_radioButton1->isChecked()) Sep = QStringLiteral(";");
}

void TFormImport::RadioButton2Click() {
    if (m_radioButton2->isChecked()) Sep = QStringLiteral(",");
}
