#pragma once

#include "mailing/mailingrun.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <optional>

class FormNewMailControls;
class MessageField;
class Prompts;
class QLabel;
class QWidget;
struct SharedState;

// The status panel's colour: navy for results, maroon for an aborted run.
void setPanelTone(QLabel* panel, bool aborted);

// A mailing run as the main window shows it: every line's recipient, subject, attachment, mail number and
// message in the window's fields, the progress bar and the status panel. The fields are filled for every
// line but painted at most every kRefreshMs: a run sends far more lines a second than a screen shows
// frames, and painting each (or laying out each message in the message field, which costs more than
// sending it) would slow the run down several times. Until it is painted, a line's message waits here.
// While the run goes, the buttons that would start another run, or change its list, are off.
class MainWindowRunDisplay : public MailingRunDisplay {
public:
    static constexpr int kRefreshMs = 40;

    // `state` gives the stop request and the texts as they are at each question.
    MainWindowRunDisplay(FormNewMailControls& controls, MessageField& message, const SharedState& state,
                         Prompts& prompts);
    ~MainWindowRunDisplay() override;

    // Lets the fields paint what they hold now (and again from here on, when `stay`).
    void paint(bool stay = false);
    // Puts a message not yet shown into the message field, for a command that reads it during the run.
    void showPendingMessage();

    void showProgress(int position, int maximum) override;
    void processEvents() override;
    bool stopRequested() const override;
    void showRecipient(const QString& address, const QString& subject, const QString& attachment) override;
    void showMessage(const QStringList& lines, bool html) override;
    void showMailNumber(int number) override;
    void showDelivery(const DeliveryResult& result) override;
    void reportDeliveryError(const DeliveryResult& result) override;
    void showStatus(const QString& text, Tone tone) override;
    bool question(const QString& text) override;
    QString chooseListFile(const QString& folder, const QString& fileName) override;

private:
    FormNewMailControls& m_controls;
    MessageField& m_message;
    const SharedState& m_state;
    Prompts& m_prompts;
    const QList<QWidget*> m_fields;
    const QList<QWidget*> m_blocked;
    std::optional<QStringList> m_pendingMessage;
    QElapsedTimer m_sincePaint;
};
