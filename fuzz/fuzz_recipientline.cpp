// Recipient line split and join. A line splits into its first seven ";"-separated parts and keeps what
// follows the seventh ";" as it stands; joined, a row with an address becomes exactly seven fields, each
// followed by ";", then that rest, and after that one round the line is stable. A failure text written into
// the sent column never changes where the fields begin.
#include "core/blank.h"
#include "core/interfacetexts.h"
#include "core/recipientline.h"
#include "fuzz/fuzzcheck.h"
#include "mailing/mailingrun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    const QByteArray raw = in.rest();
    const QString line = (mode & 1) ? utf16Text(raw) : QString::fromUtf8(raw);

    const RecipientRow row = SplitRecipientLine(line);
    const QStringList parts = line.split(QLatin1Char(';'));
    for (int number = 1; number <= RecipientRow::FieldCount; ++number) {
        const QString expected = number <= parts.size() ? parts.at(number - 1) : QString();
        FUZZ_CHECK(row.field(number) == expected, line << number << row.field(number));
    }
    const QString rest = parts.size() > RecipientRow::FieldCount
                             ? QStringList(parts.mid(RecipientRow::FieldCount)).join(QLatin1Char(';'))
                             : QString();
    FUZZ_CHECK(row.Extra == rest, line << row.Extra);

    const QString joined = JoinRecipientLine(row);
    if (isBlank(row.Email)) {
        FUZZ_CHECK(joined.isEmpty(), line << joined);
    } else {
        const QString seven = joined.chopped(row.Extra.size());
        FUZZ_CHECK(seven.count(QLatin1Char(';')) == RecipientRow::FieldCount && seven.endsWith(u';'),
                   line << joined);
        // Fields are stored trimmed; a line break inside one (a line the program split itself has none)
        // becomes a blank.
        const RecipientRow again = SplitRecipientLine(joined);
        for (int number = 1; number <= RecipientRow::FieldCount; ++number) {
            QString stored = trimBlank(row.field(number));
            stored.replace(u'\r', u' ').replace(u'\n', u' ');
            FUZZ_CHECK(again.field(number) == stored, line << joined << number);
        }
        FUZZ_CHECK(JoinRecipientLine(again) == joined, line << joined);
    }

    // The run's sent column after a failure: what the server said, made safe for the line.
    const QString failure = MailingRun::failureText(line, messageTextsFor((mode >> 1) & 1));
    FUZZ_CHECK(!failure.contains(u';') && !failure.contains(u'\r') && !failure.contains(u'\n'), failure);
    RecipientRow stamped = row;
    stamped.Send = failure;
    QString rebuilt;
    for (int number = 1; number <= RecipientRow::FieldCount; ++number)
        rebuilt += stamped.field(number) + QLatin1Char(';');
    rebuilt += stamped.Extra;
    FUZZ_CHECK(SplitRecipientLine(rebuilt) == stamped, line << rebuilt);
    return 0;
}
