// `lumbrel --bundle`, as a script runs it: the real application binary with
// the bundled packer, no display, no window.
#include "Processes.h"
#include "TestFiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class HeadlessTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        const std::string home = m_home->path().toStdString();
        writeFile(home + "/project/src/main.c", "const char *tool = \"made with repomix\";\n");
        writeFile(home + "/dist/index.js", "export const answer = 42;\n");
    }

    void bundlesWhatWasChosenAndSaysWhatWasLeftOut()
    {
        const Run run = lumbrel({"--bundle", path("out.md"), "--style", "markdown", path("project"), path("dist"),
                                 path("project/src"), path("gone")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith("Bundled 2 files, "), run.out.constData());
        QVERIFY(run.out.contains(path("gone").toUtf8() + ": no longer there"));
        QVERIFY(run.err.contains("Repomix output: ")); // the log goes to standard error
        // Plain text for a terminal: no emoji, no scratch or staging paths
        // that are gone by now, the packer's command line only with --verbose.
        QVERIFY2(!run.err.contains("\xF0\x9F") && !run.err.contains("\xE2\x9C"), run.err.constData());
        QVERIFY2(!run.err.contains("output-") && !run.err.contains("repomix-temp-"), run.err.constData());
        QVERIFY2(!run.err.contains("repomix.cjs"), run.err.constData());

        const QByteArray bundle = readAll(path("out.md"));
        QVERIFY(bundle.startsWith("This file is a merged representation")); // the packer's header, branded
        QVERIFY(bundle.contains("by Lumbrel."));
        QVERIFY(bundle.contains("made with repomix")); // the user's text is left alone
        QVERIFY(bundle.contains("## File: dist/index.js"));
        QCOMPARE(bundle.count("## File: project/src/main.c"), 1); // inside a chosen folder: once
    }

    void refusedRunsLeaveTheOutputAsItWas()
    {
        writeFile(path("out.txt").toStdString(), "kept\n");
        for (const auto &[arguments, message] : {std::pair{QStringList{"--style", "json", path("project")},
                                                           QByteArray("--style takes plain, xml or markdown")},
                                                 std::pair{QStringList{}, QByteArray("name the files and folders")}}) {
            const Run run = lumbrel(QStringList{"--bundle", path("out.txt")} + arguments);
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.contains(message), run.err.constData());
        }
        QCOMPARE(readAll(path("out.txt")), QByteArray("kept\n"));
    }

    void aSignalStopsTheRunAndKeepsTheOutput()
    {
        writeFile(path("out.txt").toStdString(), "kept\n");
        for (int i = 0; i < 3000; ++i)
            writeFile(QStringLiteral("%1/big/f%2.c").arg(m_home->path()).arg(i).toStdString(), "int x; // " + std::to_string(i) + "\n");
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(LUMBREL_BINARY), {"--bundle", path("out.txt"), path("big")});
        QVERIFY(process.waitForStarted());
        const pid_t lumbrel = static_cast<pid_t>(process.processId());
        QTRY_VERIFY_WITH_TIMEOUT(!childProcesses("repomix", lumbrel).empty(), 60000); // the packer runs
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 130);
        QCOMPARE(readAll(path("out.txt")), QByteArray("kept\n"));
    }

private:
    struct Run
    {
        int status;
        QByteArray out;
        QByteArray err;
    };

    QString path(const QString &relative) const { return m_home->filePath(relative); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("HOME"), m_home->path());
        return environment;
    }

    Run lumbrel(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(LUMBREL_BINARY), arguments);
        if (!process.waitForFinished(120000))
            qFatal("lumbrel --bundle did not finish");
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    std::unique_ptr<QTemporaryDir> m_home;
};

QTEST_GUILESS_MAIN(HeadlessTest)
#include "tst_headless.moc"
