#include "app/rundisplay.h"

#include "app/formnewmailcontrols.h"
#include "app/messagefield.h"
#include "app/radiogroup.h"
#include "core/sharedstate.h"
#include "mailing/smtpsession.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolBar>

void setPanelTone(QLabel* panel, bool aborted) {
    panel->setStyleSheet(aborted ? QStringLiteral("QLabel { background: white; color: #800000; }")
                                 : QStringLiteral("QLabel { background: white; color: #000080; }"));
}

MainWindowRunDisplay::MainWindowRunDisplay(FormNewMailControls& controls, MessageField& message,
                                           const SharedState& state, Prompts& prompts)
    : m_controls(controls), m_message(message), m_state(state),
      m_prompts(prompts), m_fields{controls.EditMail,    controls.EditSubject, controls.EditPatch,
                                   controls.Edit1,       controls.Memo2,       controls.SelHtml,
                                   controls.ProgressBar1},
      m_blocked{controls.ToolBar1->findChild<QWidget*>(QStringLiteral("ToolButton1")),
                controls.ToolBar1->findChild<QWidget*>(QStringLiteral("ToolButton3")),
                controls.ToolBar1->findChild<QWidget*>(QStringLiteral("ToolButton8"))} {
    for (QWidget* button : m_blocked)
        button->setEnabled(false);
    m_sincePaint.start();
}

MainWindowRunDisplay::~MainWindowRunDisplay() {
    for (QWidget* button : m_blocked)
        button->setEnabled(true);
    paint(true);
}

void MainWindowRunDisplay::showPendingMessage() {
    if (!m_pendingMessage) return;
    m_message.setLines(*m_pendingMessage);
    m_pendingMessage.reset();
}

void MainWindowRunDisplay::paint(bool stay) {
    showPendingMessage();
    for (QWidget* field : m_fields)
        field->setUpdatesEnabled(true);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!stay)
        for (QWidget* field : m_fields)
            field->setUpdatesEnabled(false);
    m_sincePaint.start();
}

void MainWindowRunDisplay::showProgress(int position, int maximum) {
    m_controls.ProgressBar1->setMaximum(maximum);
    m_controls.ProgressBar1->setValue(position);
    if (maximum == 0 || position == 0) paint(); // the start shows at once
}

void MainWindowRunDisplay::processEvents() {
    if (m_sincePaint.elapsed() >= kRefreshMs) paint();
    QCoreApplication::processEvents();
}

bool MainWindowRunDisplay::stopRequested() const {
    return m_state.StopRequested;
}

void MainWindowRunDisplay::showRecipient(const QString& address, const QString& subject,
                                         const QString& attachment) {
    m_controls.EditMail->setText(address);
    m_controls.EditSubject->setText(subject);
    m_controls.EditPatch->setText(attachment);
}

void MainWindowRunDisplay::showMessage(const QStringList& lines, bool html) {
    m_controls.SelHtml->setItemIndex(html ? 1 : 0);
    m_pendingMessage = lines;
}

void MainWindowRunDisplay::showMailNumber(int number) {
    m_controls.Edit1->setText(QString::number(number));
}

void MainWindowRunDisplay::showDelivery(const DeliveryResult& result) {
    if (!result.sent) return;
    m_controls.ImageConnect->show();
    m_controls.ImageDisconnect->hide();
}

void MainWindowRunDisplay::reportDeliveryError(const DeliveryResult& result) {
    paint(); // the box names no recipient: the fields behind it must
    const MessageTexts& texts = m_state.Texts;
    // A refused login ends the run: its box says so; any other failure gets the delivery error box.
    m_prompts.error(result.loginRefused
                        ? texts.MsgLoginRefused.arg(result.failureText().section(QLatin1Char('\n'), 0, 0))
                        : MailingRun::errorBoxText(texts.MsgMailError, result));
}

void MainWindowRunDisplay::showStatus(const QString& text, Tone tone) {
    setPanelTone(m_controls.PanelMessage, tone == Tone::Aborted);
    m_controls.PanelMessage->setText(text);
    m_controls.PanelMessage->repaint();
}

bool MainWindowRunDisplay::question(const QString& text) {
    return m_prompts.question(text);
}

QString MainWindowRunDisplay::chooseListFile(const QString& folder, const QString& fileName) {
    return m_prompts.openFile({folder, fileName, QStringLiteral("Alle (*)")});
}
