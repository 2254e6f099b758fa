#include "app/formnewmail.h"

#include "app/radiogroup.h"
#include "core/apperror.h"
#include "core/blank.h"
#include "core/datetimenumber.h"
#include "mailing/maildelivery.h"
#include "mailing/mailingrun.h"
#include "mailing/mailrequest.h"
#include "mailing/schedule.h"
#include "recipients/formgrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

// Mailing run, test mail, connection check and scheduled start of the main window.

// The run shows every recipient in the window's own fields and sends what stands in them. The fields are
// filled for every line, but painted at most every kRefreshMs: a run sends far more lines a second than a
// screen shows frames, and painting each (or laying out each message in the message field, which costs
// more than sending it) would slow the run down several times. Until it is painted, a line's message waits
// beside the field, and the delivery takes it from there.
class MailingInWindow : public MailingRunWindow {
public:
    static constexpr int kRefreshMs = 40;

    explicit MailingInWindow(TFormNewMail& window)
        : w(window), m_fields{w.EditMail, w.EditSubject, w.EditPatch,   w.Edit1,
                              w.Memo2,    w.SelHtml,     w.ProgressBar1} {
        m_sincePaint.start();
    }
    ~MailingInWindow() override { paint(true); }

    // Lets the fields paint what they hold now (and again from here on, when `stay`).
    void paint(bool stay = false) {
        if (w.m_pendingMessage) {
            w.setMessageLines(*w.m_pendingMessage);
            w.m_pendingMessage.reset();
        }
        for (QWidget* field : m_fields)
            field->setUpdatesEnabled(true);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!stay)
            for (QWidget* field : m_fields)
                field->setUpdatesEnabled(false);
        m_sincePaint.start();
    }

    void showProgress(int position, int maximum) override {
        w.ProgressBar1->setMaximum(maximum);
        w.ProgressBar1->setValue(position);
        if (maximum == 0 || position == 0) paint(); // the start shows at once
    }
    void processEvents() override {
        if (m_sincePaint.elapsed() >= kRefreshMs) paint();
        QCoreApplication::processEvents();
    }
    bool stopRequested() const override { return w.State.StopRequested; }
    void showRecipient(const QString& address, const QString& subject, const QString& attachment) override {
        w.EditMail->setText(address);
        w.EditSubject->setText(subject);
        w.EditPatch->setText(attachment);
    }
    void showMessage(const QStringList& lines, bool html) override {
        w.SelHtml->setItemIndex(html ? 1 : 0);
        w.m_pendingMessage = lines;
    }
    void showMailNumber(int number) override { w.Edit1->setText(QString::number(number)); }
    Delivery deliver() override {
        w.SendCurrentMail();
        const DeliveryResult& result = w.LastDelivery;
        return {!w.State.SendFailed, result.serverReply.isEmpty() ? result.error : result.serverReply};
    }
    void closeConnection() override {
        if (w.IdSMTP->isOpen()) w.IdSMTP->close();
    }
    void showStatus(const QString& text, Tone tone) override {
        w.setPanelTone(tone == Tone::Aborted);
        w.PanelMessage->setText(text);
        w.PanelMessage->repaint();
    }
    bool question(const QString& text) override { return w.prompts().question(text); }
    QString chooseListFile(const QString& folder, const QString& fileName) override {
        return w.prompts().openFile({folder, fileName, QStringLiteral("Alle (*)")});
    }

private:
    TFormNewMail& w;
    const QList<QWidget*> m_fields;
    QElapsedTimer m_sincePaint;
};

void TFormNewMail::showRunFieldsNow() {
    if (m_runDisplay) m_runDisplay->paint();
}

QDateTime TFormNewMail::now() const {
    return Now ? Now() : QDateTime::currentDateTime();
}

void TFormNewMail::setPanelTone(bool aborted) {
    PanelMessage->setStyleSheet(aborted ? QStringLiteral("QLabel { background: white; color: #800000; }")
                                        : QStringLiteral("QLabel { background: white; color: #000080; }"));
}

void TFormNewMail::BtnMailClick() {
    // One run at a time; a click or tick while one runs (or a message is in flight) is let pass.
    if (m_running || m_delivering) return;
    BitBtn4Click();
    if (isBlank(EditHost->text()) || isBlank(EditUser->text()) || isBlank(MaskEdit->text()) ||
        isBlank(EditPort->text())) {
        m_prompts.error(State.Texts.MsgEnterAccount);
        return;
    }
    State.StopRequested = false;
    ProgressBar1->setValue(0);
    setPanelTone(false);
    RunMailing();
}

void TFormNewMail::BitBtnStopClick() {
    State.StopRequested = true;
}

void TFormNewMail::RunMailing() {
    MailingRun::Setup setup;
    setup.listFile = State.ListFile;
    setup.dataFolder = State.DataFolder;
    setup.defaultMessageFile = State.DefaultMessageFile;
    setup.unattended = State.ScheduleArmed;
    setup.texts = State.Texts;
    setup.now = [this] { return now(); };
    setup.writeBackIntervalMs = WriteBackIntervalMs;
    State.MailingReport.clear();

    MailingInWindow window(*this);
    MailingRun run(window, setup);
    m_runDisplay = &window;
    // While it runs the buttons that would start another run, or change its list, are off.
    const QList<QWidget*> blocked{findChild<QWidget*>(QStringLiteral("ToolButton1")),
                                  findChild<QWidget*>(QStringLiteral("ToolButton3")),
                                  findChild<QWidget*>(QStringLiteral("ToolButton8"))};
    struct Running {
        TFormNewMail& w;
        const MailingRun& run;
        const QList<QWidget*>& blocked;
        Running(TFormNewMail& window, const MailingRun& r, const QList<QWidget*>& b, bool unattended)
            : w(window), run(r), blocked(b) {
            w.m_running = true;
            w.m_runUnattended = unattended;
            for (QWidget* button : blocked)
                button->setEnabled(false);
        }
        ~Running() {
            w.State.ListFile = run.listFile();
            w.State.MailingReport = run.report();
            if (!run.messageFile().isEmpty()) w.State.MessageFile = run.messageFile();
            w.m_running = false;
            w.m_runUnattended = false;
            w.m_runDisplay = nullptr;
            for (QWidget* button : blocked)
                button->setEnabled(true);
            // A close asked for during the run is carried out now that the list is written.
            if (w.m_closePending) {
                w.m_closePending = false;
                QMetaObject::invokeMethod(&w, &QWidget::close, Qt::QueuedConnection);
            }
        }
    } running(*this, run, blocked, setup.unattended);
    run.run();
}

// ---- Test mail ----------------------------------------------------------------------------------------

void TFormNewMail::BitBtnTestmailClick() {
    if (m_running || m_delivering) return;
    if (isBlank(EditMail->text())) {
        m_prompts.warning(State.Texts.MsgEnterRecipient);
        return;
    }
    if (m_prompts.question(State.Texts.MsgAttachAsk)) BitBtnOpenClick();
    QCoreApplication::processEvents();
    PanelMessage->clear();
    PanelMessage->repaint();
    struct WaitCursor {
        WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    } waitCursor;
    if (isBlank(EditSubject->text())) EditSubject->setText(QStringLiteral("Testmail"));
    if (isBlank(Memo2->toPlainText())) Memo2->setPlainText(QStringLiteral("Testmail Text"));
    Memo2->repaint();
    SendCurrentMail();
    if (!State.SendFailed) PanelMessage->setText(State.Texts.MsgMailsSent);
}

// ---- Connection check ---------------------------------------------------------------------------------

void TFormNewMail::BitBtnCheckClick() {
    if (m_checking) return;
    m_checking = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_checking};
    // Online also means "can reach the mail server": a relay inside the network counts.
    QList<ProbeTarget> targets = WebProbeTargets;
    bool portOk = false;
    const int port = trimBlank(EditPort->text()).toInt(&portOk);
    if (!isBlank(EditHost->text()) && portOk && port > 0 && port < 65536)
        targets.append({trimBlank(EditHost->text()), quint16(port)});
    State.OnlineState = probeOnline(targets, ProbeTimeoutMs);
    if (State.OnlineState) {
        LabelStatus->setText(isGerman(State.Language) ? QStringLiteral("Verbunden")
                                                      : QStringLiteral("Connected"));
        ImageDisconnect->hide();
        ImageConnect->show();
    } else {
        ImageDisconnect->show();
        ImageConnect->hide();
        LabelStatus->setText(QStringLiteral("Offline"));
    }
    LabelStatus->adjustSize();
    LabelStatus->show();
}

// ---- Scheduled start ----------------------------------------------------------------------------------

void TFormNewMail::CheckBox1Click() {
    if (isBlank(State.SmtpHost) || isBlank(State.SmtpUser)) {
        m_prompts.error(State.Texts.MsgEnterAccount);
        return;
    }
    const bool armed = CheckBox1->isChecked();
    if (armed)
        Timer1->start();
    else
        Timer1->stop();
    State.ScheduleArmed = armed;
}

void TFormNewMail::Timer1Timer() {
    // A tick already on its way when the schedule was disarmed has nothing to do. While the list editor is
    // open the run waits for the next tick: the editor may be about to save the list the run would write.
    if (!Timer1->isActive() || m_running || m_delivering || (FormGrid && FormGrid->isVisible())) return;
    BitBtnCheckClick();
    if (!State.OnlineState || !ScheduleDue(now(), DateTimePicker1->date(), DateTimePicker2->time())) return;
    // Off before the run starts, so no tick during it can start another.
    Timer1->stop();
    runGuarded([this] { BtnMailClick(); });
    CheckBox1->setChecked(false);
    Timer1->stop();
    State.ScheduleArmed = false;
    // The used-up schedule is stored at once: a crash later must not send the mailing again at next start.
    runGuarded([this] { SaveSettings(); });
}

void TFormNewMail::RestoreSchedule() {
    if (State.ScheduledDate > 0 && State.ScheduledTime > 0) {
        CheckBox1->setChecked(true);
        DateTimePicker1->setDate(numberToDateTime(State.ScheduledDate).date());
        DateTimePicker2->setTime(numberToDateTime(State.ScheduledTime).time());
        Timer1->start();
        State.ScheduleArmed = true;
        return;
    }
    const QDateTime current = now();
    DateTimePicker1->setDate(current.date());
    DateTimePicker2->setTime(current.time());
}
