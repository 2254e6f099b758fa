#pragma once

#include "core/accesstoken.h"
#include "core/interfacetexts.h"
#include "core/sharedstate.h"
#include "core/textfile.h"
#include "mailing/mailrequest.h"
#include "mailing/sendingoptions.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

class MailDelivery;
struct DeliveryResult;

// What a mailing run shows while it goes and what it asks the user. The run decides everything; the
// display only shows it (the main window fills its fields, progress bar and status panel).
class MailingRunDisplay {
public:
    virtual ~MailingRunDisplay() = default;

    // The progress bar at `position` of `maximum`, painted at once.
    virtual void showProgress(int position, int maximum) = 0;
    // Lets the interface handle its pending events (this is where a stop gets in).
    virtual void processEvents() = 0;
    virtual bool stopRequested() const = 0;
    // The line's recipient address and subject as split, the attachment path trimmed.
    virtual void showRecipient(const QString& address, const QString& subject, const QString& attachment) = 0;
    // The line's personalised message and whether it goes out as HTML.
    virtual void showMessage(const QStringList& lines, bool html) = 0;
    virtual void showMailNumber(int number) = 0;
    // What the delivery of the line's message came to.
    virtual void showDelivery(const DeliveryResult& result) = 0;
    // A failed delivery in a run someone watches: the error box, which waits for OK.
    virtual void reportDeliveryError(const DeliveryResult& result) = 0;
    enum class Tone { Result, Aborted };
    virtual void showStatus(const QString& text, Tone tone) = 0;
    virtual bool question(const QString& text) = 0;
    // Asks for the list file; empty when the user cancels.
    virtual QString chooseListFile(const QString& folder, const QString& fileName) = 0;
};

// One mailing over a recipient list file: every line that is not blank becomes a mail request (the
// line's recipient, subject, attachment and personalised message, with the account taken at the start),
// goes to the delivery, and gets its sent stamp or what went wrong in field 6; the list is written back in
// the layout it was read in, the lines not processed unchanged.
class MailingRun {
public:
    struct Setup {
        QString listFile; // blank: the default list in the data folder
        QString dataFolder;
        QString defaultMessageFile;
        AccountFields account;   // as the fields held it when the run started
        bool unattended = false; // no questions, no error boxes (a scheduled run)
        MessageTexts texts;
        int language = 1;                   // of the texts composition writes itself
        QLocale locale = QLocale::system(); // of the sent stamp
        std::function<QDateTime()> now;     // the clock; the system's when empty
        int writeBackIntervalMs = 2000;     // crash safety: the list is written at least this often
        SendingOptions options;
        // With OAuth 2.0: where the login's access token comes from (empty: the account's password).
        AccessTokenSource accessToken;
        // Waits this long while the interface goes on (a stop gets in through processEvents); tests give
        // one that moves their clock on instead. The clock is `now`.
        std::function<void(int ms)> pause;
    };

    MailingRun(MailingRunDisplay& display, MailDelivery& delivery, Setup setup);

    // A run as the program's state has it: its list file, data folder, default message, texts and
    // language; unattended when the schedule is armed; the account as typed and the options as stored.
    static Setup setupFor(const SharedState& state, const AccountFields& account,
                          const SendingOptions& options);

    // The whole run; closes the delivery's connection at its end. Raises AppError for an error that ends
    // it early (an unreadable message file or attachment, a bad port) after the lines processed so far
    // have been written back.
    void run();

    // Where things stand after run() (also after an error).
    const QString& listFile() const { return m_setup.listFile; }
    const QString& report() const { return m_report; }
    const QString& messageFile() const { return m_messageFile; }
    int sentCount() const { return m_sent; }
    int writeBackCount() const { return m_writeBacks; }

    // The text a failed line's sent column gets: what went wrong, then the invalid-address text, with no
    // ";" or line break left that would change the line's fields.
    static QString failureText(const QString& failure, const MessageTexts& texts);
    // What went wrong in a delivery: the server's failing reply, else the transport's error.
    static QString failureOf(const DeliveryResult& result);
    // The delivery error box: its text, and the cause (the first line of what went wrong) on a line below.
    static QString errorBoxText(const QString& boxText, const DeliveryResult& result);
    // The text of a message file with "$Prename" and then "$Name" replaced, letter case ignored.
    static QStringList personalised(QStringList lines, const QString& name, const QString& prename);

    // Whether a sent column holds a sent stamp: a date (and time) of the locale, as the editor reads it.
    static bool isSentStamp(const QString& field, const QLocale& locale);

private:
    enum class End { Done, Stopped, RunLimit, LoginRefused };
    bool findListFile();
    void markSkipped();
    bool confirmStart(int count);
    End runLines(int count);
    End processLine(int index);
    // Sends the line's message, waiting for the per-minute cap first; when it was not sent, `failure`
    // says what went wrong.
    End deliver(MailRequest request, QString& failure, bool& sent);
    // Waits until `until` (by the run's clock), showing the text for the seconds left; false on a stop.
    bool waitUntil(const QDateTime& until, const std::function<QString(qint64 secondsLeft)>& text);
    bool waitForTheMinuteCap();
    void showRunning();
    QString resultText(End end) const;
    QString chooseMessageFile(const QString& field) const;
    void closeConnection();
    void writeBack();
    void writeBackNowAndThen();

    MailingRunDisplay& m_display;
    MailDelivery& m_delivery;
    Setup m_setup;
    QStringList m_lines;
    TextFormat m_format;
    QString m_report;
    QString m_messageFile;
    int m_sent = 0;
    int m_writeBacks = 0;
    bool m_changed = false;
    QElapsedTimer m_sinceWriteBack;
    qint64 m_intervalMs = 0;
    std::vector<bool> m_skipped; // lines left out as already sent
    int m_skippedCount = 0;
    std::deque<QDateTime> m_recentDeliveries; // within the last minute, for the per-minute cap
    QString m_loginRefusal;                   // the server's reply to a refused login
};
