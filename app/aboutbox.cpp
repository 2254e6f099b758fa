#include "app/aboutbox.h"

#include "app/iconresources.h"
#include "core/interfacetexts.h"
#include "core/prompts.h"

#include <QDesktopServices>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace {

const QColor kGradientTop(0xE9, 0xEC, 0xE8);
const QColor kSilver(0xC0, 0xC0, 0xC0);

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TAboutBox::TAboutBox(Prompts& prompts, QWidget* parent) : QDialog(parent), m_prompts(prompts) {
    initIconResources();
    setObjectName(QStringLiteral("AboutBox"));
    setModal(true);
    setFixedSize(336, 201);
    QFont boxFont = font();
    boxFont.setPointSize(8);
    setFont(boxFont);
    OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(16, 8, 40, 35);
    ProgramIcon->setAlignment(Qt::AlignCenter);
    ProgramIcon->setPixmap(QIcon(QStringLiteral(":/icons/tarnel_32.png")).pixmap(32, 32));

    Label1 = makeLabel(this, "Label1", QString(), 81, 11);
    QFont titleFont(QStringLiteral("Arial"), 10);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    Label1->setStyleSheet(QStringLiteral("color: teal;"));
    Label1->setText(QStringLiteral("Tarnel (64-bit)"));
    Label1->adjustSize();

    LabelRelease = makeLabel(this, "LabelRelease", QStringLiteral("Release"), 81, 31);
    // Right of "Release" even where the platform's font is wider than the one the place was chosen for.
    LabelVersion = makeLabel(this, "LabelVersion", QStringLiteral("Rel.Nr."),
                             std::max(128, LabelRelease->geometry().right() + 6), 31);
    LabelVersion->setMinimumWidth(150);
    Label2 = makeLabel(this, "Label2", QStringLiteral("©"), 81, 70);
    Label3 = makeLabel(this, "Label3", QStringLiteral("2026 The Tarnel developers"), 97, 72);
    Label6 = makeLabel(this, "Label6", QStringLiteral("Alle Rechte vorbehalten"), 81, 96);
    Label6->setMinimumWidth(200);

    Label5 = makeLabel(this, "Label5", QString(), 81, 120);
    QFont linkFont(QStringLiteral("Arial"), 9);
    linkFont.setUnderline(true);
    Label5->setFont(linkFont);
    Label5->setStyleSheet(QStringLiteral("color: navy;"));
    Label5->setMinimumWidth(200);
    Label5->setCursor(Qt::PointingHandCursor); // the hand while the mouse is over the link
    Label5->installEventFilter(this);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(73, 147, 260, 3);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(192, 160, 115, 30);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormShow();
}

QUrl TAboutBox::webAddress(int language) {
    return QUrl(aboutBoxTexts(language).webAddress);
}

void TAboutBox::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
    const AboutBoxTexts texts = aboutBoxTexts(Language);
    setWindowTitle(texts.caption);
    Label6->setText(texts.rightsReserved);
    const QUrl address = webAddress(Language);
    Label5->setText(address.host() + address.path());
    Label5->adjustSize();
}

void TAboutBox::Label5Click() {
    // Without a web browser the click would do nothing visible.
    const QUrl address = webAddress(Language);
    if (OpenUrl && !OpenUrl(address))
        m_prompts.error(messageTextsFor(Language).MsgAddressNotOpened.arg(address.toString()));
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label5 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label5Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, kGradientTop);
    gradient.setColorAt(1, kSilver);
    painter.fillRect(rect(), gradient);
    QDialog::paintEvent(event);
}
