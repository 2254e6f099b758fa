#include "mailing/mailingrun.h"

#include "core/apperror.h"
#include "core/blank.h"
#include "core/datetimenumber.h"
#include "core/paths.h"
#include "core/recipientline.h"

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

MailingRun::MailingRun(MailingRunWindow& window, Setup setup) : m_window(window), m_setup(std::move(setup)) {
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
        if (!m_window.question(m_setup.texts.MsgListNotFoundAsk)) return false;
        const QFileInfo proposed(m_setup.listFile);
        const QString chosen = m_window.chooseListFile(proposed.path(), proposed.fileName());
        if (!chosen.isEmpty()) m_setup.listFile = chosen;
    }
    if (!QFileInfo(m_setup.listFile).isFile()) {
        m_report += m_setup.texts.MsgListNotFound;
        m_window.showStatus(m_report, MailingRunWindow::Tone::Result);
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
    if (!m_setup.unattended) {
        const QString question = m_setup.texts.MsgConfirmStart1 + QString::number(count) +
                                 m_setup.texts.MsgConfirmStart2 + QFileInfo(m_setup.listFile).fileName() +
                                 m_setup.texts.MsgConfirmStart3;
        if (!m_window.question(question)) {
            m_window.showStatus(QString(), MailingRunWindow::Tone::Result);
            return;
        }
    }
    m_window.showStatus(m_setup.texts.MsgMailingRunning, MailingRunWindow::Tone::Result);
    m_window.showProgress(0, count);

    m_intervalMs = m_setup.writeBackIntervalMs;
    m_sinceWriteBack.start();
    bool stopped = false;
    try {
        for (int i = 0; i < count; ++i) {
            m_window.showProgress(i + 1, count);
            m_window.processEvents();
            if (m_window.stopRequested()) {
                stopped = true;
                break;
            }
            processLine(i);
            writeBackNowAndThen();
        }
    } catch (...) {
        // What was sent stays recorded, whatever ended the run; the status line says it ended.
        m_window.closeConnection();
        m_window.showStatus(m_setup.texts.MsgMailingAborted, MailingRunWindow::Tone::Aborted);
        if (m_changed) {
            try {
                writeBack();
            } catch (...) {
            }
        }
        throw;
    }
    m_window.closeConnection();
    writeBack();
    if (stopped)
        m_window.showStatus(m_setup.texts.MsgMailingAborted, MailingRunWindow::Tone::Aborted);
    else
        m_window.showStatus(QString::number(m_sent) + m_setup.texts.MsgMailsSent,
                            MailingRunWindow::Tone::Result);
}

QString MailingRun::chooseMessageFile(const QString& field) const {
    if (field != QLatin1String("default") && !isBlank(field) && QFileInfo(field).isFile()) return field;
    return m_setup.defaultMessageFile;
}

void MailingRun::processLine(int index) {
    const QString& line = m_lines.at(index);
    if (isBlank(line)) return;
    RecipientRow row = SplitRecipientLine(line);
    m_window.showRecipient(row.Email, row.Subject, trimBlank(row.Attachment));

    m_messageFile = chooseMessageFile(row.MessageFilePath);
    const QStringList lines = personalised(readTextFile(m_messageFile).lines, row.Name, row.Prename);
    m_window.showMessage(lines, isHtmlFile(m_messageFile));
    m_window.showMailNumber(index + 1);
    if (isBlank(lines.join(QLatin1Char('\n')))) {
        m_report += m_setup.texts.MsgEmptyMail;
        return;
    }

    MailingRunWindow::Delivery delivery;
    if (!isBlank(row.Email)) delivery = m_window.deliver();
    if (delivery.sent) {
        ++m_sent;
        row.Send = dateTimeToRegionalText(m_setup.now(), m_setup.locale);
    } else {
        m_report += m_setup.texts.MsgInvalidAddress;
        row.Send = failureText(delivery.failure, m_setup.texts);
    }
    m_lines[index] = rebuiltLine(row);
    m_changed = true;
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
