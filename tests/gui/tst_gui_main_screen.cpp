#include "FakePacker.h"
#include "MainScreen.h"

#include "Reveal.h"

#include <QAccessible>
#include <QClipboard>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

// The main screen on its real QML with the real view behind it; the packer is
// a stand-in script, so these runs take no time.
class GuiMainScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void dropBringsInTheListAndRemovingTheLastRowTakesItAway()
    {
        MainScreen screen(m_packer.succeeding(3, 120, 30));
        QVERIFY(screen.ready());
        const auto expectList = [&](bool shown) {
            QVERIFY(screen.shown("dropArea"));
            for (const char *name : {"header", "fileList", "ignorePatterns", "startButton", "statusBar"})
                QVERIFY2(screen.shown(name) == shown, name);
            QCOMPARE(screen.shown("addButtons"), !shown);
        };
        expectList(false);
        const QList<QUrl> files = screen.fixture({"a.txt", "b.txt", "c.txt"});
        screen.drop(files);
        QCOMPARE(screen.view.files()->urls(), files);
        expectList(true);
        QTRY_COMPARE(screen.item("totalsText")->property("text").toString(), QString::fromUtf8("Files:\u00A03 • Chars:\u00A0120 • Tokens:\u00A030"));

        // The list takes the focus that "Add Files…" had, with its current row shown.
        QTRY_COMPARE(screen.view.selectionState()->selectedFile(), files[0]);
        QTest::keyClick(&screen.window, Qt::Key_Down);
        QCOMPARE(screen.view.selectionState()->selectedFile(), files[1]);
        QTest::keyClick(&screen.window, Qt::Key_Up);
        QTest::keyClick(&screen.window, Qt::Key_Delete); // removes the highlighted row
        QCOMPARE(screen.view.files()->urls(), (QList<QUrl>{files[1], files[2]}));

        // Only the highlighted row offers to remove itself; the last row goes that way.
        screen.view.removeFile(files[1]);
        QTest::keyClick(&screen.window, Qt::Key_Down); // the one row left
        QCOMPARE(screen.view.selectionState()->selectedFile(), files[2]);
        const QList<QQuickItem *> remove = screen.findAll([](QQuickItem *item) {
            return item->inherits("QQuickAbstractButton") && item->isVisible() && item->isEnabled()
                && item->property("symbol").toString() == QLatin1String("xmark");
        }, screen.item("fileList"));
        QCOMPARE(remove.size(), 1);
        QTRY_COMPARE(remove[0]->opacity(), 1.0);
        screen.click(remove[0]);
        expectList(false);
    }

    // The totals say which context sizes they fit and turn to the warning
    // colour above the limit chosen in the options, at once.
    void theChosenContextLimitWarns()
    {
        MainScreen screen(m_packer.succeeding(1, 10, 150'000));
        QVERIFY(screen.ready());
        screen.drop(screen.fixture({"a.txt"}));
        QQuickItem *fit = screen.item("contextFit");
        QTRY_COMPARE(fit->property("text").toString(), QStringLiteral("fits 200K"));
        QVERIFY(!fit->property("over").toBool());
        QVERIFY(screen.options.setValue("contextLimit", "128K"));
        QCOMPARE(fit->property("text").toString(), QStringLiteral("over 128K"));
        QVERIFY(fit->property("over").toBool());
        QCOMPARE(QAccessible::queryAccessibleInterface(fit)->text(QAccessible::Name).left(40),
                 QStringLiteral("150,000 tokens are 22,000 more than your"));
    }

    // The pattern field keeps its arrows and its text. (The format picker
    // keeps its keys in the bundle test, which reaches it by Tab.)
    void keysGoToTheFocusedControl()
    {
        MainScreen screen(m_packer.succeeding(1, 10, 3));
        QVERIFY(screen.ready());
        screen.view.handleDrop(screen.fixture({"a.txt", "b.txt"}));
        screen.view.setShowIgnorePatterns(true);
        QQuickItem *field = screen.item("ignorePatternsField");
        QTRY_VERIFY(MainScreen::shown(field));
        field->forceActiveFocus();
        screen.type(QStringLiteral("*.log"));
        QTest::keyClick(&screen.window, Qt::Key_Down);
        QTest::keyClick(&screen.window, Qt::Key_Backspace);
        QCOMPARE(screen.view.ignorePatterns(), QStringLiteral("*.lo"));
        QVERIFY(screen.view.selectionState()->selectedFile().isEmpty());
        QCOMPARE(screen.view.files()->count(), 2);
    }

    void gearTogglesThePopover()
    {
        MainScreen screen(m_packer.succeeding(1, 10, 3));
        QVERIFY(screen.ready());
        screen.view.handleDrop(screen.fixture({"a.txt"}));

        screen.click(screen.item("settingsButton"));
        QVERIFY(screen.view.showSettings());
        QQuickItem *popover = screen.popupItem("settingsPopup");
        QTRY_VERIFY(MainScreen::shown(popover));
        screen.click(screen.item("addSummarySwitch", popover)); // the popover takes clicks
        QCOMPARE(screen.options.value("addSummary"), QStringLiteral("false"));

        // One click on the gear while the popover is open closes it, and it stays closed.
        screen.click(screen.item("settingsButton"));
        QVERIFY(!screen.view.showSettings());
        QTRY_VERIFY(!popover->isVisible());
        QVERIFY(!screen.view.showSettings());
    }

    // The save dialog answered with the keyboard: a typed name lands in the
    // folder it shows, a typed path where it points; an existing file is kept
    // on Return, which answers Cancel; a failure is an alert Enter dismisses.
    void saveDialogAndItsOutcomes_data()
    {
        QTest::addColumn<QString>("typed"); // %1: the home folder
        QTest::addColumn<QString>("saved"); // where the bundle lands, if it does
        QTest::addColumn<QString>("alert");
        QTest::newRow("a name") << "my bundle.txt" << "Documents/my bundle.txt" << "";
        QTest::newRow("absolute path") << "%1/elsewhere/out.txt" << "elsewhere/out.txt" << "";
        QTest::newRow("existing file") << "%1/Documents/old.txt" << "" << "";
        QTest::newRow("packer fails") << "" << "" << "Failed to bundle files: disk is full";
        QTest::newRow("one of the chosen files")
            << "%1/a.txt" << ""
            << "Failed to bundle files: \u201Ca.txt\u201D is one of the files being bundled; saving the bundle there "
               "would replace it. Choose another name or place.";
    }
    void saveDialogAndItsOutcomes()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QFETCH(QString, alert);
        MainScreen screen(m_packer.succeeding(1, 10, 3, alert.isEmpty() ? "" : "echo 'disk is full' >&2; exit 3"));
        QVERIFY(screen.ready());
        QDir(screen.dir.path()).mkpath("elsewhere");
        QDir(screen.dir.path()).mkpath("Documents");
        writeFile(screen.dir.filePath("Documents/old.txt").toStdString(), "kept\n");
        screen.view.handleDrop(screen.fixture({"a.txt"}));
        screen.view.startBundling();
        screen.save(typed.replace("%1", screen.dir.path()));
        if (!saved.isEmpty()) {
            QTRY_VERIFY2(screen.view.outputFile().isValid() || screen.view.showAlert(), "no answer");
            QVERIFY2(!screen.view.showAlert(), qPrintable(screen.view.alertMessage()));
            QCOMPARE(screen.view.outputFile(), screen.url(saved));
            QVERIFY(QFile::exists(screen.dir.filePath(saved)));
        } else if (alert.isEmpty()) {
            QQuickItem *replace = screen.popupItem("replaceDialog");
            QTRY_VERIFY(MainScreen::shown(replace));
            QTRY_COMPARE(screen.window.activeFocusItem()->objectName(), QStringLiteral("keepButton"));
            QTest::keyClick(&screen.window, Qt::Key_Return);
            QTRY_VERIFY(!replace->isVisible());
            QCOMPARE(screen.view.job()->screen(), BundleJob::Screen::Normal);
            QCOMPARE(readAll(screen.dir.filePath("Documents/old.txt")), QByteArray("kept\n"));
        } else {
            QQuickItem *box = screen.popupItem("alert");
            const auto reads = [&](QQuickItem *item) { return item->isVisible() && item->property("text") == alert; };
            QTRY_COMPARE(screen.findAll(reads, box).size(), 1);
            QTRY_VERIFY(screen.shown("fileList"));
            QTest::keyClick(&screen.window, Qt::Key_Enter, Qt::KeypadModifier);
            QTRY_VERIFY(!box->isVisible());
            QVERIFY(!screen.view.showAlert());
        }
        QCOMPARE(screen.view.files()->count(), 1);
    }

    // Each action that takes items away can be taken back from its notice,
    // with the items in their order and the highlight where it was.
    void undoBringsBackWhatWasTakenAway_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("remove button") << "remove";
        QTest::newRow("Delete key") << "delete";
        QTest::newRow("Clear All") << "clear";
        QTest::newRow("Bundle More Files") << "more";
    }
    void undoBringsBackWhatWasTakenAway()
    {
        QFETCH(QString, action);
        MainScreen screen(m_packer.succeeding(3, 120, 30));
        QVERIFY(screen.ready());
        const QList<QUrl> files = screen.fixture({"a.txt", "b.txt", "c.txt"});
        screen.drop(files);
        screen.view.selection()->select(files[1]);
        if (action == "remove") {
            screen.click(screen.findAll([](QQuickItem *item) {
                return item->objectName() == QLatin1String("removeButton") && item->isEnabled();
            }).value(0));
        } else if (action == "delete") {
            screen.item("fileList")->forceActiveFocus();
            QTest::keyClick(&screen.window, Qt::Key_Delete);
        } else if (action == "clear") {
            screen.click(screen.item("clearAllButton"));
        } else {
            screen.view.job()->run(screen.url("out.txt"));
            QTRY_VERIFY(MainScreen::shown(screen.item("bundleMoreButton")));
            QTRY_COMPARE(screen.item("bundleMoreButton")->opacity(), 1.0);
            screen.click(screen.item("bundleMoreButton"));
        }
        QVERIFY(screen.view.files()->urls() != files);
        QTRY_VERIFY(screen.shown("undoNotice"));
        screen.click(screen.item("undoButton"));
        QCOMPARE(screen.view.files()->urls(), files);
        QCOMPARE(screen.view.selectionState()->selectedFile(), files[1]);
        QVERIFY(!screen.shown("undoNotice"));
    }

    // A path that is not there is refused as it comes, and the status bar
    // says so, also when nothing else is listed.
    void missingPathsAreRefusedAndSaid()
    {
        MainScreen screen(m_packer.succeeding(1, 10, 3));
        QVERIFY(screen.ready());
        const QList<QUrl> files = screen.fixture({"a.txt"});
        const QUrl gone = screen.url("gone.txt");
        screen.drop({gone, files[0]});
        QCOMPARE(screen.view.files()->urls(), files);
        const QString said = QStringLiteral("not found: ") + QDir::toNativeSeparators(gone.toLocalFile());
        QCOMPARE(screen.item("statusMessageText")->property("text").toString(), said);
        QVERIFY(screen.shown("statusMessageText"));

        screen.view.clearAll();
        QVERIFY(!screen.shown("statusMessageText")); // said until the list changes
        screen.drop({gone});
        QCOMPARE(screen.view.files()->count(), 0);
        QVERIFY(screen.shown("statusBar"));
        QVERIFY(screen.shown("statusMessageText"));
    }

    // After a failed estimate "Start bundling" waits for one that works;
    // Retry runs it.
    void failedEstimateHoldsTheStartUntilRetry()
    {
        const QString flag = m_packer.path("fail");
        writeFile(flag.toStdString(), "");
        MainScreen screen(m_packer.succeeding(1, 10, 3, "[ -e '" + flag.toUtf8() + "' ] && { echo 'disk is full' >&2; exit 1; }"));
        QVERIFY(screen.ready());
        screen.drop(screen.fixture({"a.txt"}));
        QTRY_VERIFY(screen.shown("retryButton"));
        QVERIFY(screen.item("estimateFailedText")->property("text").toString().contains("disk is full"));
        QVERIFY(!screen.item("startButton")->isEnabled());
        QFile::remove(flag);
        screen.click(screen.item("retryButton"));
        QTRY_VERIFY(screen.item("startButton")->isEnabled());
        QVERIFY(!screen.shown("retryButton"));
    }

    // After each change of screen the keyboard focus is on its first
    // sensible control; Escape leaves the completion and stops a bundle.
    void focusFollowsTheScreens()
    {
        const QString slow = m_packer.path("slow");
        MainScreen screen(m_packer.succeeding(1, 10, 3, "[ -e '" + slow.toUtf8() + "' ] && { sleep 300 & wait; }"));
        QVERIFY(screen.ready());
        const auto focused = [&screen] {
            QQuickItem *item = screen.window.activeFocusItem();
            return item ? item->objectName() : QString();
        };
        const QList<QUrl> files = screen.fixture({"a.txt", "b.txt"});
        screen.drop(files);

        screen.view.job()->run(screen.url("out.txt"));
        QTRY_COMPARE(focused(), QStringLiteral("copyButton")); // not "Bundle More Files"
        QTest::keyClick(&screen.window, Qt::Key_Escape); // back to the list
        QCOMPARE(screen.view.job()->screen(), BundleJob::Screen::Normal);
        QCOMPARE(screen.view.files()->urls(), files);
        QTRY_COMPARE(focused(), QStringLiteral("fileRow")); // the current row, shown
        QCOMPARE(screen.view.selectionState()->selectedFile(), files[0]);
        QTest::keyClick(&screen.window, Qt::Key_Tab); // past the row's buttons, out of the list
        QCOMPARE(focused(), QStringLiteral("ignorePatternsToggle"));
        QTest::keyClick(&screen.window, Qt::Key_Backtab);
        QCOMPARE(focused(), QStringLiteral("fileRow"));

        writeFile(slow.toStdString(), "");
        screen.view.job()->run(screen.url("out.txt"));
        QTRY_COMPARE(focused(), QStringLiteral("cancelButton"));
        QTest::keyClick(&screen.window, Qt::Key_Escape); // stops it
        QCOMPARE(screen.view.job()->screen(), BundleJob::Screen::Normal);
        QTRY_COMPARE(focused(), QStringLiteral("fileRow"));

        QFile::remove(slow);
        screen.view.job()->run(screen.url("out.txt"));
        QTRY_COMPARE(focused(), QStringLiteral("copyButton"));
        QTest::keyClick(&screen.window, Qt::Key_Tab); // "Show in File Manager"
        QTest::keyClick(&screen.window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("bundleMoreButton"));
        QTest::keyClick(&screen.window, Qt::Key_Space);
        QCOMPARE(screen.view.files()->count(), 0);
        QTRY_COMPARE(focused(), QStringLiteral("addFilesButton"));

        screen.drop({files[0]});
        screen.item("fileList")->forceActiveFocus();
        QTest::keyClick(&screen.window, Qt::Key_Delete); // the last row
        QTRY_COMPARE(focused(), QStringLiteral("addFilesButton"));
    }

    // Where no file manager could show an item, the window says so and
    // offers its path to copy.
    void revealWithoutAFileManagerOffersThePath()
    {
        MainScreen screen(m_packer.succeeding(1, 10, 3));
        QVERIFY(screen.ready());
        const QList<QUrl> files = screen.fixture({"a.txt"});
        auto *manager = screen.engine.singletonInstance<FileManager *>(qmlTypeId("Lumbrel", 1, 0, "FileManager"));
        QVERIFY(manager);
        emit manager->revealFailed(files[0]);
        QQuickItem *dialog = screen.popupItem("revealFailedDialog");
        QTRY_VERIFY(MainScreen::shown(dialog));
        const QString path = QDir::toNativeSeparators(files[0].toLocalFile());
        QVERIFY(screen.item("messageText", dialog)->property("text").toString().contains(path));
        QTRY_COMPARE(screen.window.activeFocusItem()->property("text").toString(), QStringLiteral("Copy Path"));
        QTest::keyClick(&screen.window, Qt::Key_Return);
        QTRY_VERIFY(!dialog->isVisible());
        QCOMPARE(QGuiApplication::clipboard()->text(), path);
    }

private:
    FakePacker m_packer;
};

QTEST_MAIN(GuiMainScreenTest)
#include "tst_gui_main_screen.moc"
