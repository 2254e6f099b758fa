#include "app/sendingoptionswindow.h"

#include "core/interfacetexts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* countField(const char* name, QWidget* parent) {
    auto* field = new QSpinBox(parent);
    field->setObjectName(QLatin1String(name));
    field->setRange(0, 1000000);
    field->setGroupSeparatorShown(true);
    return field;
}

} // namespace

SendingOptionsWindow::SendingOptionsWindow(Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("FormSendingOptions"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(QFont(QStringLiteral("Arial"), 8));

    SpinMessagesPerMinute = countField("SpinMessagesPerMinute", this);
    SpinMessagesPerRun = countField("SpinMessagesPerRun", this);
    CheckSkipSent = new QCheckBox(this);
    CheckSkipSent->setObjectName(QStringLiteral("CheckSkipSent"));
    CheckRetryTemporaryFailures = new QCheckBox(this);
    CheckRetryTemporaryFailures->setObjectName(QStringLiteral("CheckRetryTemporaryFailures"));
    m_explanation = new QLabel(this);
    m_explanation->setObjectName(QStringLiteral("LabelExplanation"));
    m_explanation->setWordWrap(true);
    m_explanation->setFixedWidth(400);
    m_explanation->setStyleSheet(QStringLiteral("color: #404040;"));

    auto* form = new QFormLayout;
    m_perMinute = new QLabel(this);
    m_perRun = new QLabel(this);
    form->addRow(m_perMinute, SpinMessagesPerMinute);
    form->addRow(m_perRun, SpinMessagesPerRun);
    auto* buttons = new QDialogButtonBox(this);
    ButtonOk = buttons->addButton(QDialogButtonBox::Ok);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonCancel = buttons->addButton(QDialogButtonBox::Cancel);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(8);
    // The window takes the height its word-wrapped explanation needs in either language.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(form);
    layout->addWidget(CheckSkipSent);
    layout->addWidget(CheckRetryTemporaryFailures);
    layout->addSpacing(4);
    layout->addWidget(m_explanation);
    layout->addSpacing(4);
    layout->addWidget(buttons);

    connect(ButtonOk, &QPushButton::clicked, this, [this] { ButtonOkClick(); });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] {
        if (ShowHelp) ShowHelp();
    });
}

void SendingOptionsWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void SendingOptionsWindow::FormShow() {
    const SendingOptionsTexts texts = sendingOptionsTexts(Language);
    setWindowTitle(texts.caption);
    m_perMinute->setText(texts.perMinute);
    m_perRun->setText(texts.perRun);
    for (QSpinBox* field : {SpinMessagesPerMinute, SpinMessagesPerRun})
        field->setSpecialValueText(texts.noLimit);
    CheckSkipSent->setText(texts.skipSent);
    CheckRetryTemporaryFailures->setText(texts.retry);
    m_explanation->setText(texts.explanation);
    ButtonOk->setText(texts.ok);
    ButtonCancel->setText(texts.cancel);

    const SendingOptions stored = loadSendingOptions();
    SpinMessagesPerMinute->setValue(stored.messagesPerMinute);
    SpinMessagesPerRun->setValue(stored.messagesPerRun);
    CheckSkipSent->setChecked(stored.skipSent);
    CheckRetryTemporaryFailures->setChecked(stored.retryTemporaryFailures);
    SpinMessagesPerMinute->setFocus();
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
    if (!saveSendingOptions(options())) {
        // The window stays open, so nothing chosen is lost.
        m_prompts.error(sendingOptionsTexts(Language).notStored.arg(sendingOptionsFilePath()));
        return;
    }
    accept();
}
