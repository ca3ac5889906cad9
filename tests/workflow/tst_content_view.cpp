#include "ContentView.h"
#include "FakePacker.h"
#include "TestFiles.h"

#include <QDir>
#include <QKeyEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {
// A stand-in packer that counts its runs in `runs` and reports the run's
// number as its file count, so a test can tell which run published.
QByteArray countingPacker(const QString &runs, const QByteArray &beforeReport = {})
{
    return "echo run >> '" + runs.toUtf8() + "'\n"
           "n=$(wc -l < '" + runs.toUtf8() + "')\n"
           + beforeReport + "\n"
           "echo 'Repomix repomix REPOMIX' > \"$out\"\n"
           "printf 'Total Files: %s files\\nTotal Chars: 1,234 chars\\nTotal Tokens: 56 tokens\\n' $n\n";
}

int lineCount(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}
} // namespace

class ContentViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // Staging and scratch files go to a temporary directory of the test's own.
        QDir(m_dir->path()).mkpath("tmp");
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_dir->filePath("tmp").toUtf8());
        m_store = std::make_unique<QSettings>(m_dir->filePath("prefs.ini"), QSettings::IniFormat);
        m_options = std::make_unique<BundleOptions>(m_store.get());
        m_runs = m_dir->filePath("runs");
        QDir(m_dir->path()).mkpath("items/a");
        QDir(m_dir->path()).mkpath("items/b");
        QDir(m_dir->path()).mkpath("items/c");
    }
    void cleanup()
    {
        qputenv("TMPDIR", m_oldTmp);
        m_options.reset();
        m_store.reset();
        m_dir.reset();
    }

    void dropKeepsOrderSkipsDuplicatesAndRefreshesOnce()
    {
        ContentView view(m_options.get(), m_packer.location(countingPacker(m_runs)));
        QSignalSpy estimating(view.estimatesManager(), &EstimatesManager::isEstimatingChanged);
        QVERIFY(view.handleDrop({item("a"), item("b"), QUrl("https://example.com/x")}));
        QVERIFY(view.handleDrop({item("a"), item("c")}));
        QCOMPARE(view.files()->urls(), (QList<QUrl>{item("a"), item("b"), item("c")}));
        QCOMPARE(estimating.count(), 0); // nothing before the half second
        QTRY_COMPARE(estimating.count(), 2);
        QVERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalChars(), 1234);
        QCOMPARE(view.estimatedTokens(), 56);
        QTRY_COMPARE(view.totalFiles(), lineCount(m_runs)); // the last run published
        QVERIFY(!QFile::exists(QDir(RepomixWrapper::privateDirectory().value()).filePath("temp_output.txt")));
    }

    void arrowKeysMoveTheHighlight()
    {
        ContentView view(m_options.get(), m_packer.location(countingPacker(m_runs)));
        QSignalSpy scrolls(&view, &ContentView::scrollToRequested);
        // Keys travel as they do in the application: to some object, seen
        // first by the monitor; true when the monitor consumed the key.
        QObject focus;
        const auto key = [&](int code) {
            QKeyEvent event(QEvent::KeyPress, code, Qt::NoModifier);
            return QCoreApplication::sendEvent(&focus, &event);
        };
        QVERIFY(!key(Qt::Key_Down)); // no monitor yet
        view.setupKeyboardMonitor();
        view.setupKeyboardMonitor(); // a second install must not move the highlight twice

        QVERIFY(!key(Qt::Key_Down)); // empty list: keys pass through
        view.addFile(item("a"));
        view.addFile(item("b"));
        QVERIFY(key(Qt::Key_Up)); // no highlight: either arrow picks the first entry
        QCOMPARE(view.selectionState()->selectedFile(), item("a"));
        QVERIFY(key(Qt::Key_Up)); // first entry: consumed, unchanged
        QCOMPARE(view.selectionState()->selectedFile(), item("a"));
        QVERIFY(key(Qt::Key_Down));
        QVERIFY(key(Qt::Key_Down)); // last entry: consumed, unchanged
        QCOMPARE(view.selectionState()->selectedFile(), item("b"));
        QCOMPARE(scrolls.count(), 2);
        QCOMPARE(scrolls.last().at(0).toUrl(), item("b"));
        QVERIFY(!key(Qt::Key_Delete));
        QVERIFY(!key(Qt::Key_Backspace));

        view.removeFile(item("b")); // a stale highlight reads as none
        QCOMPARE(view.selectionState()->selectedFile(), item("b"));
        QVERIFY(key(Qt::Key_Down));
        QCOMPARE(view.selectionState()->selectedFile(), item("a"));

        view.removeKeyboardMonitor();
        QVERIFY(!key(Qt::Key_Down));
    }

    void emptySelectionZeroesWithoutARun()
    {
        ContentView view(m_options.get(), m_packer.location(countingPacker(m_runs)));
        view.addFile(item("a"));
        view.updateEstimates();
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalFiles(), 1);
        view.removeFile(item("missing")); // not in the list: nothing happens
        QCOMPARE(lineCount(m_runs), 1);
        view.clearAll();
        QCOMPARE(view.totalFiles(), 0);
        QCOMPARE(view.totalChars(), 0);
        QCOMPARE(view.estimatedTokens(), 0);
        QCOMPARE(lineCount(m_runs), 1);
    }

    void newerEstimateStopsTheOlderOne()
    {
        const QString pids = m_dir->filePath("pids");
        // The first run hangs until it is stopped; later runs finish at once.
        ContentView view(m_options.get(), m_packer.location(countingPacker(
            m_runs, "if [ \"$n\" = 1 ]; then sleep 300 & echo $! >> '" + pids.toUtf8() + "'; wait; fi")));
        QSignalSpy published(&view, &ContentView::totalFilesChanged);
        view.addFile(item("a"));
        view.updateEstimates();
        QTRY_VERIFY(QFileInfo(pids).size() > 0);
        view.updateEstimates();
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalFiles(), 2);
        QCOMPARE(published.count(), 1); // the stopped run published nothing
        const pid_t sleeper = readAll(pids).trimmed().toInt();
        QTRY_VERIFY(::kill(sleeper, 0) != 0);
        // Only the newest staging directory is left, and it is the recorded one.
        QTRY_COMPARE(QDir(RepomixWrapper::privateDirectory().value()).entryList({"repomix-temp-*"}, QDir::Dirs).size(), 1);
    }

    void ignorePatternEditsAreDebounced()
    {
        ContentView view(m_options.get(), m_packer.location(countingPacker(m_runs, "printf '%s\\n' \"$@\" > '"
                                                                            + m_dir->filePath("args").toUtf8() + "'")));
        view.addFile(item("a"));
        QSignalSpy estimating(view.estimatesManager(), &EstimatesManager::isEstimatingChanged);
        for (const QString &text : {"*", "*.", "*.l", "*.lo", "*.log"})
            view.setIgnorePatterns(text);
        QCOMPARE(estimating.count(), 0);
        QTRY_COMPARE(estimating.count(), 2);
        QVERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(lineCount(m_runs), 1);
        QVERIFY(readAll(m_dir->filePath("args")).contains("--ignore\n*.log\n"));
    }

    void closingTheSettingsRefreshes()
    {
        ContentView view(m_options.get(), m_packer.location(countingPacker(m_runs)));
        view.addFile(item("a"));
        view.setShowSettings(true);
        m_options->setStyle("xml"); // changing an option alone starts nothing
        QCOMPARE(lineCount(m_runs), 0);
        view.setShowSettings(false);
        QVERIFY(view.estimatesManager()->isEstimating());
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(lineCount(m_runs), 1);
    }

    void failedEstimatesKeepTheTotals_data()
    {
        QTest::addColumn<bool>("stagingFails");
        QTest::newRow("staging fails") << true;
        QTest::newRow("packer fails") << false;
    }
    void failedEstimatesKeepTheTotals()
    {
        QFETCH(bool, stagingFails);
        const QString fail = m_dir->filePath("fail");
        ContentView view(m_options.get(), m_packer.location(countingPacker(
            m_runs, "if [ -e '" + fail.toUtf8() + "' ]; then echo broken >&2; exit 1; fi")));
        view.addFile(item("a"));
        view.updateEstimates();
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalFiles(), 1);

        if (stagingFails) {
            qputenv("TMPDIR", m_dir->filePath("missing").toUtf8()); // no temporary folder to stage in
        } else {
            QFile(fail).open(QIODevice::WriteOnly);
        }
        view.updateEstimates();
        QVERIFY(view.estimatesManager()->isEstimating());
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalFiles(), 1);
        QCOMPARE(view.showAlert(), false);
    }

    void bundleJobPublishesAndBrands()
    {
        ContentView view(m_options.get(), m_packer.location(countingPacker(m_runs)));
        m_options->setStyle("markdown");
        QSignalSpy dialog(&view, &ContentView::saveDialogRequested);
        view.addFile(item("a"));
        view.startBundling();
        QCOMPARE(dialog.count(), 1);
        QCOMPARE(dialog.at(0).at(0).toString(), QStringLiteral("bundled-output.md"));

        view.saveDialogFinished({}); // cancelled
        QVERIFY(!view.isProcessing());

        const QUrl destination = QUrl::fromLocalFile(m_dir->filePath("bundle.md"));
        QStringList order;
        connect(&view, &ContentView::totalFilesChanged, this, [&] { order << "totals"; });
        connect(&view, &ContentView::outputFileChanged, this, [&] { order << "outputFile"; });
        connect(&view, &ContentView::isProcessingChanged, this, [&] { order << "isProcessing"; });
        view.saveDialogFinished(destination);
        QVERIFY(view.isProcessing());
        QTRY_VERIFY(!view.isProcessing());
        QCOMPARE(order, (QStringList{"isProcessing", "totals", "outputFile", "isProcessing"}));
        QCOMPARE(view.outputFile(), destination);
        QCOMPARE(view.totalFiles(), 1);
        QCOMPARE(view.files()->count(), 1);
        QCOMPARE(readAll(destination.toLocalFile()), QByteArray("Lumbrel Lumbrel REPOMIX\n"));

        // Choosing an existing file asks first; declining leaves the file alone.
        QSignalSpy confirm(&view, &ContentView::replaceConfirmationRequested);
        view.saveDialogFinished(destination);
        QCOMPARE(confirm.count(), 1);
        QCOMPARE(confirm.at(0).at(0).toString(), QStringLiteral("bundle.md"));
        QVERIFY(!view.isProcessing());
        view.confirmReplace(false);
        QVERIFY(!view.isProcessing());
        view.saveDialogFinished(destination);
        view.confirmReplace(true);
        QVERIFY(view.isProcessing());
        QTRY_VERIFY(!view.isProcessing());
        QCOMPARE(lineCount(m_runs), 2);

        view.setIgnorePatterns("*.md");
        view.resetState();
        QVERIFY(view.outputFile().isEmpty());
        QCOMPARE(view.files()->count(), 0);
        QCOMPARE(view.totalFiles(), 0);
        QCOMPARE(view.ignorePatterns(), QStringLiteral("*.md"));
        QCOMPARE(m_options->style(), QStringLiteral("markdown"));
    }

    void failedBundleShowsTheAlertAndKeepsTheList()
    {
        ContentView view(m_options.get(), m_packer.location("echo 'disk on fire' >&2; exit 7"));
        view.addFile(item("a"));
        view.saveDialogFinished(QUrl::fromLocalFile(m_dir->filePath("bundle.txt")));
        QTRY_VERIFY(view.showAlert());
        QVERIFY(!view.isProcessing());
        QCOMPARE(view.alertMessage(), QStringLiteral("Failed to bundle files: disk on fire\n"));
        QCOMPARE(view.files()->urls(), QList<QUrl>{item("a")});
        QVERIFY(view.outputFile().isEmpty());

        view.setShowAlert(false);
        view.saveDialogFinished(QUrl("sftp://host/bundle.txt")); // a place the packer cannot write to
        QVERIFY(view.showAlert());
        QVERIFY(view.alertMessage().startsWith(QLatin1String("Failed to bundle files: ")));
        QVERIFY(!view.isProcessing());
    }

    void quittingStopsThePackerAndCleansUp()
    {
        const QString pids = m_dir->filePath("pids");
        QString staging;
        {
            ContentView view(m_options.get(), m_packer.location(
                "echo $1 > /dev/null; for last; do :; done; echo \"$last\" > '" + m_dir->filePath("staging").toUtf8()
                + "'; sleep 300 & echo $! > '" + pids.toUtf8() + "'; wait"));
            view.addFile(item("a"));
            view.updateEstimates();
            QTRY_VERIFY(QFileInfo(pids).size() > 0);
            staging = QString::fromUtf8(readAll(m_dir->filePath("staging")).trimmed());
            QVERIFY(QFileInfo::exists(staging));
        }
        QVERIFY(!QFileInfo::exists(staging));
        const pid_t sleeper = readAll(pids).trimmed().toInt();
        QTRY_VERIFY(::kill(sleeper, 0) != 0);
    }

    void brandingStreamsAndRefusesNonUtf8()
    {
        // A word straddling the 1 MiB read boundary is still replaced.
        QByteArray text(1024 * 1024 - 3, 'x');
        text += "Repomix and repomix, ü and REPOMIX";
        const QString path = m_dir->filePath("big.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        QVERIFY(brandFile(path));
        QByteArray expected = text;
        expected.replace("Repomix", "Lumbrel").replace("repomix", "Lumbrel");
        QCOMPARE(readAll(path), expected);

        const QByteArray latin1 = "Repomix caf\xe9";
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(latin1);
        file.close();
        QVERIFY(!brandFile(path));
        QCOMPARE(readAll(path), latin1);

        const QByteArray cut = "repomix \xc3"; // ends inside a character
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(cut);
        file.close();
        QVERIFY(!brandFile(path));
        QCOMPARE(readAll(path), cut);
    }

private:
    QUrl item(const char *name) const { return QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("items/") + name)); }

    FakePacker m_packer;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<BundleOptions> m_options;
    QString m_runs;
    QByteArray m_oldTmp;
};

QTEST_GUILESS_MAIN(ContentViewTest)
#include "tst_content_view.moc"
