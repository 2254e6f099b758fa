#include "core/apperror.h"
#include "core/interfacetexts.h"
#include "core/textfile.h"
#include "tests/support/testenvironment.h"

#include <QTemporaryDir>

// Texts the program makes itself, in the interface language.
class TstInterfaceTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What the Info panel shows is said again in the other language; anything else stays.
    void statusSaidAgain_data() {
        QTest::addColumn<QString>("german");
        QTest::addColumn<QString>("english");
        QTest::newRow("run result") << "2 Mail(s) versendet."
                                    << "2 Mail(s) send.";
        QTest::newRow("test mail sent") << " Mail(s) versendet."
                                        << " Mail(s) send.";
        QTest::newRow("aborted") << "Mailing abgebrochen!"
                                 << "Mailing aborted!";
        QTest::newRow("running") << "Mailing gestartet. Bitte warten..."
                                 << "Mailing running. Please wait...";
        QTest::newRow("list not found") << " Empfängerliste nicht gefunden!"
                                        << " recipient list not found!";
        QTest::newRow("settings saved") << "Einstellungen gespeichert."
                                        << "Settings saved.";
        QTest::newRow("empty stays empty") << ""
                                           << "";
        QTest::newRow("a count that is no number stays") << "x Mail(s) versendet."
                                                         << "x Mail(s) versendet.";
    }
    void statusSaidAgain() {
        QFETCH(QString, german);
        QFETCH(QString, english);
        const MessageTexts de = messageTextsFor(0);
        const MessageTexts en = messageTextsFor(1);
        QCOMPARE(restatedInLanguage(german, de, en), english);
        if (english != german || german.isEmpty()) QCOMPARE(restatedInLanguage(english, en, de), german);
    }

    // A file that cannot be read is named in the interface language; the system's reason follows as given.
    void fileErrorsInTheInterfaceLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("start");
        QTest::newRow("German") << 0 << "Die Datei \"";
        QTest::newRow("English") << 1 << "Cannot open file \"";
    }
    void fileErrorsInTheInterfaceLanguage() {
        QFETCH(int, language);
        QFETCH(QString, start);
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("fehlt.txt"));
        setInterfaceLanguage(language);
        QString text;
        try {
            readTextFile(missing);
        } catch (const AppError& e) {
            text = e.text();
        }
        setInterfaceLanguage(0);
        QVERIFY2(text.startsWith(start + missing + QLatin1Char('"')), qPrintable(text));
    }
};

TARNEL_TEST_MAIN(TstInterfaceTexts)
#include "tst_interfacetexts.moc"
