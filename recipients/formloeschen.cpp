#include "recipients/formloeschen.h"

#include "recipients/formloeschentexts.h"
#include "recipients/rowrange.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The window's background: a vertical gradient from a light grey-green to silver.
class GradientBackground : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, QColor(233, 236, 232));
        gradient.setColorAt(1, QColor(192, 192, 192));
        painter.fillRect(rect(), gradient);
    }
};

} // namespace

TFormLoeschen::TFormLoeschen(Prompts& prompts, QWidget* parent) : QDialog(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("FormLoeschen"));
    setModal(true);
    setFixedSize(352, 136);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* gradient = new GradientBackground(this);
    gradient->setObjectName(QStringLiteral("JvGradient1"));
    gradient->setGeometry(rect());
    gradient->lower();

    m_checkBox1 = new QCheckBox(this);
    m_checkBox1->setObjectName(QStringLiteral("CheckBox1"));
    m_checkBox1->setAutoFillBackground(true);
    QPalette boxPalette = m_checkBox1->palette();
    boxPalette.setColor(m_checkBox1->backgroundRole(), QColor(197, 211, 252));
    m_checkBox1->setPalette(boxPalette);
    connect(m_checkBox1, &QCheckBox::toggled, this, &TFormLoeschen::CheckBox1Click);

    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_editVon = new QLineEdit(this);
    m_editVon->setObjectName(QStringLiteral("EditVon"));
    m_editVon->setFixedWidth(51);
    m_editVon->installEventFilter(this);
    m_label1->setBuddy(m_editVon);
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_editBis = new QLineEdit(this);
    m_editBis->setObjectName(QStringLiteral("EditBis"));
    m_editBis->setFixedWidth(51);
    m_label2->setBuddy(m_editBis);

    m_bitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    m_bitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    m_bitBtn1->setFixedSize(100, 28);
    m_bitBtn1->setDefault(true);
    connect(m_bitBtn1, &QPushButton::clicked, this, &TFormLoeschen::BitBtn1Click);
    m_bitBtn2 = new QPushButton(this);
    m_bitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    m_bitBtn2->setFixedSize(100, 28);
    // Enter on the focused Cancel button cancels; only elsewhere does Enter mean OK.
    m_bitBtn2->setAutoDefault(true);
    connect(m_bitBtn2, &QPushButton::clicked, this, &TFormLoeschen::BitBtn2Click);

    auto* layout = new QVBoxLayout(this);
    auto* boxLine = new QHBoxLayout;
    boxLine->addStretch();
    boxLine->addWidget(m_checkBox1);
    boxLine->addStretch();
    auto* rowLine = new QHBoxLayout;
    rowLine->addStretch();
    rowLine->addWidget(m_label1);
    rowLine->addWidget(m_editVon);
    rowLine->addSpacing(16);
    rowLine->addWidget(m_label2);
    rowLine->addWidget(m_editBis);
    rowLine->addStretch();
    auto* buttonLine = new QHBoxLayout;
    buttonLine->addStretch();
    buttonLine->addWidget(m_bitBtn1);
    buttonLine->addSpacing(16);
    buttonLine->addWidget(m_bitBtn2);
    buttonLine->addStretch();
    layout->addLayout(boxLine);
    layout->addLayout(rowLine);
    layout->addLayout(buttonLine);

    m_checkBox1->setChecked(true);
    ApplyLanguage();
}

void TFormLoeschen::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TFormLoeschen::FormShow() {
    m_editVon->clear();
    m_editBis->clear();
    m_checkBox1->setChecked(true);
    VonZeile = 0;
    BisZeile = 0;
    ApplyLanguage();
    m_editVon->setFocus();
}

void TFormLoeschen::ApplyLanguage() {
    const FormLoeschenTexts texts = formLoeschenTexts(Language);
    setWindowTitle(texts.caption);
    m_checkBox1->setText(texts.checkBox);
    m_label1->setText(texts.fromLabel);
    m_label2->setText(texts.toLabel);
    m_bitBtn2->setText(texts.cancel);
    m_msgInvalidFrom = texts.invalidFrom;
    m_msgInvalidTo = texts.invalidTo;
    m_msgInvalidRange = texts.invalidRange;
}

void TFormLoeschen::CheckBox1Click() {
    if (!m_checkBox1->isChecked()) return;
    m_editVon->clear();
    m_editBis->clear();
}

void TFormLoeschen::EditVonKeyPress() {
    m_checkBox1->setChecked(false);
}

bool TFormLoeschen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editVon && event->type() == QEvent::KeyPress) {
        // Keys that type into the field (Backspace included); Tab, Enter and Esc belong to the dialog.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text != QLatin1String("\t") && text != QLatin1String("\r") &&
            text != QLatin1String("\n") && text != QLatin1String("\x1b"))
            EditVonKeyPress();
    }
    return QDialog::eventFilter(watched, event);
}

void TFormLoeschen::BitBtn1Click() {
    if (m_checkBox1->isChecked()) {
        VonZeile = 0;
        BisZeile = 0;
        accept();
        return;
    }
    const RowRangeCheck check = checkRowRange(m_editVon->text(), m_editBis->text());
    if (!check.fromValid) {
        m_prompts.error(m_msgInvalidFrom);
        m_editVon->clear();
    }
    if (!check.toValid) {
        m_prompts.error(m_msgInvalidTo);
        m_editBis->clear();
    }
    if (!check.fromValid || !check.toValid) return;
    if (!check.rangeValid) {
        m_prompts.error(m_msgInvalidRange);
        m_editVon->clear();
        m_editBis->clear();
        return;
    }
    VonZeile = check.from;
    BisZeile = check.to;
    accept();
}

void TFormLoeschen::BitBtn2Click() {
    reject();
}

void TFormLoeschen::reject() {
    // Closing without an answer must never read as "delete the current row".
    VonZeile = -1;
    QDialog::reject();
}
