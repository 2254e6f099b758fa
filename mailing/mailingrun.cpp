#include "mailing/mailingrun.h"

#include "core/apperror.h"
#include "core/blank.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "core/recipientline.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"

#include <QFileInfo>

#include <algorithm>

namespace {

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
    const QString cause = trimBlank(failureOf(result).section(QLatin1Char('\n'), 0, 0));
    return cause.isEmpty() ? boxText : boxText + QLatin1Char('\n') + cause;
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
    const int count = int(m_lines.size());
    if (!confirmStart(count)) return;
    m_display.showStatus(m_setup.texts.MsgMailingRunning, MailingRunDisplay::Tone::Result);
    m_display.showProgress(0, count);

    bool stopped = false;
    try {
        stopped = !runLines(count);
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
    if (stopped)
        m_display.showStatus(m_setup.texts.MsgMailingAborted, MailingRunDisplay::Tone::Aborted);
    else
        m_display.showStatus(QString::number(m_sent) + m_setup.texts.MsgMailsSent,
                             MailingRunDisplay::Tone::Result);
}

void MailingRun::closeConnection() {
    if (m_delivery.isOpen()) m_delivery.close();
}

bool MailingRun::confirmStart(int count) {
    if (m_setup.unattended) return true;
    const QString question = m_setup.texts.MsgConfirmStart1 + QString::number(count) +
                             m_setup.texts.MsgConfirmStart2 + QFileInfo(m_setup.listFile).fileName() +
                             m_setup.texts.MsgConfirmStart3;
    if (m_display.question(question)) return true;
    m_display.showStatus(QString(), MailingRunDisplay::Tone::Result);
    return false;
}

// False when a stop ended the run.
bool MailingRun::runLines(int count) {
    m_intervalMs = m_setup.writeBackIntervalMs;
    m_sinceWriteBack.start();
    for (int i = 0; i < count; ++i) {
        m_display.showProgress(i + 1, count);
        m_display.processEvents();
        if (m_display.stopRequested()) return false;
        processLine(i);
        writeBackNowAndThen();
    }
    return true;
}

QString MailingRun::chooseMessageFile(const QString& field) const {
    if (field != QLatin1String("default") && !isBlank(field) && QFileInfo(field).isFile()) return field;
    return m_setup.defaultMessageFile;
}

void MailingRun::processLine(int index) {
    const QString& line = m_lines.at(index);
    if (isBlank(line)) return;
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
        return;
    }

    request.recipients = trimBlank(row.Email);
    request.subject = trimBlank(row.Subject);
    QString failure;
    if (!request.recipients.isEmpty() && deliver(request, failure)) {
        ++m_sent;
        row.Send = dateTimeToRegionalText(m_setup.now(), m_setup.locale);
    } else {
        m_report += m_setup.texts.MsgInvalidAddress;
        row.Send = failureText(failure, m_setup.texts);
    }
    m_lines[index] = rebuiltLine(row);
    m_changed = true;
}

bool MailingRun::deliver(MailRequest request, QString& failure) {
    request.setAccount(m_setup.account);
    // A port that is no number and an attachment that cannot be read end the run here, before the server
    // is contacted.
    const DeliveryResult result = m_delivery.send(prepareMail(request));
    m_display.showDelivery(result);
    if (result.sent) return true;
    // A failed delivery has already dropped its connection. A scheduled run has nobody to press OK: its
    // failures are recorded in the list alone.
    if (!m_setup.unattended) m_display.reportDeliveryError(result);
    failure = failureOf(result);
    return false;
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
