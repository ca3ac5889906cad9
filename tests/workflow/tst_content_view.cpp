#include "ContentView.h"
#include "FakePacker.h"
#include "Processes.h"
#include "TestFiles.h"
#include "UserText.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <random>

namespace {
// A stand-in packer that counts its runs in `runs` and reports the run's
// number as its file count, so a test can tell which run published. It writes
// a header of its own and a file section, as the real packer does.
QByteArray countingPacker(const QString &runs, const QByteArray &beforeReport = {})
{
    return "echo run >> '" + runs.toUtf8() + "'\n"
           "n=$(wc -l < '" + runs.toUtf8() + "')\n"
           + beforeReport + "\n"
           "printf 'Packed by Repomix (repomix).\\n\\n# Files\\n\\n## File: repomix.md\\nRepomix repomix REPOMIX\\n' > \"$out\"\n"
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
        // Staging and scratch files go to a temporary directory of the test's own.
        m_dir = std::make_unique<PrivateTemp>();
        m_store = std::make_unique<QSettings>(m_dir->filePath("prefs.ini"), QSettings::IniFormat);
        m_options = std::make_unique<BundleOptions>(m_store.get());
        m_runs = m_dir->filePath("runs");
        for (const char *name : {"items/a/inner", "items/b", "items/c"})
            QDir(m_dir->path()).mkpath(name);
    }
    void cleanup()
    {
        m_options.reset();
        m_store.reset();
        m_dir.reset();
    }

    void selectionKeepsEachItemOnce_data()
    {
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("order, duplicates, remote") << QStringList{"a", "b", "https://x/y", "a", "c"} << QStringList{"a", "b", "c"};
        QTest::newRow("inside a listed folder") << QStringList{"a", "a/inner", "b"} << QStringList{"a", "b"};
        QTest::newRow("a folder over what it holds") << QStringList{"b", "a/inner", "c", "a"} << QStringList{"b", "a", "c"};
        QTest::newRow("the parent of everything") << QStringList{"a", "b", ""} << QStringList{""};
    }
    void selectionKeepsEachItemOnce()
    {
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, listed);
        FileSelection selection;
        QList<QUrl> urls;
        for (const QString &name : dropped)
            urls << (name.startsWith("https") ? QUrl(name) : item(name));
        selection.add(urls);
        QList<QUrl> expected;
        for (const QString &name : listed)
            expected << item(name);
        QCOMPARE(selection.urls(), expected);
    }

    // Adding in batches, one entry at a time or off the UI thread gives the
    // list that adding each entry to the plain list gives, also with folders
    // that take the place of entries listed before, and with removals.
    void addingMatchesThePlainRules()
    {
        // The plain rules, one entry at a time, by scanning the list.
        const auto plainAdd = [](QList<QUrl> &list, const QUrl &url) {
            if (list.contains(url))
                return;
            for (const QUrl &listed : std::as_const(list)) {
                if (FileListModel::contains(listed, url))
                    return;
            }
            qsizetype first = -1;
            for (qsizetype row = list.size() - 1; row >= 0; --row) {
                if (FileListModel::contains(url, list.at(row))) {
                    if (first >= 0)
                        list.removeAt(first);
                    first = row;
                }
            }
            if (first >= 0)
                list[first] = url;
            else
                list << url;
        };
        std::mt19937 random(7);
        const auto randomItem = [&] {
            QString path = QStringLiteral("/p");
            for (int depth = int(random() % 4); depth > 0; --depth)
                path += QStringLiteral("/%1").arg(random() % 3);
            return QUrl::fromLocalFile(path + (random() % 8 == 0 ? QStringLiteral("/") : QString()));
        };
        for (int round = 0; round < 200; ++round) {
            FileListModel batched;
            FileListModel single;
            FileListModel background;
            QList<QUrl> plain;
            QSignalSpy inserted(&batched, &QAbstractItemModel::rowsInserted);
            for (int step = 0; step < 6; ++step) {
                QList<QUrl> urls;
                for (int n = int(random() % 6); n > 0; --n)
                    urls << randomItem();
                if (random() % 4 == 0 && !plain.isEmpty()) { // a row goes between two drops
                    const QUrl gone = plain.at(qsizetype(random() % plain.size()));
                    plain.removeOne(gone);
                    batched.remove(gone);
                    single.remove(gone);
                    background.remove(gone);
                }
                for (const QUrl &url : std::as_const(urls)) {
                    plainAdd(plain, url);
                    single.add(url);
                }
                const qsizetype insertionsBefore = inserted.size();
                batched.add(urls);
                QVERIFY(inserted.size() - insertionsBefore <= 1); // one insertion per drop at most
                FileListModel::Adding adding = background.startAdding(urls);
                adding.run();
                QVERIFY(background.finishAdding(std::move(adding)));
            }
            QCOMPARE(batched.urls(), plain);
            QCOMPARE(single.urls(), plain);
            QCOMPARE(background.urls(), plain);
        }
    }

    // A large drop is merged off the UI thread, after the drops before it;
    // a row removed meanwhile does not come back.
    void largeDropsAreMergedInTheBackgroundInOrder()
    {
        FileSelection selection;
        selection.add({item("first"), item("gone")});
        QList<QUrl> many;
        for (int i = 0; i < 2 * int(FileSelection::backgroundAddingFrom); ++i)
            many << item(QStringLiteral("many/%1").arg(i));
        QList<bool> done;
        selection.addDropped(many, [&](bool changed) { done << changed; });
        selection.addDropped({item("last"), item("many/3")}, [&](bool changed) { done << changed; });
        QCOMPARE(selection.files()->count(), 2); // not yet: the window goes on meanwhile
        selection.remove(item("gone"));
        QTRY_COMPARE(done, (QList<bool>{true, true}));
        QCOMPARE(selection.files()->count(), 2 + many.size());
        QCOMPARE(selection.urls().first(), item("first"));
        QCOMPARE(selection.urls().at(1), many.first());
        QCOMPARE(selection.urls().last(), item("last"));
        QVERIFY(!selection.urls().contains(item("gone")));
    }

    void keysMoveAndRemoveTheHighlight()
    {
        FileSelection selection;
        QSignalSpy scrolls(&selection, &FileSelection::scrollToRequested);
        QVERIFY(!selection.handleKey(Qt::Key_Down)); // empty list: keys pass through
        selection.add({item("a"), item("b"), item("c")});
        QVERIFY(selection.handleKey(Qt::Key_Up)); // no highlight: either arrow picks the first entry
        QCOMPARE(selection.selectionState()->selectedFile(), item("a"));
        QVERIFY(selection.handleKey(Qt::Key_Up)); // first entry: consumed, unchanged
        QCOMPARE(selection.selectionState()->selectedFile(), item("a"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(selection.handleKey(Qt::Key_Down)); // the last entry holds
        QCOMPARE(selection.selectionState()->selectedFile(), item("c"));
        QCOMPARE(scrolls.count(), 3);
        QVERIFY(!selection.handleKey(Qt::Key_Left));

        QVERIFY(selection.handleKey(Qt::Key_Backspace)); // the last goes; the highlight moves up
        QCOMPARE(selection.urls(), (QList<QUrl>{item("a"), item("b")}));
        QCOMPARE(selection.selectionState()->selectedFile(), item("b"));
        selection.remove(item("b")); // a stale highlight reads as none
        QVERIFY(!selection.handleKey(Qt::Key_Delete));
        QVERIFY(selection.handleKey(Qt::Key_Down));
        QCOMPARE(selection.selectionState()->selectedFile(), item("a"));
    }

    // An undo brings back what the newest change took, in its order with its
    // highlight; what was added since stays, unless a returning folder
    // holds it (or it holds what would return). Ten changes are kept.
    void undoRestoresAndKeepsWhatCameSince()
    {
        FileSelection selection;
        QSignalSpy changed(&selection, &FileSelection::changed);
        selection.add({item("a"), item("b"), item("c")});
        selection.selectionState()->setSelectedFile(item("b"));
        QVERIFY(selection.remove(item("b")));
        QCOMPARE(selection.history()->lastChange(), QStringLiteral("Removed \u201Cb\u201D"));
        QVERIFY(selection.undo());
        QCOMPARE(selection.urls(), (QList<QUrl>{item("a"), item("b"), item("c")}));
        QCOMPARE(selection.selectionState()->selectedFile(), item("b"));
        QCOMPARE(changed.count(), 3); // the estimates follow each change

        selection.clear();
        QCOMPARE(selection.history()->lastChange(), QStringLiteral("Cleared 3 items"));
        selection.add({item("c"), item("a/inner")});
        QVERIFY(selection.undo());
        QCOMPARE(selection.urls(), (QList<QUrl>{item("a"), item("b"), item("c")})); // a holds a/inner
        QVERIFY(!selection.undo());

        selection.clear();
        selection.add({item("a/inner")});
        selection.clear();
        selection.add({item("a")});
        QVERIFY(selection.undo()); // a/inner is held by the newer a
        QCOMPARE(selection.urls(), QList<QUrl>{item("a")});

        for (int i = 0; i < SelectionHistory::depth + 2; ++i) {
            selection.add({item("b")});
            selection.remove(item("b"));
        }
        int undone = 0;
        while (selection.undo())
            ++undone;
        QCOMPARE(undone, SelectionHistory::depth);
    }

    // Leaving a file out of a folder is undone like a removal, and a folder
    // that comes back brings back what was left out of it.
    void undoBringsBackWhatWasLeftOutInsideFolders()
    {
        ContentView view(m_options.get(), m_packer.succeeding(1, 10, 3));
        view.addFile(item("a"));
        view.tree()->leaveOut(item("a"), QStringLiteral("inner"));
        const QSet<QString> leftOut{QStringLiteral("inner")};
        QCOMPARE(view.tree()->ticks().value(item("a")).unticked, leftOut);
        QCOMPARE(view.history()->lastChange(), QStringLiteral("Left out \u201Cinner\u201D"));
        view.undo();
        QVERIFY(view.tree()->ticks().isEmpty());

        view.tree()->leaveOut(item("a"), QStringLiteral("inner"));
        view.removeFile(item("a"));
        QVERIFY(view.tree()->ticks().isEmpty());
        view.undo();
        QCOMPARE(view.files()->urls(), QList<QUrl>{item("a")});
        QCOMPARE(view.tree()->ticks().value(item("a")).unticked, leftOut);
    }

    // Drops, and then pattern edits, within half a second start one run each;
    // closing the settings starts one; an empty selection zeroes without one.
    void editsAreDebouncedAndAnEmptySelectionZeroesWithoutARun()
    {
        const QString args = m_dir->filePath("args");
        writeFile(m_dir->root() / "items/b/x.log", "log");
        writeFile(m_dir->root() / "items/b/keep.txt", "kept");
        // The packer notes its arguments and the files it was given.
        ContentView view(m_options.get(),
                         m_packer.location(countingPacker(m_runs, "printf '%s\\n' \"$@\" > '" + args.toUtf8()
                                                                      + "'\nfor a in \"$@\"; do dir=\"$a\"; done\n"
                                                                        "(cd \"$dir\" && find . -type f) >> '"
                                                                      + args.toUtf8() + "'")));
        QSignalSpy estimating(view.estimatesManager(), &EstimatesManager::isEstimatingChanged);
        QVERIFY(view.handleDrop({item("a"), item("b")}));
        QVERIFY(view.handleDrop({item("a"), item("c")}));
        QCOMPARE(estimating.count(), 0); // nothing before the half second
        QTRY_COMPARE(estimating.count(), 2);
        QCOMPARE(lineCount(m_runs), 1);
        QCOMPARE(view.totalFiles(), 1);
        QCOMPARE(view.totalChars(), 1234);
        QCOMPARE(view.estimatedTokens(), 56);
        // Neither the scratch output nor the staging copy outlives the estimate.
        const QDir session(PrivateArea::sessionDirectory().value());
        QTRY_VERIFY(session.entryList({"repomix-temp-*"}, QDir::Dirs).isEmpty());
        QVERIFY(session.entryList({"output-*"}, QDir::Files).isEmpty());

        for (const char *text : {"*", "*.", "*.l", "*.lo", "*.log"})
            view.setIgnorePatterns(text);
        QCOMPARE(estimating.count(), 2);
        QTRY_COMPARE(estimating.count(), 4);
        QCOMPARE(lineCount(m_runs), 2);
        // The last edit counts; the staging applied it inside the chosen
        // folder, so the packer gets no patterns to apply at its root.
        QVERIFY(readAll(args).contains("./b/keep.txt\n"));
        QVERIFY(!readAll(args).contains("x.log") && !readAll(args).contains("--ignore"));

        view.setShowSettings(true);
        m_options->setValue("style", "xml"); // changing an option alone starts nothing
        QCOMPARE(lineCount(m_runs), 2);
        view.setShowSettings(false);
        QVERIFY(view.estimatesManager()->isEstimating());
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(lineCount(m_runs), 3);
        QVERIFY(readAll(args).contains("--style\nxml\n"));

        view.removeFile(item("missing")); // not in the list: nothing happens
        view.clearAll();
        QCOMPARE(view.totalFiles(), 0);
        QCOMPARE(view.totalChars(), 0);
        QCOMPARE(view.estimatedTokens(), 0);
        QCOMPARE(lineCount(m_runs), 3);
    }

    // What cannot join the list is refused as it comes and said; a failed
    // estimate holds "Start bundling" until one succeeds.
    void refusedItemsAndFailedEstimatesAreSaid()
    {
        const QString fail = m_dir->filePath("fail");
        writeFile(fail.toStdString(), "");
        ContentView view(m_options.get(), m_packer.succeeding(1, 10, 3, "[ -e '" + fail.toUtf8() + "' ] && { echo broken >&2; exit 1; }"));
        QSignalSpy announced(&view, &ContentView::announced);
        QDir(m_dir->path()).mkpath("items/locked");
        QFile::setPermissions(m_dir->filePath("items/locked"), QFileDevice::Permissions());
        {
            ObeyFilePermissions obey;
            if (!obey.active())
                QSKIP("cannot put aside the right to read everything");
            view.handleDrop({item("gone"), item("a"), item("locked")});
            QCOMPARE(view.files()->urls(), QList<QUrl>{item("a")});
            const QString gone = QStringLiteral("not found: ") + QDir::toNativeSeparators(item("gone").toLocalFile());
            QCOMPARE(view.statusMessage(), gone + QStringLiteral(" (and 1 more)"));
            QCOMPARE(announced.value(0).value(0).toString(), view.statusMessage());
            view.addFile(item("locked"));
            QCOMPARE(view.statusMessage(),
                     QStringLiteral("cannot be read: ") + QDir::toNativeSeparators(item("locked").toLocalFile()));
        }
        // A name that was not valid UTF-8 reaches us with its bad bytes
        // replaced, and a path may run through a file: neither is "not found".
        const QByteArray badName = QFile::encodeName(m_dir->filePath("items")) + "/bad\xff";
        writeFile(badName.toStdString(), "x");
        view.addFile(QUrl::fromLocalFile(QFile::decodeName(badName)));
        QVERIFY2(view.statusMessage().endsWith(": its name is not valid UTF-8"), qPrintable(view.statusMessage()));
        view.addFile(QUrl::fromLocalFile(fail + "/x"));
        QCOMPARE(view.statusMessage(), QDir::toNativeSeparators(fail + "/x") + ": a part of its path is a file, not a folder");
        QCOMPARE(view.files()->urls(), QList<QUrl>{item("a")});

        QTRY_COMPARE(view.estimatesManager()->errorMessage(), QStringLiteral("broken"));
        QVERIFY(!view.canStart());
        QSignalSpy dialog(view.job(), &BundleJob::saveDialogRequested);
        view.startBundling();
        QCOMPARE(dialog.count(), 0);
        QFile::remove(fail);
        announced.clear();
        view.updateEstimates();
        QTRY_VERIFY(view.canStart());
        QCOMPARE(announced.size(), 1); // the new totals, once
        QCOMPARE(announced.constLast().value(0).toString(), QStringLiteral("1 file, 10 characters, 3 tokens"));
        view.startBundling();
        QCOMPARE(dialog.count(), 1);
    }

    // A bundle is read out once per step and once when it is done; a bundled
    // selection goes first in the recent ones, kept for the next start.
    void bundleStepsAreAnnouncedAndTheSelectionKept()
    {
        ContentView view(m_options.get(), m_packer.location(countingPacker(m_runs)));
        view.recent()->clear();
        view.addFile(item("a"));
        QSignalSpy announced(&view, &ContentView::announced);
        view.job()->run(QUrl::fromLocalFile(m_dir->filePath("out.txt")));
        QTRY_COMPARE(view.job()->screen(), BundleJob::Screen::Completed);
        QStringList said;
        for (const QList<QVariant> &call : announced)
            said << call.value(0).toString();
        QCOMPARE(said, (QStringList{"Copying files\u2026", "Packing\u2026", "Writing the bundle\u2026",
                                    "Bundling completed: 1 file, 1,234 characters, 56 tokens"}));

        for (const char *name : {"b", "c", "a"}) {
            view.backToList();
            view.clearAll();
            view.addFile(item(name));
            view.job()->run(QUrl::fromLocalFile(m_dir->filePath("out.txt")));
            QTRY_COMPARE(view.job()->screen(), BundleJob::Screen::Completed);
        }
        RecentSelections kept; // as the next start reads them
        QCOMPARE(kept.count(), 3); // "a" once, newest first
        QCOMPARE(kept.at(0), QList<QUrl>{item("a")});
        QCOMPARE(kept.at(2), QList<QUrl>{item("b")});
        QDir(m_dir->filePath("items/b")).removeRecursively();
        kept.refresh();
        QVERIFY(!kept.data(kept.index(2), RecentSelections::AvailableRole).toBool());
        QCOMPARE(kept.data(kept.index(2), RecentSelections::LabelRole).toString(), QStringLiteral("b (not found)"));
        view.backToList();
        view.openRecent(1); // "c", in place of the list; undoable
        QCOMPARE(view.files()->urls(), QList<QUrl>{item("c")});
        view.undo();
        QCOMPARE(view.files()->urls(), QList<QUrl>{item("a")});
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
    }

    // Escape on the list stops a running estimate at once: the packer goes,
    // the totals stay, and the next change estimates again.
    void escapeStopsTheEstimate()
    {
        const QString pids = m_dir->filePath("pids");
        // The second run hangs until it is stopped; the others finish at once.
        ContentView view(m_options.get(), m_packer.location(countingPacker(
            m_runs, "if [ \"$n\" = 2 ]; then sleep 300 & echo $! >> '" + pids.toUtf8() + "'; wait; fi")));
        view.addFile(item("a"));
        view.updateEstimates();
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalFiles(), 1);

        view.updateEstimates();
        QTRY_VERIFY(QFileInfo(pids).size() > 0);
        QVERIFY(view.estimatesManager()->isEstimating());
        QVERIFY(view.handleListKey(Qt::Key_Escape));
        QVERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalFiles(), 1);
        const pid_t sleeper = readAll(pids).trimmed().toInt();
        QTRY_VERIFY(::kill(sleeper, 0) != 0);

        view.updateEstimates();
        QTRY_COMPARE(view.totalFiles(), 3);
        QVERIFY(!view.estimatesManager()->isEstimating());
    }

    void failedEstimateSaysSoAndKeepsTheTotals()
    {
        const QString fail = m_dir->filePath("fail");
        ContentView view(m_options.get(), m_packer.location(countingPacker(
            m_runs, "if [ -e '" + fail.toUtf8() + "' ]; then printf '\\033[31mbroken in %s\\033[0m\\n' \"$last\" >&2; exit 1; fi")
            .prepend("for last; do :; done\n")));
        view.addFile(item("a"));
        view.updateEstimates();
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalFiles(), 1);

        QFile(fail).open(QIODevice::WriteOnly);
        view.updateEstimates();
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QCOMPARE(view.totalFiles(), 1);
        // The packer's words, without colour codes or the private staging path.
        QCOMPARE(view.estimatesManager()->errorMessage(), QStringLiteral("broken in"));
        QVERIFY(!view.showAlert());

        QFile::remove(fail);
        view.updateEstimates();
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());
        QVERIFY(view.estimatesManager()->errorMessage().isEmpty());
    }

    void bundleJobPublishesAndBrandsOnlyThePackersText()
    {
        ContentView view(m_options.get(), m_packer.location(countingPacker(m_runs)));
        m_options->setValue("style", "markdown");
        BundleJob *job = view.job();
        QSignalSpy dialog(job, &BundleJob::saveDialogRequested);
        view.addFile(item("a"));
        view.startBundling();
        QCOMPARE(dialog.count(), 1);
        QCOMPARE(dialog.at(0).at(0).toUrl().fileName(), QStringLiteral("bundled-output.md"));
        QCOMPARE(dialog.at(0).at(2).toInt(), 2); // the Markdown file type
        job->saveDialogFinished({}); // cancelled
        QCOMPARE(job->screen(), BundleJob::Screen::Normal);

        // A typed name without an extension gets the style's.
        job->saveDialogFinished(QUrl::fromLocalFile(m_dir->filePath("bundle")));
        QCOMPARE(job->screen(), BundleJob::Screen::Processing);
        QTRY_COMPARE(job->screen(), BundleJob::Screen::Completed);
        const QString destination = m_dir->filePath("bundle.md");
        QCOMPARE(view.outputFile(), QUrl::fromLocalFile(destination));
        QCOMPARE(view.totalFiles(), 1);
        QCOMPARE(readAll(destination), QByteArray("Packed by Lumbrel (Lumbrel).\n\n# Files\n\n## File: repomix.md\nRepomix repomix REPOMIX\n"));

        view.setIgnorePatterns("*.md");
        view.backToList(); // keeps the list
        QCOMPARE(job->screen(), BundleJob::Screen::Normal);
        QCOMPARE(view.files()->count(), 1);
        QTRY_VERIFY(!view.estimatesManager()->isEstimating());

        // Choosing an existing file asks first, naming it (declining: the GUI test).
        QSignalSpy confirm(job, &BundleJob::confirmationRequested);
        job->saveDialogFinished(QUrl::fromLocalFile(destination));
        QCOMPARE(confirm.count(), 1);
        QCOMPARE(confirm.at(0).at(0).toString(), QStringLiteral("Replace File?"));
        QCOMPARE(confirm.at(0).at(1).toString(), QStringLiteral("\u201Cbundle.md\u201D already exists. Do you want to replace it?"));
        job->confirmReplace(true);
        QTRY_COMPARE(job->screen(), BundleJob::Screen::Completed);

        view.resetState(); // "Bundle More Files"
        QVERIFY(view.outputFile().isEmpty());
        QCOMPARE(view.files()->count(), 0);
        QCOMPARE(view.totalFiles(), 0);
        QCOMPARE(view.ignorePatterns(), QStringLiteral("*.md"));
        QCOMPARE(m_options->value("style"), QStringLiteral("markdown"));
    }

    // The alert names the action that failed, and offers another place where
    // the place was the problem.
    void refusedPlacesAndFailuresLeaveEverythingAsItWas_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QByteArray>("packer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("otherPlace");
        const QByteArray works = "echo x > \"$out\"; echo 'Total Files: 1 files'";
        QTest::newRow("packer fails") << "old.txt" << QByteArray("echo 'disk on fire' >&2; exit 7")
                                      << "Failed to bundle files: disk on fire" << "Packing the files failed" << false;
        QTest::newRow("a folder") << "items" << works << "Failed to bundle files: \u201C%1/items\u201D is a folder."
                                  << "Cannot save there" << true;
        QTest::newRow("missing folder") << "gone/out.txt" << works
                                        << "Failed to bundle files: The folder \u201C%1/gone\u201D does not exist."
                                        << "Cannot save there" << true;
        QTest::newRow("not local") << "sftp://host/out.txt" << works << "Failed to bundle files: Bundles can only"
                                   << "Cannot save there" << true;
        // A folder where no file can be made, even by root.
        QTest::newRow("cannot write there") << "/proc/lumbrel-bundle.txt" << works
                                            << "Failed to bundle files: Cannot write \u201C/proc/lumbrel-bundle.txt\u201D"
                                            << "Saving the bundle failed" << true;
    }
    void refusedPlacesAndFailuresLeaveEverythingAsItWas()
    {
        QFETCH(QString, chosen);
        QFETCH(QByteArray, packer);
        QFETCH(QString, message);
        QFETCH(QString, title);
        QFETCH(bool, otherPlace);
        writeFile(m_dir->filePath("old.txt").toStdString(), "the user's own text\n");
        ContentView view(m_options.get(), m_packer.location(packer));
        view.addFile(item("a"));
        const QUrl url = chosen.contains(':') ? QUrl(chosen)
            : QUrl::fromLocalFile(QDir::isAbsolutePath(chosen) ? chosen : m_dir->filePath(chosen));
        view.job()->saveDialogFinished(url);
        view.job()->confirmReplace(true); // where asked
        QTRY_VERIFY(view.showAlert());
        QCOMPARE(view.job()->screen(), BundleJob::Screen::Normal);
        QVERIFY2(view.alertMessage().startsWith(QString(message).replace("%1", m_dir->path())), qPrintable(view.alertMessage()));
        QCOMPARE(view.alertTitle(), title);
        QCOMPARE(view.alertOffersOtherLocation(), otherPlace);
        if (otherPlace) { // "Choose Another Location…": the save dialog again
            QSignalSpy dialog(view.job(), &BundleJob::saveDialogRequested);
            view.chooseAnotherLocation();
            QCOMPARE(dialog.count(), 1);
            QVERIFY(!view.showAlert());
        }
        QCOMPARE(view.files()->urls(), QList<QUrl>{item("a")});
        QCOMPARE(readAll(m_dir->filePath("old.txt")), QByteArray("the user's own text\n"));
        QVERIFY(!QFileInfo::exists(m_dir->filePath("gone")));
    }

    // Cancelling a job stops the packer and leaves the destination as it was;
    // quitting during an estimate stops the packer and removes the staging.
    void cancellingAndQuittingStopThePackerAndLeaveNothing()
    {
        const QString pids = m_dir->filePath("pids");
        const QString staging = m_dir->filePath("staging");
        const auto sleeperEnded = [&] { return ::kill(readAll(pids).trimmed().toInt(), 0) != 0; };
        writeFile(m_dir->filePath("old.txt").toStdString(), "kept\n");
        {
            ContentView view(m_options.get(), m_packer.location(
                "for last; do :; done; echo \"$last\" > '" + staging.toUtf8() + "'; echo partial > \"$out\"\n"
                "sleep 300 & echo $! > '" + pids.toUtf8() + "'; wait"));
            view.addFile(item("a"));
            view.job()->saveDialogFinished(QUrl::fromLocalFile(m_dir->filePath("old.txt")));
            view.job()->confirmReplace(true);
            QTRY_VERIFY(QFileInfo(pids).size() > 0);
            QCOMPARE(view.job()->stage(), Job::Stage::Packing);
            view.job()->cancel();
            QCOMPARE(view.job()->screen(), BundleJob::Screen::Normal);
            QTRY_VERIFY(sleeperEnded());
            QCOMPARE(readAll(m_dir->filePath("old.txt")), QByteArray("kept\n"));
            QCOMPARE(view.files()->count(), 1);
            QVERIFY(!view.showAlert());
            QTRY_VERIFY(QDir(PrivateArea::sessionDirectory().value()).entryList({"output-*"}, QDir::Files).isEmpty());

            QFile::remove(pids);
            view.updateEstimates();
            QTRY_VERIFY(QFileInfo(pids).size() > 0);
            QVERIFY(QFileInfo::exists(QString::fromUtf8(readAll(staging).trimmed())));
        }
        QVERIFY(!QFileInfo::exists(QString::fromUtf8(readAll(staging).trimmed())));
        QTRY_VERIFY(sleeperEnded());
    }

    void writingTheBundleIsAllOrNothing()
    {
        // The header is branded; a word of the packed files, also past the
        // first block read, is not.
        QByteArray text = "This file was packed by Repomix; see repomix.com.\n\n"
                          "================================================================\nFiles\n"
                          "================================================================\n"
                          "File: repomix/README.md\nimport repomix\n";
        text += QByteArray(2 * 1024 * 1024, 'x') + "Repomix\n";
        const QString scratch = m_dir->filePath("scratch.txt");
        writeFile(scratch.toStdString(), text.toStdString());
        const QString out = m_dir->filePath("out.txt");
        QVERIFY(writeBranded(scratch, out));
        QByteArray expected = text;
        expected.replace(0, 50, QByteArray("This file was packed by Lumbrel; see Lumbrel.com.\n"));
        QCOMPARE(readAll(out), expected);

        // A stopped write and a place that cannot be written leave the old file.
        std::stop_source stop;
        stop.request_stop();
        writeFile(out.toStdString(), "old\n");
        QVERIFY(!writeBranded(scratch, out, stop.get_token()));
        QCOMPARE(readAll(out), QByteArray("old\n"));
        const Result<bool> missing = writeBranded(scratch, m_dir->filePath("gone/out.txt"));
        QVERIFY(!missing);
        QVERIFY2(missing.error().description.contains(m_dir->filePath("gone/out.txt")), qPrintable(missing.error().description));

        // Nor does a full disk: a destination on a small file system of its own.
        const QString disk = m_dir->filePath("disk");
        QDir().mkpath(disk);
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", disk}) != 0)
            QSKIP("mounting a small file system needs root");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {disk}); });
        const QString old = disk + "/bundle.txt";
        writeFile(old.toStdString(), "old\n");
        const Result<bool> full = writeBranded(scratch, old);
        QVERIFY(!full);
        QVERIFY2(full.error().description.contains(old) && full.error().description.endsWith("No space left on device"),
                 qPrintable(full.error().description));
        QCOMPARE(readAll(old), QByteArray("old\n"));
        QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden), QStringList{"bundle.txt"}); // no half-written file
    }

    void clipboardTakesTheBundlesTextUnlessItIsTooLarge()
    {
        const QString bundle = m_dir->filePath("bundle.txt");
        writeFile(bundle.toStdString(), "Packed by Lumbrel: caf\xc3\xa9\n");
        QStringList copied;
        BundleClipboard clipboard([&copied](const QString &text) { copied << text; }, 100);
        clipboard.setFile(QUrl::fromLocalFile(bundle));
        QCOMPARE(clipboard.state(), BundleClipboard::State::Ready);
        clipboard.copy();
        QCOMPARE(clipboard.state(), BundleClipboard::State::Copying); // read off the window's thread
        QTRY_COMPARE(clipboard.state(), BundleClipboard::State::Copied);
        QCOMPARE(copied, QStringList{QString::fromUtf8("Packed by Lumbrel: caf\xc3\xa9\n")});

        writeFile(bundle.toStdString(), std::string(101, 'x'));
        clipboard.setFile(QUrl::fromLocalFile(bundle));
        QCOMPARE(clipboard.state(), BundleClipboard::State::TooLarge);
        clipboard.copy();
        QCOMPARE(copied.size(), 1);

        clipboard.setFile(QUrl::fromLocalFile(m_dir->filePath("gone.txt")));
        clipboard.copy();
        QTRY_COMPARE(clipboard.state(), BundleClipboard::State::Failed);
        QVERIFY(clipboard.message().startsWith(QLatin1String("Cannot copy")));
    }

    void eachItemsShareOfAnEstimate()
    {
        JobResult result;
        result.summary.totalFiles = 3;
        result.items = {{item("a"), "a", false}, {item("b/README.md"), "README.md", false},
                        {item("c/README.md"), "README (2).md", true}, {item("d"), "d", false}};
        result.files = {{"a/x.c", 10, 4}, {"a/y/z.c", 5, 2}, {"README (2).md", 3, 1}};
        const auto shares = result.shares();
        QCOMPARE(shares.value(item("a")).files, 2);
        QCOMPARE(shares.value(item("a")).tokens, 6);
        QCOMPARE(shares.value(item("b/README.md")).files, 0); // packed nothing: said on its row
        QCOMPARE(shares.value(item("c/README.md")).tokens, 1);
        QVERIFY(UserText::leftOut(result).contains(item("d").toLocalFile() + ": nothing in it was packed"));

        // Each path once, with its true reason, as the user's own path: an
        // unreadable chosen file packed nothing because it cannot be read;
        // the secret scan's paths are below the staged names.
        result.leftOut = {{item("d").toLocalFile(), LeftOutReason::Unreadable},
                          {item("a/x\nFile: y").toLocalFile(), LeftOutReason::LineBreak},
                          {item("a/logo.png").toLocalFile(), LeftOutReason::Binary},
                          {item("a/x.md").toLocalFile(), LeftOutReason::NotIncluded}};
        result.excludedAsSecrets = {"README (2).md", "a/y/.env"};
        QCOMPARE(UserText::leftOut(result),
                 (QStringList{item("d").toLocalFile() + ": cannot be read",
                              item("a").toLocalFile() + "/x\\nFile: y: its name holds a line break",
                              item("a/logo.png").toLocalFile() + ": binary file, listed but not packed",
                              item("b/README.md").toLocalFile() + ": nothing in it was packed",
                              item("c/README.md").toLocalFile() + ": excluded by the security check",
                              item("a/y/.env").toLocalFile() + ": excluded by the security check"}));

        result.files.clear(); // a run without per-file counts gives no shares
        QVERIFY(result.shares().isEmpty());
    }

private:
    QUrl item(const QString &name) const
    {
        return QUrl::fromLocalFile(QDir::cleanPath(m_dir->filePath(QStringLiteral("items/") + name)));
    }

    FakePacker m_packer;
    std::unique_ptr<PrivateTemp> m_dir;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<BundleOptions> m_options;
    QString m_runs;
};

QTEST_GUILESS_MAIN(ContentViewTest)
#include "tst_content_view.moc"
