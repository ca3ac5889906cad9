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
    void dropBringsInTheListAndRemovingTheLastRowTakesItAway();
    void settingsPopoverWritesAndResetsPreferences();
    void failedBundleShowsTheAlertAndKeepsTheList();
    void fileNameTypedIntoTheSaveDialogIsUsed();

private:
    FakePacker m_packer;
};

void GuiMainScreenTest::dropBringsInTheListAndRemovingTheLastRowTakesItAway()
{
    MainScreen screen(m_packer.succeeding(3, 120, 30));
    QVERIFY(screen.ready());
    const auto expectList = [&](bool shown) {
        QVERIFY(screen.shown("dropArea"));
        for (const char *name : {"header", "fileList", "ignorePatterns", "startButton", "statusBar"})
            QVERIFY2(screen.shown(name) == shown, name);
    };
    expectList(false);
    const QList<QUrl> files = screen.fixture({"a.txt", "b.txt", "c.txt"});
    screen.drop(files);
    QCOMPARE(screen.view.files()->urls(), files);
    expectList(true);
    QTRY_COMPARE(screen.item("totalsText")->property("text").toString(), QString::fromUtf8("Files: 3 • Chars: 120 • Tokens: 30"));

    // Arrow keys on the window: from no highlight to the first row, stopping at the last.
    QTest::keyClick(&screen.window, Qt::Key_Down);
    QCOMPARE(screen.view.selectionState()->selectedFile(), files[0]);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&screen.window, Qt::Key_Down);
    QCOMPARE(screen.view.selectionState()->selectedFile(), files[2]);
    QTest::keyClick(&screen.window, Qt::Key_Up);
    QCOMPARE(screen.view.selectionState()->selectedFile(), files[1]);

    // Only the highlighted row offers to remove itself; the last row goes that way.
    screen.view.removeFile(files[0]);
    screen.view.removeFile(files[2]);
    const QList<QQuickItem *> remove = screen.withText(screen.item("fileList"), QStringLiteral("Remove"));
    QCOMPARE(remove.size(), 1);
    QTRY_COMPARE(remove[0]->opacity(), 1.0);
    screen.click(remove[0]);
    expectList(false);
}

void GuiMainScreenTest::settingsPopoverWritesAndResetsPreferences()
{
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    screen.view.handleDrop(screen.fixture({"a.txt"}));

    // Escape closes the popover even before it has settled after opening.
    screen.click(screen.item("settingsButton"));
    QVERIFY(screen.view.showSettings());
    QTest::keyClick(&screen.window, Qt::Key_Escape);
    QVERIFY(!screen.view.showSettings());

    screen.click(screen.item("settingsButton"));
    QQuickItem *popover = screen.popupItem("settingsPopup");
    QTRY_VERIFY(MainScreen::shown(popover));
    QVERIFY(screen.store.allKeys().isEmpty()); // opening writes nothing
    screen.click(screen.item("removeEmptyLinesSwitch", popover));
    QCOMPARE(screen.store.value("removeEmptyLines"), QVariant(true));
    screen.click(screen.item("resetButton", popover));
    QCOMPARE(screen.options.values(), BundleOptions::Values{});
    QVERIFY(!screen.item("removeEmptyLinesSwitch", popover)->property("checked").toBool());
}

void GuiMainScreenTest::failedBundleShowsTheAlertAndKeepsTheList()
{
    MainScreen screen(m_packer.location("echo 'disk is full' >&2\nexit 3"));
    QVERIFY(screen.ready());
    screen.view.handleDrop(screen.fixture({"a.txt"}));
    screen.click(screen.item("startButton"));
    screen.save();

    QQuickItem *alert = screen.popupItem("alert");
    QTRY_COMPARE(screen.withText(alert, QStringLiteral("Failed to bundle files: disk is full")).size(), 1);
    QTRY_VERIFY(screen.shown("fileList"));
    screen.click(screen.withText(alert, QStringLiteral("OK")).value(0));
    QTRY_VERIFY(!alert->isVisible());
    QVERIFY(!screen.view.showAlert());
}

void GuiMainScreenTest::fileNameTypedIntoTheSaveDialogIsUsed()
{
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    screen.view.handleDrop(screen.fixture({"a.txt"}));
    screen.click(screen.item("startButton"));
    // Qt 6.4's own dialog reports a typed name as a bare path, without the file scheme.
    screen.save(QStringLiteral("my bundle.txt"));
    QTRY_COMPARE(screen.view.outputFile(), screen.url("my bundle.txt"));
    QVERIFY(QFile::exists(screen.dir.filePath("my bundle.txt")));
}

QTEST_MAIN(GuiMainScreenTest)
#include "tst_gui_main_screen.moc"
