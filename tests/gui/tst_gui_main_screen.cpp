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
    void keysGoToTheFocusedControl();
    void gearTogglesThePopover();
    void failedBundleAlertIsAnsweredWithTheKeyboard();
    void typedNamesAndPathsAreHonoured_data();
    void typedNamesAndPathsAreHonoured();

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

void GuiMainScreenTest::keysGoToTheFocusedControl()
{
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    const QList<QUrl> files = screen.fixture({"a.txt", "b.txt"});
    screen.view.handleDrop(files);

    // The pattern field keeps its arrows and its text.
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

    // The format picker in the settings is driven by the keyboard alone.
    screen.view.setShowSettings(true);
    QQuickItem *popover = screen.popupItem("settingsPopup");
    QTRY_VERIFY(MainScreen::shown(popover));
    screen.item("formatPicker", popover)->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(&screen.window, Qt::Key_Down);
    QCOMPARE(screen.options.style(), QStringLiteral("xml"));
    QVERIFY(screen.view.selectionState()->selectedFile().isEmpty());

    // Escape closes the settings; the list then gets its keys.
    QTest::keyClick(&screen.window, Qt::Key_Escape);
    QVERIFY(!screen.view.showSettings());
    screen.item("fileList")->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(&screen.window, Qt::Key_Up);
    QCOMPARE(screen.view.selectionState()->selectedFile(), files[0]);
}

void GuiMainScreenTest::gearTogglesThePopover()
{
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    screen.view.handleDrop(screen.fixture({"a.txt"}));

    screen.click(screen.item("settingsButton"));
    QVERIFY(screen.view.showSettings());
    QQuickItem *popover = screen.popupItem("settingsPopup");
    QTRY_VERIFY(MainScreen::shown(popover));
    screen.click(screen.item("removeEmptyLinesSwitch", popover)); // the popover takes clicks
    QCOMPARE(screen.options.removeEmptyLines(), true);

    // One click on the gear while the popover is open closes it, and it stays closed.
    screen.click(screen.item("settingsButton"));
    QVERIFY(!screen.view.showSettings());
    QTRY_VERIFY(!popover->isVisible());
    QVERIFY(!screen.view.showSettings());
}

void GuiMainScreenTest::failedBundleAlertIsAnsweredWithTheKeyboard()
{
    MainScreen screen(m_packer.location("echo 'disk is full' >&2\nexit 3"));
    QVERIFY(screen.ready());
    screen.view.handleDrop(screen.fixture({"a.txt"}));
    screen.view.startBundling();
    screen.save();

    QQuickItem *alert = screen.popupItem("alert");
    QTRY_COMPARE(screen.withText(alert, QStringLiteral("Failed to bundle files: disk is full")).size(), 1);
    QTRY_VERIFY(screen.shown("fileList"));
    QTest::keyClick(&screen.window, Qt::Key_Enter, Qt::KeypadModifier);
    QTRY_VERIFY(!alert->isVisible());
    QVERIFY(!screen.view.showAlert());
    QCOMPARE(screen.view.files()->count(), 1);
}

void GuiMainScreenTest::typedNamesAndPathsAreHonoured_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("a name") << "my bundle.txt" << "Documents/my bundle.txt";
    QTest::newRow("absolute path") << "%1/elsewhere/out.txt" << "elsewhere/out.txt";
}

void GuiMainScreenTest::typedNamesAndPathsAreHonoured()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    QDir(screen.dir.path()).mkpath("elsewhere");
    QDir(screen.dir.path()).mkpath("Documents");
    screen.view.handleDrop(screen.fixture({"a.txt"}));
    screen.view.startBundling();
    screen.save(QString(typed).replace("%1", screen.dir.path()));
    QTRY_VERIFY2(screen.view.outputFile().isValid() || screen.view.showAlert(), "no answer");
    QVERIFY2(!screen.view.showAlert(), qPrintable(screen.view.alertMessage()));
    QCOMPARE(screen.view.outputFile(), screen.url(saved));
    QVERIFY(QFile::exists(screen.dir.filePath(saved)));
}

QTEST_MAIN(GuiMainScreenTest)
#include "tst_gui_main_screen.moc"
