#include "FakePacker.h"
#include "MainScreen.h"

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
        QTRY_COMPARE(screen.item("totalsText")->property("text").toString(), QString::fromUtf8("Files: 3 • Chars: 120 • Tokens: 30"));

        // With nothing else focused the window's keys move the highlight.
        QTest::keyClick(&screen.window, Qt::Key_Down);
        QCOMPARE(screen.view.selectionState()->selectedFile(), files[0]);
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

private:
    FakePacker m_packer;
};

QTEST_MAIN(GuiMainScreenTest)
#include "tst_gui_main_screen.moc"
