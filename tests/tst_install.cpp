#include "core/paths.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testfiles.h"
#include "tests/support/testsmtpserver.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
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
    }

    void desktopEntry() {
        const Run validate = run(QStringLiteral("desktop-file-validate"),
                                 {installed("share/applications/" + kAppId + ".desktop")});
        QVERIFY2(validate.exitCode == 0 && !validate.output.contains(QStringLiteral("error")),
                 qPrintable(validate.output));
        QCOMPARE(desktopValue(m_entry, QStringLiteral("Categories")),
                 QStringLiteral("Office;Network;Email;"));
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
    }

    // The package names the Debian packages of the linked libraries and carries the same layout.
    void debianPackage() {
        QTemporaryDir out;
        const Run pack =
            run(QStringLiteral(TARNEL_CPACK_COMMAND),
                {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                 QStringLiteral(TARNEL_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out.path()});
        QVERIFY2(pack.exitCode == 0, qPrintable(pack.output));
        const QStringList debs =
            QDir(out.path()).entryList({QStringLiteral("tarnel_" TARNEL_VERSION "_*.deb")});
        QCOMPARE(debs.size(), 1);
        const QString deb = out.filePath(debs.first());
        const Run depends =
            run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Depends")});
        for (const char* library :
             {"libqt6widgets6", "libqt6network6", "libgmime-3.0-0", "libqscintilla2-qt6"})
            QVERIFY2(depends.output.contains(QLatin1String(library)), qPrintable(depends.output));
        const Run contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb});
        for (const char* file :
             {"./usr/bin/tarnel\n", "./usr/share/tarnel/tarneld.html\n", "./usr/share/tarnel/tarnel.html\n"})
            QVERIFY2(contents.output.contains(QLatin1String(file)), qPrintable(contents.output));
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
