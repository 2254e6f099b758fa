// The settings reader: whole files, scrambled or typed by hand, deciphered and parsed. Whatever is read
// must not crash, and the values read, once written, must read back the same and write the same bytes.
#include "core/textfile.h"
#include "fuzz/fuzzcheck.h"
#include "settings/settingsfile.h"

#include <QLocale>

namespace {

const QLocale& localeFor(uint8_t choice) {
    static const QLocale locales[] = {QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()};
    return locales[choice % 3];
}

bool fitsSettingsFormat(const StoredSettings& v) {
    for (const QString& text : QStringList{v.SmtpHost, v.SmtpUser, v.SmtpPassword, v.SmtpPort} + v.Reserved)
        if (!fitsAnsi(text)) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const QLocale& locale = localeFor(in.byte());
    const QByteArray bytes = in.rest();

    const QStringList lines = settingsLinesFromFileBytes(bytes);
    StoredSettings loaded;
    // The language line is no number: reported to the user, nothing is written.
    if (!applySettingsLines(lines, loaded, locale)) return 0;

    const QByteArray written = settingsFileBytes(loaded, locale);
    StoredSettings reread;
    FUZZ_CHECK(applySettingsLines(settingsLinesFromFileBytes(written), reread, locale),
               "what was written does not read back:" << bytes.toHex());
    FUZZ_CHECK(settingsFileBytes(reread, locale) == written, bytes.toHex());
    FUZZ_CHECK(reread.Language == loaded.Language && reread.ScheduledDate == loaded.ScheduledDate &&
                   reread.ScheduledTime == loaded.ScheduledTime,
               bytes.toHex());
    // What would be lost is what is reported before saving.
    FUZZ_CHECK(unstorableCharacters(loaded).empty() ==
                   fitsAnsi(loaded.SmtpHost + loaded.SmtpUser + loaded.SmtpPassword + loaded.SmtpPort),
               bytes.toHex());
    // Line 5 repeats the address and is not read back; everything else that fits the 8-bit format is kept.
    if (fitsSettingsFormat(loaded)) {
        FUZZ_CHECK(reread.SmtpHost == loaded.SmtpHost && reread.SmtpUser == loaded.SmtpUser &&
                       reread.SmtpPassword == loaded.SmtpPassword && reread.SmtpPort == loaded.SmtpPort &&
                       reread.Reserved == loaded.Reserved,
                   bytes.toHex());
    }
    return 0;
}
