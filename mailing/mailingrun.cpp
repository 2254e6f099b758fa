#include "mailing/mailingrun.h"

#include "core/apperror.h"
#include "core/blank.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "core/recipientline.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace {

// The waits before the next try of a line after a temporary failure, in minutes: an hour in all at most.
constexpr int kRetryMinutes[] = {1, 2, 4, 8, 15, 15, 15};

// A refusal the server may lift (4xx: busy, greylisting, a cap for now), or a connection lost before any
// byte of the message had left: a new try cannot deliver it twice.
bool isTemporary(const DeliveryResult& result) {
    if (result.loginRefused) return false;
    if (result.replyCode >= 400 && result.replyCode < 500) return true;
    return result.failure == DeliveryResult::Failure::Connection && !result.contentSent;
}

void pauseInEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString firstLine(const QString& text) {
    return trimBlank(text.section(QLatin1Char('\n'), 0, 0));
}

// A processed line as the run writes it back: the seven fields as split, each followed by ";", then
// whatever the line held after the seventh unchanged.
QString rebuiltLine(const RecipientRow& row) {
    QString line;
    for (int number = 1; number <= RecipientRow::FieldCount; ++number)
        line += row.field(number) + QLatin1Char(';');
    return line + row.Extra;
}

bool isHtmlFile(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return false;
    const QString extension = path.mid(dot).toLower();
    return extension == QLatin1String(".htm") || extension == QLatin1String(".html");
}

} // namespace

MailingRun::MailingRun(MailingRunDisplay& display, MailDelivery& delivery, Setup setup)
    : m_display(display), m_delivery(delivery), m_setup(std::move(setup)) {
    if (!m_setup.now) m_setup.now = [] { return QDateTime::currentDateTime(); };
    if (!m_setup.pause) m_setup.pause = pauseInEventLoop;
}

MailingRun::Setup MailingRun::setupFor(const SharedState& state, const AccountFields& account,
                                       const SendingOptions& options) {
    Setup setup;
    setup.listFile = state.ListFile;
    setup.dataFolder = state.DataFolder;
    setup.defaultMessageFile = state.DefaultMessageFile;
    setup.account = account;
    setup.unattended = state.ScheduleArmed;
    setup.texts = state.Texts;
    setup.language = state.Language;
    setup.options = options;
    return setup;
}

QString MailingRun::failureText(const QString& failure, const MessageTexts& texts) {
    const QString reply = trimBlank(failure.section(QLatin1Char('\n'), 0, 0));
    QString text = reply.isEmpty() ? trimBlank(texts.MsgInvalidAddress) : reply + texts.MsgInvalidAddress;
    for (QChar& c : text) {
        if (c == u';')
            c = u',';
        else if (c == u'\r' || c == u'\n')
            c = u' ';
    }
    return text;
}

QString MailingRun::failureOf(const DeliveryResult& result) {
    return result.serverReply.isEmpty() ? result.error : result.serverReply;
}

QString MailingRun::errorBoxText(const QString& boxText, const DeliveryResult& result) {
    const QString cause = firstLine(failureOf(result));
    return cause.isEmpty() ? boxText : boxText + QLatin1Char('\n') + cause;
}

bool MailingRun::isSentStamp(const QString& field, const QLocale& locale) {
    QDate date;
    QTime time;
    return !isBlank(field) && RegionalDateTimeReader(locale).read(field, &date, &time);
}

QStringList MailingRun::personalised(QStringList lines, const QString& name, const QString& prename) {
    for (QString& line : lines) {
        line.replace(QLatin1String("$Prename"), prename, Qt::CaseInsensitive);
        line.replace(QLatin1String("$Name"), name, Qt::CaseInsensitive);
    }
    return lines;
}

bool MailingRun::findListFile() {
    if (isBlank(m_setup.listFile)) m_setup.listFile = m_setup.dataFolder + defaultListFileName();
    if (!QFileInfo(m_setup.listFile).isFile() && !m_setup.unattended) {
        if (!m_display.question(m_setup.texts.MsgListNotFoundAsk)) return false;
        const QFileInfo proposed(m_setup.listFile);
        const QString chosen = m_display.chooseListFile(proposed.path(), proposed.fileName());
        if (!chosen.isEmpty()) m_setup.listFile = chosen;
    }
    if (!QFileInfo(m_setup.listFile).isFile()) {
        m_report += m_setup.texts.MsgListNotFound;
        m_display.showStatus(m_report, MailingRunDisplay::Tone::Result);
        return false;
    }
    return true;
}

void MailingRun::run() {
    m_report.clear();
    m_sent = 0;
    if (!findListFile()) return;

    TextFileContent content = readTextFile(m_setup.listFile);
    m_lines = std::move(content.lines);
    m_format = content;
    markSkipped();
    const int count = int(m_lines.size()) - m_skippedCount;
    if (!confirmStart(count)) return;
    showRunning();
    m_display.showProgress(0, count);

    End end = End::Done;
    try {
        end = runLines(count);
    } catch (...) {
        // What was sent stays recorded, whatever ended the run; the status line says it ended.
        closeConnection();
        m_display.showStatus(m_setup.texts.MsgMailingAborted, MailingRunDisplay::Tone::Aborted);
        if (m_changed) {
            try {
                writeBack();
            } catch (...) {
            }
        }
        throw;
    }
    closeConnection();
    writeBack();
    const bool aborted = end == End::Stopped || end == End::LoginRefused;
    m_display.showStatus(resultText(end),
                         aborted ? MailingRunDisplay::Tone::Aborted : MailingRunDisplay::Tone::Result);
}

QString MailingRun::resultText(End end) const {
    const MessageTexts& texts = m_setup.texts;
    if (end == End::Stopped) return texts.MsgMailingAborted;
    if (end == End::LoginRefused) return texts.MsgLoginRefused.arg(m_loginRefusal);
    QString text = QString::number(m_sent) + texts.MsgMailsSent;
    if (end == End::RunLimit) text += texts.MsgRunLimitReached;
    if (m_setup.options.skipSent) text += texts.MsgSkippedDone.arg(m_skippedCount);
    return text;
}

void MailingRun::showRunning() {
    QString text = m_setup.texts.MsgMailingRunning;
    if (m_setup.options.skipSent) text += m_setup.texts.MsgSkippedDone.arg(m_skippedCount);
    m_display.showStatus(text, MailingRunDisplay::Tone::Result);
}

void MailingRun::closeConnection() {
    if (m_delivery.isOpen()) m_delivery.close();
}

// Lines already stamped as sent are left out when the options say so; they keep every byte.
void MailingRun::markSkipped() {
    m_skipped.assign(std::size_t(m_lines.size()), false);
    m_skippedCount = 0;
    if (!m_setup.options.skipSent) return;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (isBlank(m_lines[i]) || !isSentStamp(SplitRecipientLine(m_lines[i]).Send, m_setup.locale))
            continue;
        m_skipped[std::size_t(i)] = true;
        ++m_skippedCount;
    }
}

bool MailingRun::confirmStart(int count) {
    if (m_setup.unattended) return true;
    QString question = m_setup.texts.MsgConfirmStart1 + QString::number(count) +
                       m_setup.texts.MsgConfirmStart2 + QFileInfo(m_setup.listFile).fileName() +
                       m_setup.texts.MsgConfirmStart3;
    if (m_setup.options.skipSent) question += m_setup.texts.MsgSkippedAsk.arg(m_skippedCount);
    if (m_display.question(question)) return true;
    m_display.showStatus(QString(), MailingRunDisplay::Tone::Result);
    return false;
}

MailingRun::End MailingRun::runLines(int count) {
    m_intervalMs = m_setup.writeBackIntervalMs;
    m_sinceWriteBack.start();
    int position = 0;
    for (int i = 0; i < int(m_lines.size()); ++i) {
        if (m_skipped[std::size_t(i)]) continue;
        m_display.showProgress(++position, count);
        m_display.processEvents();
        if (m_display.stopRequested()) return End::Stopped;
        const End end = processLine(i);
        writeBackNowAndThen();
        if (end != End::Done) return end;
    }
    return End::Done;
}

QString MailingRun::chooseMessageFile(const QString& field) const {
    if (field != QLatin1String("default") && !isBlank(field) && QFileInfo(field).isFile()) return field;
    return m_setup.defaultMessageFile;
}

MailingRun::End MailingRun::processLine(int index) {
    const QString& line = m_lines.at(index);
    if (isBlank(line)) return End::Done;
    RecipientRow row = SplitRecipientLine(line);
    MailRequest request;
    request.attachmentPath = trimBlank(row.Attachment);
    m_display.showRecipient(row.Email, row.Subject, request.attachmentPath);

    m_messageFile = chooseMessageFile(row.MessageFilePath);
    request.lines = personalised(readTextFile(m_messageFile).lines, row.Name, row.Prename);
    request.html = isHtmlFile(m_messageFile);
    m_display.showMessage(request.lines, request.html);
    m_display.showMailNumber(index + 1);
    if (isBlank(request.lines.join(QLatin1Char('\n')))) {
        m_report += m_setup.texts.MsgEmptyMail;
        return End::Done;
    }

    request.recipients = trimBlank(row.Email);
    request.subject = trimBlank(row.Subject);
    QString failure;
    bool sent = false;
    if (!request.recipients.isEmpty()) {
        const End end = deliver(request, failure, sent);
        // Nothing was sent: the line keeps its text, for the next run.
        if (end != End::Done) return end;
    }
    if (sent) {
        ++m_sent;
        row.Send = dateTimeToRegionalText(m_setup.now(), m_setup.locale);
    } else {
        m_report += m_setup.texts.MsgInvalidAddress;
        row.Send = failureText(failure, m_setup.texts);
    }
    m_lines[index] = rebuiltLine(row);
    m_changed = true;
    const int perRun = m_setup.options.messagesPerRun;
    return sent && perRun > 0 && m_sent >= perRun ? End::RunLimit : End::Done;
}

MailingRun::End MailingRun::deliver(MailRequest request, QString& failure, bool& sent) {
    request.setAccount(m_setup.account);
    request.language = m_setup.language;
    // A port that is no number and an attachment that cannot be read end the run here, before the server
    // is contacted. The same message (its date and Message-ID too) goes out on every try.
    const PreparedMail mail = prepareMail(request);
    DeliveryResult result;
    for (std::size_t attempt = 0;; ++attempt) {
        if (!waitForTheMinuteCap()) return End::Stopped;
        if (m_setup.options.messagesPerMinute > 0) m_recentDeliveries.push_back(m_setup.now());
        result = m_delivery.send(mail, m_setup.accessToken);
        m_display.showDelivery(result);
        sent = result.sent;
        if (sent) return End::Done;
        failure = failureOf(result);
        if (result.loginRefused) break;
        if (!m_setup.options.retryTemporaryFailures || !isTemporary(result) ||
            attempt >= std::size(kRetryMinutes))
            break;
        const QDateTime next = m_setup.now().addSecs(60 * kRetryMinutes[attempt]);
        const QString wait = m_setup.texts.MsgRetryAt.arg(
            firstLine(failure), m_setup.locale.toString(next.time(), QLocale::ShortFormat));
        if (!waitUntil(next, [&wait](qint64) { return wait; })) return End::Stopped;
        showRunning();
    }
    // A failed delivery has already dropped its connection. A scheduled run has nobody to press OK: its
    // failures are recorded in the list alone.
    if (!m_setup.unattended) m_display.reportDeliveryError(result);
    if (!result.loginRefused) return End::Done;
    // Every further line would only repeat the refused login, and providers lock an account after a few.
    m_loginRefusal = firstLine(failure);
    return End::LoginRefused;
}

bool MailingRun::waitForTheMinuteCap() {
    const int cap = m_setup.options.messagesPerMinute;
    if (cap <= 0) return true;
    for (;;) {
        const QDateTime now = m_setup.now();
        while (!m_recentDeliveries.empty() && m_recentDeliveries.front().msecsTo(now) >= 60000)
            m_recentDeliveries.pop_front();
        if (int(m_recentDeliveries.size()) < cap) return true;
        const QString& text = m_setup.texts.MsgNextMailIn;
        if (!waitUntil(m_recentDeliveries.front().addSecs(60), [&text](qint64 s) { return text.arg(s); }))
            return false;
        showRunning();
    }
}

bool MailingRun::waitUntil(const QDateTime& until, const std::function<QString(qint64 secondsLeft)>& text) {
    for (;;) {
        const qint64 ms = m_setup.now().msecsTo(until);
        if (ms <= 0) return true;
        m_display.showStatus(text((ms + 999) / 1000), MailingRunDisplay::Tone::Result);
        m_display.processEvents();
        if (m_display.stopRequested()) return false;
        // A long wait must not keep what was sent before it from the file.
        writeBackNowAndThen();
        m_setup.pause(int(std::min<qint64>(ms, 250)));
    }
}

void MailingRun::writeBack() {
    m_format = writeTextFile(m_setup.listFile, m_lines, m_format);
    m_changed = false;
    ++m_writeBacks;
}

void MailingRun::writeBackNowAndThen() {
    if (!m_changed || m_sinceWriteBack.elapsed() < m_intervalMs) return;
    QElapsedTimer writing;
    writing.start();
    writeBack();
    // A long list is written less often, so the writing never takes more than about a tenth of the run.
    m_intervalMs = std::max<qint64>(m_setup.writeBackIntervalMs, 10 * writing.elapsed());
    m_sinceWriteBack.start();
}
