#include "app/formnewmail.h"

#include "app/rundisplay.h"
#include "core/apperror.h"
#include "core/blank.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"
#include "mailing/mailingrun.h"
#include "mailing/schedule.h"
#include "recipients/formgrid.h"
#include "signin/oauthaccount.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTimer>

// Mailing run, test mail, connection check and scheduled start of the main window.

void TFormNewMail::BtnMailClick() {
    // One run at a time; a click or tick while one runs (or a message is in flight) is let pass.
    if (m_gate.busy()) return;
    BitBtn4Click();
    // With OAuth 2.0 the login needs no password.
    if (!typedAccount().isComplete(SignIn->login().needsPassword)) {
        m_prompts.error(State.Texts.MsgEnterAccount);
        return;
    }
    State.StopRequested = false;
    ProgressBar1->setValue(0);
    setPanelTone(PanelMessage, false);
    RunMailing();
}

void TFormNewMail::BitBtnStopClick() {
    State.StopRequested = true;
}

void TFormNewMail::RunMailing() {
    MailingRun::Setup setup = MailingRun::setupFor(State, typedAccount(), loadSendingOptions());
    setup.accessToken = SignIn->login().accessToken;
    setup.now = [this] { return now(); };
    setup.writeBackIntervalMs = WriteBackIntervalMs;
    State.MailingReport.clear();

    MainWindowRunDisplay display(*this);
    MailingRun run(display, *IdSMTP, setup);
    // A close asked for during the run is carried out once the pass ends, after the list is written.
    DeliveryGate::Pass pass(m_gate, DeliveryGate::Work::Run);
    m_runDisplay = &display;
    const auto finish = qScopeGuard([&] {
        State.ListFile = run.listFile();
        State.MailingReport = run.report();
        if (!run.messageFile().isEmpty()) State.MessageFile = run.messageFile();
        m_runDisplay = nullptr;
    });
    run.run();
}

// ---- Test mail ----------------------------------------------------------------------------------------

void TFormNewMail::BitBtnTestmailClick() {
    if (m_gate.busy()) return;
    // A mail needs a sender: without the account's address it would go out from nobody.
    if (!typedAccount().isComplete(false)) {
        m_prompts.error(State.Texts.MsgEnterAccount);
        return;
    }
    if (isBlank(EditMail->text())) {
        m_prompts.warning(State.Texts.MsgEnterRecipient);
        return;
    }
    if (m_prompts.question(State.Texts.MsgAttachAsk)) BitBtnOpenClick();
    QCoreApplication::processEvents();
    PanelMessage->clear();
    PanelMessage->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto waitCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (isBlank(EditSubject->text())) EditSubject->setText(QStringLiteral("Testmail"));
    if (isBlank(Memo2->toPlainText())) Memo2->setPlainText(QStringLiteral("Testmail Text"));
    Memo2->repaint();
    SendCurrentMail();
    if (!State.SendFailed) PanelMessage->setText(State.Texts.MsgMailsSent);
}

void TFormNewMail::SendCurrentMail() {
    // The window goes on handling events while a message is in flight, so a button could try to start
    // another delivery meanwhile; it is refused before anything of the one in flight is touched.
    if (m_gate.delivering()) throw AppError(State.Texts.MsgMailingRunning);
    State.SendFailed = false;
    MailRequest request = messageInFields();
    request.setAccount(typedAccount());
    request.language = State.Language;
    // A port text that is no number and an attachment that cannot be read are the caller's errors: they
    // leave here before the server is contacted.
    const PreparedMail mail = prepareMail(request);
    // Until the result is in and the error box acknowledged; a close asked for meanwhile follows then.
    DeliveryGate::Pass pass(m_gate, DeliveryGate::Work::Delivery);
    LastDelivery = IdSMTP->send(mail, SignIn->login().accessToken);
    State.SendFailed = !LastDelivery.sent;
    // A failed delivery has already dropped its connection; the box says why below its own text.
    if (LastDelivery.sent)
        showOnline(true);
    else
        m_prompts.error(MailingRun::errorBoxText(State.Texts.MsgMailError, LastDelivery));
}

// ---- Connection check ---------------------------------------------------------------------------------

void TFormNewMail::BitBtnCheckClick() {
    if (m_checking) return;
    const QScopedValueRollback<bool> checking(m_checking, true);
    const AccountFields account = typedAccount();
    State.OnlineState =
        probeOnline(onlineProbeTargets(WebProbeTargets, account.host, account.port), ProbeTimeoutMs);
    showOnline(State.OnlineState,
               State.OnlineState ? State.Texts.StatusConnected : State.Texts.StatusOffline);
}

// ---- Scheduled start ----------------------------------------------------------------------------------

void TFormNewMail::CheckBox1Click() {
    if (isBlank(State.SmtpHost) || isBlank(State.SmtpUser)) {
        m_prompts.error(State.Texts.MsgEnterAccount);
        return;
    }
    m_schedule->setArmed(CheckBox1->isChecked());
}

void TFormNewMail::Timer1Timer() {
    // While the list editor is open the run waits for the next tick: the editor may be about to save the
    // list the run would write.
    if (FormGrid && FormGrid->isVisible()) return;
    const auto online = [this] {
        BitBtnCheckClick();
        return State.OnlineState;
    };
    if (!m_schedule->startsNow(m_gate.busy(), online, now(), DateTimePicker1->date(),
                               DateTimePicker2->time()))
        return;
    runGuarded([this] { BtnMailClick(); });
    CheckBox1->setChecked(false);
    m_schedule->setArmed(false);
    // The used-up schedule is stored at once: a crash later must not send the mailing again at next start.
    runGuarded([this] { SaveSettings(); });
}

void TFormNewMail::RestoreSchedule() {
    const ScheduleSetting schedule = m_schedule->restore(State.ScheduledDate, State.ScheduledTime, now());
    if (schedule.armed) CheckBox1->setChecked(true);
    DateTimePicker1->setDate(schedule.date);
    DateTimePicker2->setTime(schedule.time);
}
