// `lumbrel --bundle`, as a script runs it: the real application binary with
// the bundled packer, no display, no window.
#include "Processes.h"
#include "TestFiles.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <limits>

class HeadlessTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        const std::string home = m_home->path().toStdString();
        writeFile(home + "/project/src/main.c", "const char *tool = \"made with repomix\"; // kept\n");
        writeFile(home + "/dist/index.js", "export const answer = 42;\n");
        writeFile(home + "/project/blob.txt", std::string("a\0b\0c", 5));
    }

    void bundlesWhatWasChosenAndSaysWhatWasLeftOut()
    {
        const Run run = lumbrel({"--bundle", path("out.md"), "--style", "markdown", "--no-remove-comments", "--skip-missing",
                                 path("project"), path("dist"), path("project/src"), path("gone")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith("Bundled 2 files, "), run.out.constData());
        QVERIFY(run.err.contains("skipped, not found: " + path("gone").toUtf8()));
        QVERIFY2(run.out.contains(path("project/blob.txt").toUtf8() + ": binary file"), run.out.constData()); // by its content
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
        QVERIFY(bundle.contains("// kept")); // --no-remove-comments
        QVERIFY(bundle.contains("## File: dist/index.js"));
        QCOMPARE(bundle.count("## File: project/src/main.c"), 1); // inside a chosen folder: once
    }

    // A wrong request exits 2, a run that cannot bundle exits 1; neither
    // writes anything, and none starts a window (there is no display here).
    void refusedRunsLeaveTheOutputAsItWas_data()
    {
        QTest::addColumn<QStringList>("arguments"); // %1: the home folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, const QStringList &arguments, int status, const char *message) {
            QTest::newRow(name) << arguments << status << QString::fromUtf8(message);
        };
        row("a bad value", {"--bundle", "%1/out.txt", "--style", "json", "%1/project"}, 2,
            "--style takes plain, xml or markdown, not \"json\"");
        row("no paths", {"--bundle", "%1/out.txt"}, 2, "name the files and folders");
        row("a mistyped option", {"--bundel", "%1/out.txt", "%1/project"}, 2, "unknown option --bundel");
        row("an option for the window", {"--compress", "%1/project"}, 2, "--compress goes with --bundle or --estimate");
        row("an empty output", {"--bundle=", "%1/project"}, 2, "--bundle needs the name of the output file");
        row("the output is an input", {"--bundle", "%1/project/src/main.c", "%1/project"}, 2,
            "\u201Cmain.c\u201D lies inside \u201Cproject\u201D, which is being bundled");
        row("the output is the input", {"--bundle", "%1/out.txt", "%1/out.txt"}, 2,
            "\u201Cout.txt\u201D is one of the files being bundled");
        row("a missing path", {"--bundle", "%1/out.txt", "%1/project", "%1/nonexistent"}, 1, "not found: %1/nonexistent");
        row("a path under a file", {"--bundle", "%1/out.txt", "%1/project/src/main.c/x"}, 1,
            "%1/project/src/main.c/x: a part of its path is a file, not a folder");
        row("only missing paths", {"--bundle", "%1/out.txt", "--skip-missing", "%1/nonexistent"}, 1,
            "nothing to bundle: none of the given paths exists");
        row("nothing packed", {"--bundle", "%1/out.txt", "--ignore", "**/*.c,**/*.js", "%1/project", "%1/dist"}, 1,
            "nothing to bundle: every file was left out (matches the ignore patterns: 2)");
    }
    void refusedRunsLeaveTheOutputAsItWas()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        writeFile(path("out.txt").toStdString(), "kept\n");
        const QString source = QString::fromUtf8(readAll(path("project/src/main.c")));
        for (QString &argument : arguments)
            argument.replace("%1", m_home->path());
        const Run run = lumbrel(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message.replace("%1", m_home->path()).toUtf8()), run.err.constData());
        if (status == 2)
            QCOMPARE(run.err.count('\n'), 1); // one line, nothing else
        QCOMPARE(readAll(path("out.txt")), QByteArray("kept\n"));
        QCOMPARE(QString::fromUtf8(readAll(path("project/src/main.c"))), source);
    }

    // A split bundle is written as numbered parts beside the chosen name,
    // each branded; together they hold every file once.
    void splitBundlesAreWrittenInParts()
    {
        for (int i = 0; i < 40; ++i)
            writeFile(m_home->filePath(QStringLiteral("many/part%1/f%2.c").arg(i / 10).arg(i)).toStdString(),
                      "int value" + std::to_string(i) + " = " + std::to_string(i) + "; /* " + std::string(60, 'x') + " */\n");
        const Run run = lumbrel({"--bundle", path("out.txt"), "--split-output", "3kb", "--no-remove-comments", path("many")});
        QCOMPARE(run.status, 0);
        QVERIFY2(!run.err.contains("output-") && !run.err.contains("repomix-temp-"), run.err.constData()); // parts too
        QVERIFY(!QFileInfo::exists(path("out.txt")));
        QStringList files;
        int parts = 0;
        for (; QFileInfo::exists(path(QStringLiteral("out.%1.txt").arg(parts + 1))); ++parts) {
            const QByteArray part = readAll(path(QStringLiteral("out.%1.txt").arg(parts + 1)));
            QVERIFY(part.contains("by Lumbrel") && !part.contains("Repomix"));
            files += filesIn(part);
            QVERIFY(run.out.contains(path(QStringLiteral("out.%1.txt").arg(parts + 1)).toUtf8()));
        }
        QVERIFY2(parts > 1, run.out.constData());
        QCOMPARE(files.size(), 40);
        files.removeDuplicates();
        QCOMPARE(files.size(), 40);
    }

    // Unticked paths and git's changed files: staged or not as the window's
    // ticks are, through the same job.
    void excludedAndChangedFiles()
    {
        const std::string home = m_home->path().toStdString();
        for (const char *file : {"repo/kept.c", "repo/edited.c", "repo/docs/a.md", "repo/docs/b.md"})
            writeFile(home + "/" + file, std::string("// ") + file + "\n");
        Run run = lumbrel({"--bundle", path("out.txt"), "--exclude", "docs/a.md,kept.c", path("repo")});
        QCOMPARE(run.status, 0);
        QCOMPARE(filesIn(readAll(path("out.txt"))), (QStringList{"repo/docs/b.md", "repo/edited.c"}));
        QVERIFY(!run.out.contains("unticked")); // left out as asked: not reported

        if (QStandardPaths::findExecutable("git").isEmpty())
            QSKIP("git is not installed");
        const auto git = [&](const QStringList &arguments) {
            return QProcess::execute("git", QStringList{"-C", path("repo"), "-c", "user.name=t", "-c", "user.email=t@t"} + arguments) == 0;
        };
        QVERIFY(git({"init", "-q"}) && git({"add", "."}) && git({"commit", "-qm", "one"}));
        writeFile(home + "/repo/edited.c", "int edited;\n");
        writeFile(home + "/repo/docs/new.md", "new\n");
        run = lumbrel({"--bundle", path("out.txt"), "--changed", path("repo")});
        QCOMPARE(run.status, 0);
        QCOMPARE(filesIn(readAll(path("out.txt"))), (QStringList{"repo/docs/new.md", "repo/edited.c"}));
        run = lumbrel({"--bundle", path("other.txt"), "--changed", path("project")});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("--changed: " + path("project").toUtf8() + ": not in a git work tree"), run.err.constData());
    }

    // Each file's part, largest first, and the same totals a bundle has.
    void estimatesAsJson()
    {
        writeFile(m_home->filePath("project/big.c").toStdString(), std::string(4000, 'x') + "\n");
        const Run run = lumbrel({"--estimate", "--json", "--encoding", "cl100k_base", path("project"), path("dist")});
        QCOMPARE(run.status, 0);
        const QJsonObject estimate = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(estimate.value("files").toInt(), 3);
        QCOMPARE(estimate.value("encoding").toString(), QStringLiteral("cl100k_base"));
        QCOMPARE(estimate.value("contextLimit").toString(), QStringLiteral("1M"));
        QCOMPARE(estimate.value("overContextLimit").toBool(), false);
        const QJsonArray files = estimate.value("perFile").toArray();
        QCOMPARE(files.size(), 3);
        QCOMPARE(files.at(0).toObject().value("path").toString(), QStringLiteral("project/big.c"));
        QCOMPARE(files.at(0).toObject().value("file").toString(), path("project/big.c"));
        qint64 previous = std::numeric_limits<qint64>::max();
        for (const QJsonValue &file : files) {
            QVERIFY(file.toObject().value("tokens").toInteger() <= previous);
            previous = file.toObject().value("tokens").toInteger();
        }
        const Run bundle = lumbrel({"--bundle", path("out.txt"), "--encoding", "cl100k_base", path("project"), path("dist")});
        QVERIFY2(bundle.out.contains(QStringLiteral("%1 tokens").arg(QLocale::c().toString(estimate.value("tokens").toInteger())).toUtf8()),
                 bundle.out.constData());
    }

    void aSignalStopsTheRunAndKeepsTheOutput()
    {
        writeFile(path("out.txt").toStdString(), "kept\n");
        for (int i = 0; i < 3000; ++i)
            writeFile(QStringLiteral("%1/big/f%2.c").arg(m_home->path()).arg(i).toStdString(), "int x; // " + std::to_string(i) + "\n");
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(LUMBREL_BINARY), {"--bundle", path("out.txt"), "--verbose", path("big")});
        QVERIFY(process.waitForStarted());
        const pid_t lumbrel = static_cast<pid_t>(process.processId());
        QTRY_VERIFY_WITH_TIMEOUT(!childProcesses(lumbrel, "repomix").empty(), 60000); // the packer runs
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
