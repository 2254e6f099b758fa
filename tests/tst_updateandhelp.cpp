#include "core/help.h"
#include "core/onlineupdate.h"
#include "core/paths.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

namespace {

bool writeScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

} // namespace

class TstUpdateAndHelp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionText_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("four parts") << "3.6.0.0"
                                    << "3.6.0.0";
        QTest::newRow("largest parts") << "65535.0.65535.1"
                                       << "65535.0.65535.1";
        QTest::newRow("two parts") << "1.2"
                                   << "1.2.0.0";
        QTest::newRow("one part") << "7"
                                  << "7.0.0.0";
        QTest::newRow("leading zeros") << "01.002.3.4"
                                       << "1.2.3.4";
        QTest::newRow("none") << ""
                              << "Not available";
        QTest::newRow("five parts") << "1.2.3.4.5"
                                    << "Not available";
        QTest::newRow("beyond 16 bits") << "1.65536.0.0"
                                        << "Not available";
        QTest::newRow("not a number") << "1.2-beta"
                                      << "Not available";
        QTest::newRow("empty part") << "1..2"
                                    << "Not available";
        QTest::newRow("signed part") << "+1.2"
                                     << "Not available";
    }
    void versionText() {
        QFETCH(QString, version);
        QFETCH(QString, text);
        QCOMPARE(fileVersionText(version), text);
    }

    // The running program's version is the build's, in four parts.
    void runningVersion() {
        const QString text = FileVersionText();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(text).hasMatch(),
                 qPrintable(text));
        QVERIFY(text.startsWith(QStringLiteral(TARNEL_VERSION)));
    }

    void parameterLine_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("ordinary update")
            << "1.0.0.0"
            << ""
            << ""
            << "tarnelsw64 1.0.0.0 tarnel 0" << QStringList{"tarnelsw64", "1.0.0.0", "tarnel", "0"};
        QTest::newRow("file removal")
            << "1.0.0.0"
            << "/home/u/.local/share/prdata/postrun.ini"
            << "del"
            << "tarnelsw64 1.0.0.0 tarnel 0 /home/u/.local/share/prdata/postrun.ini del"
            << QStringList{"tarnelsw64", "1.0.0.0", "tarnel", "0", "/home/u/.local/share/prdata/postrun.ini",
                           "del"};
        QTest::newRow("removal of a path with blanks")
            << "2.1.0.7"
            << "/home/A B/prdata/postrun.ini"
            << "del"
            << "tarnelsw64 2.1.0.7 tarnel 0 /home/A B/prdata/postrun.ini del"
            << QStringList{"tarnelsw64", "2.1.0.7", "tarnel", "0", "/home/A B/prdata/postrun.ini", "del"};
        QTest::newRow("no version") << "Not available"
                                    << ""
                                    << ""
                                    << "tarnelsw64 Not available tarnel 0"
                                    << QStringList{"tarnelsw64", "Not available", "tarnel", "0"};
        QTest::newRow("action without path")
            << "1.0.0.0"
            << ""
            << "del"
            << "tarnelsw64 1.0.0.0 tarnel 0  del"
            << QStringList{"tarnelsw64", "1.0.0.0", "tarnel", "0", "", "del"};
    }
    // The line as the installer has always been given it, and the same fields one argument each.
    void parameterLine() {
        QFETCH(QString, version);
        QFETCH(QString, path);
        QFETCH(QString, action);
        QFETCH(QString, line);
        QFETCH(QStringList, arguments);
        const QStringList fields = installerFields(version, QStringLiteral("tarnel"), path, action);
        QCOMPARE(fields.size(), 6);
        QCOMPARE(installerParameterLine(fields), line);

        const ProgramStart plain = installerStart(QStringLiteral("/opt/tarnel/Install"), fields, QString());
        QCOMPARE(plain.program, QStringLiteral("/opt/tarnel/Install"));
        QCOMPARE(plain.arguments, arguments);
        QVERIFY(!plain.elevated);

        const ProgramStart elevated =
            installerStart(QStringLiteral("/opt/tarnel/Install"), fields, QStringLiteral("/usr/bin/pkexec"));
        QCOMPARE(elevated.program, QStringLiteral("/usr/bin/pkexec"));
        QCOMPARE(elevated.arguments, QStringList{"/opt/tarnel/Install"} + arguments);
        QVERIFY(elevated.elevated);
    }

    void onlineUpdate_data() {
        QTest::addColumn<QString>("installer"); // "file", "folder" or "" for none
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<int>("outcome");
        QTest::newRow("no installer") << "" << true << int(UpdateOutcome::NoInstaller);
        QTest::newRow("a folder of that name") << "folder" << true << int(UpdateOutcome::NoInstaller);
        QTest::newRow("started") << "file" << true << int(UpdateOutcome::Started);
        QTest::newRow("start fails") << "file" << false << int(UpdateOutcome::Failed);
    }
    void onlineUpdate() {
        QFETCH(QString, installer);
        QFETCH(bool, startWorks);
        QFETCH(int, outcome);
        QTemporaryDir folder;
        const QString programFolder = folder.path() + QLatin1Char('/');
        if (installer == QLatin1String("file")) QVERIFY(writeScript(programFolder + "Install", "exit 0"));
        if (installer == QLatin1String("folder")) QVERIFY(QDir().mkdir(programFolder + "Install"));
        QList<ProgramStart> starts;
        const ProgramStarter starter = [&](const ProgramStart& s, const std::function<void()>&) {
            starts << s;
            return startWorks;
        };
        const UpdateRequest request{programFolder,
                                    QStringLiteral("tarnel"),
                                    QStringLiteral("1.0.0.0"),
                                    programFolder + "data/postrun.ini",
                                    QStringLiteral("del"),
                                    QStringLiteral("/usr/bin/pkexec")};
        QCOMPARE(int(runOnlineUpdate(request, starter, {})), outcome);
        if (outcome == int(UpdateOutcome::NoInstaller)) {
            QVERIFY(starts.isEmpty());
            return;
        }
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts.first().program, QStringLiteral("/usr/bin/pkexec"));
        QCOMPARE(starts.first().arguments,
                 (QStringList{programFolder + "Install", "tarnelsw64", "1.0.0.0", "tarnel", "0",
                              programFolder + "data/postrun.ini", "del"}));
    }

    // A plain start really runs the program, with each argument whole, and does not wait for it.
    void plainStartRuns() {
        QTemporaryDir folder;
        const QString script = folder.filePath(QStringLiteral("Install"));
        const QString out = folder.filePath(QStringLiteral("arguments"));
        QVERIFY(writeScript(script, "sleep 0.3; printf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" '" +
                                        out.toUtf8() + "'"));
        const QStringList arguments{"tarnelsw64", "1.0.0.0", "tarnel", "0", "/a path/with blanks", "del"};
        bool refused = false;
        QVERIFY(startProgram({script, arguments, false}, [&] { refused = true; }));
        QVERIFY(!QFileInfo::exists(out)); // returned before the program finished
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(out), 10000);
        QCOMPARE(fileLines(out), arguments);
        QVERIFY(!refused);
    }

    void startFails_data() {
        QTest::addColumn<bool>("elevated");
        QTest::addColumn<bool>("exists");
        QTest::newRow("plain, missing program") << false << false;
        QTest::newRow("plain, not executable") << false << true;
        QTest::newRow("elevated, missing program") << true << false;
        QTest::newRow("elevated, not executable") << true << true;
    }
    void startFails() {
        QFETCH(bool, elevated);
        QFETCH(bool, exists);
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("Install"));
        if (exists) {
            QFile file(program);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\nexit 0\n");
        }
        QVERIFY(!startProgram({program, {}, elevated}, {}));
    }

    void elevationAnswer_data() {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("refused");
        QTest::newRow("consent dialog dismissed") << 126 << true;
        QTest::newRow("not authorised") << 127 << true;
        QTest::newRow("installer ran") << 0 << false;
        QTest::newRow("installer failed on its own") << 1 << false;
    }
    // pkexec's answer comes later; a refusal is reported from the event loop.
    void elevationAnswer() {
        QFETCH(int, exitCode);
        QFETCH(bool, refused);
        QTemporaryDir folder;
        const QString fakePkexec = folder.filePath(QStringLiteral("pkexec"));
        const QString done = folder.filePath(QStringLiteral("done"));
        QVERIFY(
            writeScript(fakePkexec, "touch '" + done.toUtf8() + "'; exit " + QByteArray::number(exitCode)));
        int refusals = 0;
        QVERIFY(startProgram({fakePkexec, {folder.filePath(QStringLiteral("Install"))}, true},
                             [&] { ++refusals; }));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(done), 10000);
        if (refused) {
            QTRY_COMPARE_WITH_TIMEOUT(refusals, 1, 10000);
        } else {
            QTest::qWait(500);
            QCOMPARE(refusals, 0);
        }
    }

    void helpFiles_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("name");
        QTest::newRow("German") << 0 << "tarneld.html";
        QTest::newRow("English") << 1 << "tarnel.html";
        QTest::newRow("any other language is English") << 5 << "tarnel.html";
    }
    void helpFiles() {
        QFETCH(int, language);
        QFETCH(QString, name);
        QTemporaryDir folder;
        const QString programFolder = folder.path() + QLatin1Char('/');
        const QString file = helpFilePath(programFolder, language);
        QCOMPARE(file, programFolder + name);
        QVERIFY(helpUrl(file, QStringLiteral("topic0")).isEmpty()); // missing: nothing to open

        QFile(file).open(QIODevice::WriteOnly);
        const QUrl top = helpUrl(file);
        QVERIFY(top.isLocalFile());
        QCOMPARE(top.toLocalFile(), file);
        QVERIFY(!top.hasFragment());
        const QUrl topic = helpUrl(file, helpTopicAnchor(100));
        QCOMPARE(topic.toLocalFile(), file);
        QCOMPARE(topic.fragment(), QStringLiteral("topic100"));
        QVERIFY(helpUrl(programFolder, QString()).isEmpty()); // a folder is no help file
    }

    // Beside the program (build tree) wins; installed, the files lie in prefix/share/tarnel/ seen from
    // prefix/bin/; with neither the program's folder is named.
    void programFilesFolder_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("expected");
        QTest::newRow("build tree") << QStringList{"bin/tarnel.html", "share/tarnel/tarnel.html"} << "bin/";
        QTest::newRow("German file alone beside it") << QStringList{"bin/tarneld.html"} << "bin/";
        QTest::newRow("installed") << QStringList{"share/tarnel/tarneld.html"} << "share/tarnel/";
        QTest::newRow("a folder of the help file's name is none")
            << QStringList{"bin/tarnel.html/", "share/tarnel/tarnel.html"} << "share/tarnel/";
        QTest::newRow("installed folder without help") << QStringList{"share/tarnel/"} << "bin/";
        QTest::newRow("nothing") << QStringList{} << "bin/";
    }
    void programFilesFolder() {
        QFETCH(QStringList, files);
        QFETCH(QString, expected);
        QTemporaryDir prefix;
        const QString root = prefix.path() + QLatin1Char('/');
        QVERIFY(QDir().mkpath(root + "bin"));
        for (const QString& file : files) {
            if (file.endsWith(QLatin1Char('/')))
                QVERIFY(QDir().mkpath(root + file));
            else
                QVERIFY(QDir().mkpath(QFileInfo(root + file).path()) &&
                        writeBytes(root + file, "<html></html>"));
        }
        QCOMPARE(::programFilesFolder(root + "bin/"), root + expected);
    }

    void builtHelpFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("language");
        QTest::newRow("German") << "tarneld.html"
                                << "de";
        QTest::newRow("English") << "tarnel.html"
                                 << "en";
    }
    // The build puts both guides beside the program, with the anchors the windows open and no
    // link into nowhere.
    void builtHelpFiles() {
        QFETCH(QString, name);
        QFETCH(QString, language);
        QFile file(QStringLiteral(TARNEL_HELP_DIR "/") + name);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString html = decoder(file.readAll());
        QVERIFY(!decoder.hasError());
        QVERIFY(html.contains(QStringLiteral("<html lang=\"%1\">").arg(language)));

        QSet<QString> ids;
        static const QRegularExpression id(QStringLiteral("\\bid=\"([^\"]+)\""));
        for (auto it = id.globalMatch(html); it.hasNext();)
            ids.insert(it.next().captured(1));
        for (int topic : {0, 100, 120})
            QVERIFY2(ids.contains(helpTopicAnchor(topic)), qPrintable(helpTopicAnchor(topic)));
        QVERIFY(ids.contains(QStringLiteral("contents")));
        // The sending options window's F1, on its two tabs.
        for (const char* anchor : {"sendingoptions", "signin"})
            QVERIFY2(ids.contains(QLatin1String(anchor)), anchor);
        static const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
        int links = 0;
        for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
            const QString target = it.next().captured(1);
            QVERIFY2(ids.contains(target), qPrintable(target));
        }
        QVERIFY(links >= ids.size() - 1);
    }
};

TARNEL_TEST_MAIN(TstUpdateAndHelp)
#include "tst_updateandhelp.moc"
