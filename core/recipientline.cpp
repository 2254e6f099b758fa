#include "core/recipientline.h"

#include "core/blank.h"

#include <array>

namespace {
constexpr std::array<QString RecipientRow::*, RecipientRow::FieldCount> kFields = {
    &RecipientRow::Name,      &RecipientRow::Prename,         &RecipientRow::Email,
    &RecipientRow::Subject,   &RecipientRow::MessageFilePath, &RecipientRow::Send,
    &RecipientRow::Attachment};

const QLatin1Char kSeparator(';');
} // namespace

QString& RecipientRow::field(int number) {
    return this->*kFields.at(std::size_t(number - 1));
}

const QString& RecipientRow::field(int number) const {
    return this->*kFields.at(std::size_t(number - 1));
}

bool RecipientRow::operator==(const RecipientRow& other) const {
    for (auto member : kFields)
        if (this->*member != other.*member) return false;
    return Extra == other.Extra;
}

void ClearRecipientFields(RecipientRow& row) {
    for (auto member : kFields)
        (row.*member).clear();
    row.Extra.clear();
}

RecipientRow SplitRecipientLine(const QString& line) {
    RecipientRow row;
    if (line.isEmpty()) return row;
    int number = 1;
    qsizetype start = 0;
    for (qsizetype at = line.indexOf(kSeparator); at >= 0; at = line.indexOf(kSeparator, start)) {
        row.field(number) = line.mid(start, at - start);
        start = at + 1;
        if (++number > RecipientRow::FieldCount) {
            row.Extra = line.mid(start);
            return row;
        }
    }
    row.field(number) = line.mid(start);
    return row;
}

QString JoinRecipientLine(const RecipientRow& row) {
    if (isBlank(row.Email)) return {};
    QString line;
    for (auto member : kFields) {
        QString field = trimBlank(row.*member);
        // The format has no quoting: a ";" would move every later field (the address among them) and a
        // line break would split the row.
        for (QChar& c : field) {
            if (c == kSeparator)
                c = u',';
            else if (c == u'\r' || c == u'\n')
                c = u' ';
        }
        line += field + kSeparator;
    }
    // What followed the seventh field goes back as it was read; a line break (which a line read from a
    // file cannot hold) would split the row.
    QString extra = row.Extra;
    extra.replace(u'\r', u' ').replace(u'\n', u' ');
    return line + extra;
}
