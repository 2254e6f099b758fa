#pragma once

#include "mailing/maildelivery.h"
#include "mailing/mailingrun.h"

#include <QList>
#include <QString>

#include <functional>

// A mailing run's display without widgets: records what the run shows and answers its questions through
// callbacks, so a test (or the kill test's driver) can watch and steer a run. Header only: it is used by
// targets that link the mailing library.
class RecordingRunDisplay : public MailingRunDisplay {
public:
    // Questions; No when unset.
    std::function<bool(const QString& text)> answer;
    // The list file dialog; cancelled when unset.
    std::function<QString(const QString& folder, const QString& fileName)> chooseFile;
    // Called where the run lets events through, with the line it is at (counted from 1).
    std::function<void(int line)> atLine;
    // Called after each delivery.
    std::function<void(const DeliveryResult& result)> afterDelivery;
    // Called with every status the run shows.
    std::function<void(const QString& status)> onStatus;
    bool stop = false;

    MailRequest shown; // recipient, subject, attachment and message as last shown
    QList<int> numbers;
    QList<DeliveryResult> deliveries;
    QList<DeliveryResult> errorBoxes;
    QString status;
    QStringList statuses; // every one shown, in order
    Tone tone = Tone::Result;
    int progressMaximum = -1;

    void showProgress(int position, int maximum) override {
        progressMaximum = maximum;
        m_position = position;
    }
    void processEvents() override {
        if (atLine) atLine(m_position);
    }
    bool stopRequested() const override { return stop; }
    void showRecipient(const QString& address, const QString& subject, const QString& attachment) override {
        shown.recipients = address;
        shown.subject = subject;
        shown.attachmentPath = attachment;
    }
    void showMessage(const QStringList& lines, bool html) override {
        shown.lines = lines;
        shown.html = html;
    }
    void showMailNumber(int number) override { numbers << number; }
    void showDelivery(const DeliveryResult& result) override {
        deliveries << result;
        if (afterDelivery) afterDelivery(result);
    }
    void reportDeliveryError(const DeliveryResult& result) override { errorBoxes << result; }
    void showStatus(const QString& text, Tone t) override {
        status = text;
        statuses << text;
        tone = t;
        if (onStatus) onStatus(text);
    }
    bool question(const QString& text) override { return answer && answer(text); }
    QString chooseListFile(const QString& folder, const QString& fileName) override {
        return chooseFile ? chooseFile(folder, fileName) : QString();
    }

private:
    int m_position = 0;
};
