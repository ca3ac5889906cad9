#include "FakePacker.h"
#include "MainScreen.h"

#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

// The main screen on its real QML with the real view behind it; the packer is
// a stand-in script, so these runs take no time.
class GuiMainScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MainScreen::setUpStyle(); }

    void startShowsOnlyTheDropArea();
    void dropShowsTheListAndRemovingTheLastRowHidesIt();
    void arrowKeysMoveTheHighlight();
    void settingsPopoverWritesAndResetsPreferences();
    void escapeClosesTheSettingsRightAfterTheyOpen();
    void failedBundleShowsTheAlertAndKeepsTheList();
    void fileNameTypedIntoTheSaveDialogIsUsed();

private:
    // The entry whose row is highlighted; empty when none is, and a failure
    // when more than one is.
    static QUrl highlighted(MainScreen &screen)
    {
        QUrl found;
        for (QQuickItem *row : screen.items("fileRow")) {
            if (!row->property("selected").toBool())
                continue;
            if (!found.isEmpty())
                qWarning("two rows are highlighted");
            found = row->property("file").toUrl();
        }
        return found;
    }

    FakePacker m_packer;
};

void GuiMainScreenTest::startShowsOnlyTheDropArea()
{
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    QVERIFY(MainScreen::shown(screen.item("dropArea")));
    for (const char *name : {"header", "ignorePatterns", "startButton", "statusBar"})
        QVERIFY2(!screen.item(name)->isVisible(), name);
    QVERIFY(screen.items("fileList").isEmpty());
}

void GuiMainScreenTest::dropShowsTheListAndRemovingTheLastRowHidesIt()
{
    MainScreen screen(m_packer.succeeding(3, 120, 30));
    QVERIFY(screen.ready());
    const QUrl folder = screen.fixture("project", {"a.txt", "b.txt", "src/c.cpp"});

    screen.drop(screen.item("dropArea"), {folder});
    QCOMPARE(screen.view.files()->urls(), QList<QUrl>{folder});
    for (const char *name : {"header", "fileList", "ignorePatterns", "startButton", "statusBar"})
        QVERIFY2(MainScreen::shown(screen.item(name)), name);
    // The drop also brings the estimate into the status bar.
    QTRY_COMPARE(screen.item("totalsText")->property("text").toString(),
                 QString::fromUtf8("Files: 3 • Chars: 120 • Tokens: 30"));

    QTRY_COMPARE(screen.items("fileRow").size(), 1);
    QQuickItem *row = screen.items("fileRow").first();
    QQuickItem *remove = screen.item("removeButton", row);
    screen.click(row);
    QCOMPARE(highlighted(screen), folder);
    QTRY_COMPARE(remove->opacity(), 1.0);
    screen.click(remove);

    QCOMPARE(screen.view.files()->count(), 0);
    for (const char *name : {"header", "ignorePatterns", "startButton", "statusBar"})
        QVERIFY2(!screen.item(name)->isVisible(), name);
    QVERIFY(screen.items("fileList").isEmpty());
    QVERIFY(MainScreen::shown(screen.item("dropArea")));
}

void GuiMainScreenTest::arrowKeysMoveTheHighlight()
{
    MainScreen screen(m_packer.succeeding(3, 120, 30));
    QVERIFY(screen.ready());
    const QUrl folder = screen.fixture("items", {"a.txt", "b.txt", "c.txt"});
    const auto entry = [&](const char *name) { return QUrl::fromLocalFile(folder.toLocalFile() + '/' + name); };
    screen.view.handleDrop({entry("a.txt"), entry("b.txt"), entry("c.txt")});
    QTRY_COMPARE(screen.items("fileRow").size(), 3);
    QCOMPARE(highlighted(screen), QUrl());

    QTest::keyClick(&screen.window, Qt::Key_Down); // nothing highlighted: the first row
    QCOMPARE(highlighted(screen), entry("a.txt"));
    QTest::keyClick(&screen.window, Qt::Key_Down);
    QTest::keyClick(&screen.window, Qt::Key_Down);
    QTest::keyClick(&screen.window, Qt::Key_Down); // stays on the last row
    QCOMPARE(highlighted(screen), entry("c.txt"));
    QTest::keyClick(&screen.window, Qt::Key_Up);
    QCOMPARE(highlighted(screen), entry("b.txt"));
}

void GuiMainScreenTest::settingsPopoverWritesAndResetsPreferences()
{
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    screen.view.handleDrop({screen.fixture("project", {"a.txt"})});

    screen.click(screen.item("settingsButton"));
    QVERIFY(screen.view.showSettings());
    QQuickItem *popover = screen.popupItem("settingsPopup");
    QTRY_VERIFY(MainScreen::shown(popover));
    QVERIFY(screen.store.allKeys().isEmpty()); // opening writes nothing

    screen.click(screen.item("removeEmptyLinesSwitch", popover));
    QCOMPARE(screen.store.value("removeEmptyLines"), QVariant(true));
    screen.click(screen.item("showLineNumbersSwitch", popover));
    QVERIFY(screen.options.showLineNumbers());

    screen.click(screen.item("resetButton", popover));
    QCOMPARE(screen.options.values(), BundleOptions::Values{});
    QCOMPARE(screen.store.allKeys().size(), 7);
    QVERIFY(!screen.item("removeEmptyLinesSwitch", popover)->property("checked").toBool());

    QTest::keyClick(&screen.window, Qt::Key_Escape);
    QVERIFY(!screen.view.showSettings());
    QTRY_VERIFY(!popover->isVisible());
}

void GuiMainScreenTest::escapeClosesTheSettingsRightAfterTheyOpen()
{
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    screen.view.handleDrop({screen.fixture("project", {"a.txt"})});
    screen.click(screen.item("settingsButton"));
    QVERIFY(screen.view.showSettings());

    // Escape is handled at once; the popover only sees it with the focus.
    QTest::keyClick(&screen.window, Qt::Key_Escape);
    QVERIFY(!screen.view.showSettings());
}

void GuiMainScreenTest::failedBundleShowsTheAlertAndKeepsTheList()
{
    MainScreen screen(m_packer.location("echo 'disk is full' >&2\nexit 3"));
    QVERIFY(screen.ready());
    const QUrl folder = screen.fixture("project", {"a.txt"});
    screen.view.handleDrop({folder});
    QSignalSpy asked(&screen.view, &ContentView::saveDialogRequested);

    screen.click(screen.item("startButton"));
    QCOMPARE(asked.size(), 1);
    screen.acceptSaveDialog();
    if (QTest::currentTestFailed())
        return;

    QTRY_VERIFY(screen.view.showAlert());
    QQuickItem *alert = screen.popupItem("alert");
    QTRY_VERIFY(MainScreen::shown(alert));
    QCOMPARE(MainScreen::shownText(alert, "Failed to bundle files: ").trimmed(),
             QStringLiteral("Failed to bundle files: disk is full"));
    QVERIFY(!screen.view.isProcessing());
    QCOMPARE(screen.view.files()->urls(), QList<QUrl>{folder});
    QTRY_VERIFY(MainScreen::shown(screen.item("fileList")));

    screen.click(MainScreen::button(alert, QStringLiteral("OK")));
    QTRY_VERIFY(!screen.view.showAlert());
    QTRY_VERIFY(!alert->isVisible());
    QVERIFY(MainScreen::shown(screen.item("startButton")));
}

void GuiMainScreenTest::fileNameTypedIntoTheSaveDialogIsUsed()
{
    MainScreen screen(m_packer.succeeding(1, 10, 3));
    QVERIFY(screen.ready());
    screen.view.handleDrop({screen.fixture("project", {"a.txt"})});
    screen.click(screen.item("startButton"));
    const QUrl typed = QUrl::fromLocalFile(screen.dir.filePath("notes/my bundle.txt"));
    QVERIFY(QDir(screen.dir.path()).mkpath("notes"));
    screen.typeIntoSaveDialog(typed);
    if (QTest::currentTestFailed())
        return;
    // Qt 6.4's own dialog reports a typed name as a bare path, without the
    // file scheme; the job still starts when the dialog closes.
    QVERIFY(screen.view.isProcessing());
    QTRY_COMPARE(screen.view.outputFile(), typed);
}

QTEST_MAIN(GuiMainScreenTest)
#include "tst_gui_main_screen.moc"
