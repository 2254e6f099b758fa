#pragma once

#include "core/interfacetexts.h"
#include "core/textfile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

// What a mailing run needs from the window that shows it. The run fills the window's fields line by line
// and the window delivers the message standing in them, so the user watches every recipient go by.
class MailingRunWindow {
public:
    virtual ~MailingRunWindow() = default;

    // The progress bar at `position` of `maximum`, painted at once.
    virtual void showProgress(int position, int maximum) = 0;
    // Lets the interface handle its pending events (this is where a stop gets in).
    virtual void processEvents() = 0;
    virtual bool stopRequested() const = 0;
    // The recipient's address and subject as split, the attachment path trimmed.
    virtual void showRecipient(const QString& address, const QString& subject, const QString& attachment) = 0;
    virtual void showMessage(const QStringList& lines, bool html) = 0;
    virtual void showMailNumber(int number) = 0;
    struct Delivery {
        bool sent = false;
        // What went wrong: the server's failing reply, else the transport's error; may be empty.
        QString failure;
    };
    // Sends the message standing in the fields. Raises AppError for what ends the run (an attachment
    // that cannot be read, a port that is no number).
    virtual Delivery deliver() = 0;
    // Closes the delivery's connection if it is open.
    virtual void closeConnection() = 0;
    enum class Tone { Result, Aborted };
    virtual void showStatus(const QString& text, Tone tone) = 0;
    virtual bool question(const QString& text) = 0;
    // Asks for the list file; empty when the user cancels.
    virtual QString chooseListFile(const QString& folder, const QString& fileName) = 0;
};

// One mailing over a recipient list file: every line that is not blank is split into its fields, shown,
// personalised and delivered, and gets its sent stamp or what went wrong in field 6; the list is written
// back in the layout it was read in, the lines not processed unchanged.
class MailingRun {
public:
    struct Setup {
        QString listFile; // blank: the default list in the data folder
        QString dataFolder;
        QString defaultMessageFile;
        bool unattended = false; // no questions (a scheduled run)
        MessageTexts texts;
        QLocale locale = QLocale::system(); // of the sent stamp
        std::function<QDateTime()> now;     // the clock; the system's when empty
        int writeBackIntervalMs = 2000;     // crash safety: the list is written at least this often
    };

    MailingRun(MailingRunWindow& window, Setup setup);

    // The whole run. Raises AppError for an error that ends it early (an unreadable message file or
    // attachment, a bad port) after the lines processed so far have been written back.
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
    // The text of a message file with "$Prename" and then "$Name" replaced, letter case ignored.
    static QStringList personalised(QStringList lines, const QString& name, const QString& prename);

private:
    bool findListFile();
    void processLine(int index);
    QString chooseMessageFile(const QString& field) const;
    void writeBack();
    void writeBackNowAndThen();

    MailingRunWindow& m_window;
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
};
