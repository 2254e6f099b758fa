#pragma once

#include <QString>

// One recipient: one line of the recipient list file, seven fields each followed by ";".
struct RecipientRow {
    static constexpr int FieldCount = 7;

    QString Name;
    QString Prename;
    QString Email;
    QString Subject;
    QString MessageFilePath;
    QString Send;
    QString Attachment;
    // Whatever the line holds after the seventh field's ";": the fields a spreadsheet kept beyond the
    // seven (a customer number, a company), carried unchanged wherever the line is written again.
    QString Extra;

    // Fields by their number in the line, 1 to 7.
    QString& field(int number);
    const QString& field(int number) const;

    bool operator==(const RecipientRow& other) const;
};

void ClearRecipientFields(RecipientRow& row);
// Accepts any text: fewer fields leave the rest empty, text after the seventh field's ";" goes to Extra,
// nothing is trimmed.
RecipientRow SplitRecipientLine(const QString& line);
// The stored form, every field trimmed, a ";" inside a field turned into "," and a line break into a blank
// so the line keeps its seven fields, then Extra unchanged; empty when the address is blank (such a row is
// not stored).
QString JoinRecipientLine(const RecipientRow& row);
