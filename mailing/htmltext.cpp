#include "mailing/htmltext.h"

#include "core/apperror.h"

#include <QFont>
#include <QGuiApplication>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>

namespace {

// A link's text followed by its target, unless the text already is the target.
QString linkText(const QString& text, const QString& href) {
    const QString shown = text.trimmed();
    if (shown == href || QStringLiteral("mailto:") + shown == href) return text;
    return text + QStringLiteral(" (") + href + QLatin1Char(')');
}

QString blockText(const QTextBlock& block) {
    QString text;
    QString href;   // of the link being collected
    QString linked; // its text so far: a link's text may span fragments of several formats
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        const QString target = format.isAnchor() ? format.anchorHref() : QString();
        if (target != href && !href.isEmpty()) {
            text += linkText(linked, href);
            linked.clear();
        }
        href = target;
        (href.isEmpty() ? text : linked) += fragment.text();
    }
    if (!href.isEmpty()) text += linkText(linked, href);
    return text;
}

// "- " for a bulleted item, "1. " or "a. " for a numbered one, indented by its level.
QString listPrefix(const QTextBlock& block) {
    const QTextList* list = block.textList();
    if (!list) return {};
    const QTextListFormat format = list->format();
    const bool bullet = format.style() == QTextListFormat::ListDisc ||
                        format.style() == QTextListFormat::ListCircle ||
                        format.style() == QTextListFormat::ListSquare;
    const QString indent(2 * std::max(0, format.indent() - 1), QLatin1Char(' '));
    return indent + (bullet ? QStringLiteral("-") : list->itemText(block)) + QLatin1Char(' ');
}

} // namespace

QString plainTextOfHtml(const QString& html) {
    // Qt's reader looks up the system's fixed-pitch font for <pre>, <tt> and the like, which only a GUI
    // application can answer.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw AppError(QStringLiteral("An HTML message needs a QGuiApplication"));
    QTextDocument document;
    // Headings are sized from the default font; one with a point size spares Qt's warnings.
    QFont font;
    font.setPointSize(12);
    document.setDefaultFont(font);
    document.setHtml(html);

    QStringList lines;
    QTextBlock previous;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        // Paragraphs, headings and lists stand apart by a margin; list items, table cells and <br> lines
        // do not, nor does a nested list from the item it belongs to.
        const bool nested = block.textList() && block.textList()->format().indent() > 1;
        if (previous.isValid() && !nested &&
            (previous.blockFormat().bottomMargin() > 0 || block.blockFormat().topMargin() > 0))
            lines << QString();
        QString text = listPrefix(block) + blockText(block);
        text.replace(QChar::LineSeparator, QLatin1Char('\n'))
            .replace(QChar::Nbsp, QLatin1Char(' '))
            .remove(QChar::ObjectReplacementCharacter);
        lines << text.split(QLatin1Char('\n'));
        previous = block;
    }
    // No blanks at line ends, no run of empty lines, none at the start or the end.
    QStringList result;
    for (QString& line : lines) {
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
        if (!line.isEmpty() || (!result.isEmpty() && !result.last().isEmpty())) result << line;
    }
    while (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result.join(QLatin1Char('\n'));
}
