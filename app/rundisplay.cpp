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

MainWindowRunDisplay::MainWindowRunDisplay(FormNewMailControls& window, MessageField& message,
                                           const SharedState& state, Prompts& prompts)
    : m_window(window), m_message(message), m_state(state),
      m_prompts(prompts), m_fields{window.EditMail, window.EditSubject, window.EditPatch,   window.Edit1,
                                   window.Memo2,    window.SelHtml,     window.ProgressBar1},
      m_blocked{window.ToolBar1->findChild<QWidget*>(QStringLiteral("ToolButton1")),
                window.ToolBar1->findChild<QWidget*>(QStringLiteral("ToolButton3")),
                window.ToolBar1->findChild<QWidget*>(QStringLiteral("ToolButton8"))} {
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
    m_window.ProgressBar1->setMaximum(maximum);
    m_window.ProgressBar1->setValue(position);
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
    m_window.EditMail->setText(address);
    m_window.EditSubject->setText(subject);
    m_window.EditPatch->setText(attachment);
}

void MainWindowRunDisplay::showMessage(const QStringList& lines, bool html) {
    m_window.SelHtml->setItemIndex(html ? 1 : 0);
    m_pendingMessage = lines;
}

void MainWindowRunDisplay::showMailNumber(int number) {
    m_window.Edit1->setText(QString::number(number));
}

void MainWindowRunDisplay::showDelivery(const DeliveryResult& result) {
    if (!result.sent) return;
    m_window.ImageConnect->show();
    m_window.ImageDisconnect->hide();
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
    setPanelTone(m_window.PanelMessage, tone == Tone::Aborted);
    m_window.PanelMessage->setText(text);
    m_window.PanelMessage->repaint();
}

bool MainWindowRunDisplay::question(const QString& text) {
    return m_prompts.question(text);
}

QString MainWindowRunDisplay::chooseListFile(const QString& folder, const QString& fileName) {
    return m_prompts.openFile({folder, fileName, QStringLiteral("Alle (*)")});
}
