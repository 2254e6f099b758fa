#include "core/paths.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testsmtpserver.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <csignal>

namespace {

const QString kAppId = QStringLiteral("org.example.tarnel");

struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

// Lintian's findings that are accepted, each with the reason it does not apply to this program. Any other
// finding, and every error and warning, fails the package.
const QMap<QString, QString> kAcceptedLintianTags = {
    {QStringLiteral("package-contains-documentation-outside-usr-share-doc"),
     QStringLiteral("the help pages in /usr/share/tarnel/ are opened by the program at run time (F1), not "
                    "documentation a user reads beside it")},
    {QStringLiteral("hardening-no-fortify-functions"),
     QStringLiteral("the program is built with -D_FORTIFY_SOURCE=2, but its one call lintian counts, poll() "
                    "on a single pollfd, has a size known when compiling and is checked then, so no "
                    "__poll_chk is called")},
};

struct LintianTag {
    QChar severity; // E error, W warning, I info, P pedantic, X experimental, O overridden
    QString tag;
    QString line;
};

QList<LintianTag> lintianTags(const QString& output) {
    static const QRegularExpression line(QStringLiteral("^([EWIPXO]): tarnel: (\\S+).*$"),
                                         QRegularExpression::MultilineOption);
    QList<LintianTag> tags;
    for (auto it = line.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        tags.append({match.captured(1).at(0), match.captured(2), match.captured(0)});
    }
    return tags;
}

// The value of a key in the desktop entry's main group.
QString desktopValue(const QString& entry, const QString& key) {
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(entry).captured(1);
}

} // namespace

// Installs the build into a temporary folder the way a packager does (DESTDIR, prefix /usr/local) and checks
// the result as the desktop reads it.
class TstInstall : public QObject {
    Q_OBJECT
    QTemporaryDir m_destdir;
    QString m_prefix;
    QString m_entry;
    QTemporaryDir m_packageDir;
    QString m_deb;         // the Debian package cpack built
    QString m_packageTree; // its files, unpacked

    QString packaged(const QString& path) const { return m_packageTree + QLatin1Char('/') + path; }

    QString installed(const QString& path) const { return m_prefix + QLatin1Char('/') + path; }

private Q_SLOTS:
    void initTestCase() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), m_destdir.path());
        const Run install = run(QStringLiteral(TARNEL_CMAKE_COMMAND),
                                {QStringLiteral("--install"), QStringLiteral(TARNEL_BUILD_DIR),
                                 QStringLiteral("--prefix"), QStringLiteral("/usr/local")},
                                environment);
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));
        m_prefix = m_destdir.path() + QStringLiteral("/usr/local");
        m_entry = QString::fromUtf8(readBytes(installed("share/applications/" + kAppId + ".desktop")));
        QVERIFY(!m_entry.isEmpty());

        const Run pack = run(QStringLiteral(TARNEL_CPACK_COMMAND),
                             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                              QStringLiteral(TARNEL_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"),
                              m_packageDir.path()});
        QVERIFY2(pack.exitCode == 0, qPrintable(pack.output));
        const QStringList debs =
            QDir(m_packageDir.path()).entryList({QStringLiteral("tarnel_" TARNEL_VERSION "_*.deb")});
        QCOMPARE(debs.size(), 1);
        m_deb = m_packageDir.filePath(debs.first());
        m_packageTree = m_packageDir.filePath(QStringLiteral("tree"));
        const Run unpack = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_packageTree});
        QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.output));
    }

    void desktopEntry() {
        const Run validate = run(QStringLiteral("desktop-file-validate"),
                                 {installed("share/applications/" + kAppId + ".desktop")});
        // Not even a hint (such as two main categories, which may list the program twice in a menu).
        QVERIFY2(validate.exitCode == 0 && validate.output.trimmed().isEmpty(), qPrintable(validate.output));
        QCOMPARE(desktopValue(m_entry, QStringLiteral("Categories")), QStringLiteral("Network;Email;"));
        QVERIFY(!desktopValue(m_entry, QStringLiteral("Comment")).isEmpty());
        QVERIFY(!desktopValue(m_entry, QStringLiteral("Comment[de]")).isEmpty());
        // The menu starts the program by name from the prefix's bin folder.
        const QFileInfo program(
            installed("bin/" + desktopValue(m_entry, QStringLiteral("Exec")).section(' ', 0, 0)));
        QVERIFY2(program.isExecutable(), qPrintable(program.filePath()));
    }

    void icons_data() {
        QTest::addColumn<int>("size");
        for (const int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("%dx%d", size, size) << size;
    }
    void icons() {
        QFETCH(int, size);
        const QString icon = desktopValue(m_entry, QStringLiteral("Icon"));
        const QImage image(
            installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(icon)));
        QCOMPARE(image.size(), QSize(size, size));
    }

    void metainfo() {
        const QString file = installed("share/metainfo/" + kAppId + ".metainfo.xml");
        const Run validate = run(QStringLiteral("appstreamcli"),
                                 {QStringLiteral("validate"), QStringLiteral("--no-net"), file});
        QVERIFY2(validate.exitCode == 0, qPrintable(validate.output));
        // The tree as a whole: the desktop entry the metainfo launches is there, nothing is left to complain
        // of.
        const Run tree =
            run(QStringLiteral("appstreamcli"), {QStringLiteral("validate-tree"), QStringLiteral("--no-net"),
                                                 QStringLiteral("--strict"), m_prefix});
        QVERIFY2(tree.exitCode == 0, qPrintable(tree.output));
        QVERIFY2(readBytes(file).contains("<release version=\"" TARNEL_VERSION "\""),
                 "release is not this version");
        QVERIFY(readBytes(file).contains("<project_license>GPL-3.0-or-later</project_license>"));
    }

    // The package names the Debian packages of the linked libraries and carries the same layout.
    void debianPackage() {
        const Run depends =
            run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), m_deb, QStringLiteral("Depends")});
        for (const char* library :
             {"libqt6widgets6", "libqt6network6", "libgmime-3.0-0", "libqscintilla2-qt6"})
            QVERIFY2(depends.output.contains(QLatin1String(library)), qPrintable(depends.output));
        const Run contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), m_deb});
        for (const char* file :
             {"./usr/bin/tarnel\n", "./usr/share/tarnel/tarneld.html\n", "./usr/share/tarnel/tarnel.html\n",
              "./usr/share/doc/tarnel/copyright\n", "./usr/share/doc/tarnel/changelog.gz\n",
              "./usr/share/man/man1/tarnel.1.gz\n"})
            QVERIFY2(contents.output.contains(QLatin1String(file)), qPrintable(contents.output));
    }

    // What a distribution checks: no error, no warning, and no finding beyond the accepted ones.
    void lintian() {
        const Run lint =
            run(QStringLiteral("lintian"), {QStringLiteral("-I"), QStringLiteral("--pedantic"), m_deb});
        QVERIFY2(lint.exitCode == 0, qPrintable(lint.output));
        for (const LintianTag& found : lintianTags(lint.output)) {
            const bool accepted =
                found.severity != u'E' && found.severity != u'W' && kAcceptedLintianTags.contains(found.tag);
            QVERIFY2(accepted, qPrintable(found.line));
        }
    }

    // The licence, machine-readable, for the program and the drawings and texts it ships.
    void copyright() {
        const QString text = QString::fromUtf8(readBytes(packaged("usr/share/doc/tarnel/copyright")));
        QVERIFY(text.startsWith(
            QStringLiteral("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")));
        for (const char* files : {"Files: *\n", "Files: app/icons/* import/icons/* recipients/icons/*\n"}) {
            const qsizetype stanza = text.indexOf(QLatin1String(files));
            QVERIFY2(stanza >= 0, files);
            const QString rest = text.mid(stanza);
            QVERIFY2(rest.left(rest.indexOf(QStringLiteral("\n\n")))
                         .contains(QStringLiteral("\nLicense: GPL-3.0-or-later\n")),
                     files);
        }
        QVERIFY(text.contains(QStringLiteral("\nLicense: GPL-3.0-or-later\n This program is free software")));
        QVERIFY(text.contains(QStringLiteral("/usr/share/common-licenses/GPL-3")));
    }

    // The changelog's latest entry is this version; the manual page names the program's files and the
    // variables it honours, and reads without a complaint from man.
    void changelogAndManualPage() {
        const Run changelog = run(QStringLiteral("gzip"),
                                  {QStringLiteral("-dc"), packaged("usr/share/doc/tarnel/changelog.gz")});
        QVERIFY2(changelog.output.startsWith(QStringLiteral("tarnel (" TARNEL_VERSION ") ")),
                 qPrintable(changelog.output));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        const Run page = run(QStringLiteral("man"),
                             {QStringLiteral("--warnings"), QStringLiteral("--no-hyphenation"),
                              QStringLiteral("--no-justification"), QStringLiteral("-l"),
                              QStringLiteral("-Tutf8"), packaged("usr/share/man/man1/tarnel.1.gz")},
                             environment);
        QCOMPARE(page.exitCode, 0);
        QVERIFY2(!page.output.contains(QStringLiteral("warning")), qPrintable(page.output));
        // Bold and italics come as overstrikes: a character and a backspace before the one shown.
        const QString shown = QString(page.output).remove(QRegularExpression(QStringLiteral(".\b")));
        for (const QString& name : {settingsFileName(), defaultListFileName(), defaultMessageFileName(),
                                    QStringLiteral("XDG_DATA_HOME"), QStringLiteral("prdata/"),
                                    QStringLiteral("/usr/share/tarnel/tarneld.html")})
            QVERIFY2(shown.contains(name), qPrintable(name));
    }

    // Built as Debian builds its packages: stack protector on (the symbol it calls), every symbol bound at
    // start and the table read-only afterwards (lintian's relro and bindnow checks above).
    void hardening() {
        const Run symbols = run(QStringLiteral("nm"), {QStringLiteral("-D"), packaged("usr/bin/tarnel")});
        QVERIFY2(symbols.output.contains(QStringLiteral(" U __stack_chk_fail")), qPrintable(symbols.output));
    }

    // The program in bin/ finds its help files in the installed data folder, and starts there.
    void programFindsItsHelp() {
        const QFileInfo program(installed("bin/tarnel"));
        QVERIFY(program.isFile() && !program.isSymLink() && program.isExecutable());
        const QString files = programFilesFolder(installed("bin/"));
        QCOMPARE(files, installed("share/tarnel/"));
        for (const char* help : {"tarnel.html", "tarneld.html"})
            QVERIFY2(QFileInfo(files + QLatin1String(help)).isFile(), help);

        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            environment.insert(QLatin1String(name), home.path() + QLatin1Char('/') + QLatin1String(name));
        QProcess running;
        running.setProcessEnvironment(environment);
        running.start(program.filePath(), QStringList());
        QVERIFY(running.waitForStarted());
        const auto stop = qScopeGuard([&] {
            running.kill();
            running.waitForFinished();
        });
        QVERIFY2(!running.waitForFinished(1500), qPrintable(running.readAllStandardError()));
    }
};

TARNEL_TEST_MAIN(TstInstall)
#include "tst_install.moc"
