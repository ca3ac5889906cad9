// Choosing inside a listed folder with the keyboard alone, on the real QML
// with the bundled packer: open the folder's tree, untick and retick a
// file, watch the totals follow at once and then be confirmed, leave out
// the heaviest file, and copy the bundle without saving it.
#include "FakePacker.h"
#include "MainScreen.h"
#include "PrivateArea.h"

#include <QClipboard>
#include <QDirIterator>
#include <QSignalSpy>
#include <QMimeData>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

namespace {
// Every file below `folder`, by relative path.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// What a screen reader is told about `item`.
QString accessibleName(QQuickItem *item)
{
    for (QObject *child : item->children()) {
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child->property("name").toString();
    }
    return {};
}
} // namespace

class GuiTreeTest : public QObject
{
    Q_OBJECT

private slots:
    void chooseInsideAFolderAndCopyWithTheKeyboard()
    {
        PrivateTemp temp; // the private area, and nothing else, may gain files (the test's home is here too)
        MainScreen screen(bundledPacker());
        QVERIFY(screen.ready());
        const QString project = screen.dir.filePath("project");
        writeFile((project + "/README.md").toStdString(), "Made for Repomix users.\n");
        writeFile((project + "/docs/guide.md").toStdString(), "# Guide\nRead me first.\n");
        writeFile((project + "/src/main.c").toStdString(), "int main(void) { return 0; }\n");
        writeFile((project + "/src/util.c").toStdString(), "int twice(int x) { return 2 * x; }\n");
        std::string big;
        for (int i = 0; i < 400; ++i)
            big += "static const int table_" + std::to_string(i) + " = " + std::to_string(i * 7) + ";\n";
        writeFile((project + "/src/big.c").toStdString(), big);
        const QUrl folder = QUrl::fromLocalFile(project);
        const QStringList homeBefore = filesBelow(screen.dir.path());

        screen.drop({folder});
        QTRY_COMPARE_WITH_TIMEOUT(screen.view.totalFiles(), 5, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!screen.view.estimatesManager()->isEstimating(), 60000);
        const qint64 allTokens = screen.view.estimatedTokens();
        QTRY_COMPARE(focusedName(screen), QStringLiteral("fileRow"));

        // Right opens the folder's tree in place of the list; its rows are
        // folders first, then files, by name.
        key(screen, Qt::Key_Right);
        QTRY_VERIFY(screen.shown("folderView"));
        QVERIFY(!screen.shown("fileList"));
        QTRY_COMPARE(focusedName(screen), QStringLiteral("treeRow"));
        QCOMPARE(currentPath(screen), QStringLiteral("docs"));
        key(screen, Qt::Key_Down);
        QCOMPARE(currentPath(screen), QStringLiteral("src"));
        key(screen, Qt::Key_Right); // expands
        key(screen, Qt::Key_Right); // into it
        QTRY_COMPARE(currentPath(screen), QStringLiteral("src/big.c"));
        QVERIFY(accessibleName(screen.window.activeFocusItem()).startsWith("big.c, file, included, "));

        // Space leaves it out: the totals follow at once, marked, and say so once.
        const qint64 bigTokens = screen.view.tree()->model()->index(currentRow(screen)).data(FileTreeModel::TokensRole).toLongLong();
        QVERIFY(bigTokens > 0);
        QSignalSpy announced(&screen.view, &ContentView::announced);
        key(screen, Qt::Key_Space);
        QCOMPARE(screen.view.tree()->ticks().value(folder).unticked, QSet<QString>{"src/big.c"});
        QVERIFY(screen.view.totalsProvisional());
        QCOMPARE(screen.view.totalFiles(), 4);
        QCOMPARE(screen.view.estimatedTokens(), allTokens - bigTokens);
        QVERIFY(screen.item("totalsText")->property("text").toString().startsWith(QChar(0x2248)));
        QVERIFY(accessibleName(screen.window.activeFocusItem()).contains(", left out"));
        const int srcRow = screen.view.tree()->model()->parentRow(currentRow(screen));
        QCOMPARE(screen.view.tree()->model()->index(srcRow).data(FileTreeModel::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
        key(screen, Qt::Key_Space); // and takes it back
        QVERIFY(screen.view.tree()->ticks().isEmpty());
        QCOMPARE(screen.view.estimatedTokens(), allTokens);
        key(screen, Qt::Key_Space);
        QCOMPARE(announced.size(), 1);
        QVERIFY(announced.first().first().toString().startsWith("About 4 files"));

        // The next estimate confirms the totals; the row keeps its place.
        QTRY_VERIFY_WITH_TIMEOUT(!screen.view.totalsProvisional(), 60000);
        QCOMPARE(screen.view.totalFiles(), 4);
        QCOMPARE(currentPath(screen), QStringLiteral("src/big.c"));

        // Left goes up to the folder, Left at the top back to the list, on
        // the folder's row; the ticks stay with it.
        key(screen, Qt::Key_Left);
        QCOMPARE(currentPath(screen), QStringLiteral("src"));
        key(screen, Qt::Key_Left); // collapses
        key(screen, Qt::Key_Left);
        QTRY_VERIFY(screen.shown("fileList"));
        QTRY_COMPARE(focusedName(screen), QStringLiteral("fileRow"));
        QCOMPARE(screen.view.selectionState()->selectedFile(), folder);
        QCOMPARE(screen.view.tree()->ticks().value(folder).unticked, QSet<QString>{"src/big.c"});

        // Ctrl+Shift+C: no save dialog, the branded text on the clipboard,
        // and no file anywhere but in the private area.
        QTRY_VERIFY_WITH_TIMEOUT(screen.view.canStart(), 60000);
        QTest::keyClick(&screen.window, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(screen.view.copyMessage().startsWith("Copied "), 60000);
        QCOMPARE(screen.view.job()->screen(), BundleJob::Screen::Normal);
        QVERIFY(!root(screen)->findChild<QObject *>("saveDialog")->property("visible").toBool());
        QVERIFY(screen.shown("copyMessageText"));
        const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
        const QString text = copied->text();
        QVERIFY(text.contains("by Lumbrel")); // the packer's header is branded
        QVERIFY(text.contains("Made for Repomix users.")); // the user's text is not
        QVERIFY(text.contains("src/main.c"));
        QVERIFY(!text.contains("src/big.c"));
        // The home gains only the packer's caches, kept where caches go.
        QStringList homeAfter = filesBelow(screen.dir.path());
        homeAfter.removeIf([](const QString &file) { return file.startsWith(".cache/"); });
        QCOMPARE(homeAfter, homeBefore);
        const QString area = PrivateArea::temporaryArea().value();
        for (const QString &file : filesBelow(temp.path())) {
            const QString path = QDir(temp.path()).filePath(file);
            QVERIFY2(path.startsWith(area + u'/') || path.startsWith(screen.dir.path() + u'/'), qPrintable(file));
        }
        for (const QUrl &url : copied->urls())
            QVERIFY2(url.toLocalFile().startsWith(area + u'/'), qPrintable(url.toString()));

        // The totals open the heaviest files; leaving out the first one
        // keeps the focus in the list, and can be undone.
        QVERIFY2(!screen.view.tree()->heaviestFiles().isEmpty(), "no heaviest files");
        QVERIFY(tabTo(screen, "totalsText"));
        key(screen, Qt::Key_Return);
        QQuickItem *heaviest = screen.popupItem("heaviestFilesPopup");
        QTRY_VERIFY(MainScreen::shown(heaviest));
        QTRY_COMPARE(focusedName(screen), QStringLiteral("leaveOutButton"));
        QVERIFY(accessibleName(screen.window.activeFocusItem()).startsWith("Leave out project/src/"));
        key(screen, Qt::Key_Space);
        QCOMPARE(screen.view.tree()->ticks().value(folder).unticked.size(), 2);
        QVERIFY(screen.view.copyMessage().isEmpty()); // said until the choice changes
        QTRY_COMPARE(focusedName(screen), QStringLiteral("leaveOutButton"));
        key(screen, Qt::Key_Escape);
        QTRY_VERIFY(!heaviest->isVisible());
        QTRY_COMPARE(focusedName(screen), QStringLiteral("totalsText"));
        screen.view.undo();
        QCOMPARE(screen.view.tree()->ticks().value(folder).unticked, QSet<QString>{"src/big.c"});
    }

    // Without git the action is there, disabled, with the reason beside it.
    void changedFilesNeedGit()
    {
        FakePacker packer;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(packer.path("no-git")));
        MainScreen screen(packer.succeeding(1, 10, 3));
        QVERIFY(screen.ready());
        QDir(screen.dir.path()).mkpath("project");
        screen.fixture({"project/a.txt"});
        screen.view.handleDrop({screen.url("project")});
        QVERIFY(screen.view.tree()->open(screen.url("project")));
        QTRY_COMPARE(screen.view.tree()->changesUnavailable(), QStringLiteral("git is not installed"));
        qputenv("PATH", path);
        QVERIFY(!screen.item("onlyChangedButton")->isEnabled());
        QCOMPARE(screen.item("changesUnavailableText")->property("text").toString(), QStringLiteral("git is not installed"));
        QVERIFY(!screen.view.tree()->open(screen.url("project/a.txt"))); // a file has no tree
    }

private:
    static QQuickItem *root(MainScreen &screen) { return screen.root.get(); }
    static QString focusedName(MainScreen &screen)
    {
        QQuickItem *item = screen.window.activeFocusItem();
        return item ? item->objectName() : QString();
    }
    static int currentRow(MainScreen &screen) { return screen.item("folderTree")->property("currentIndex").toInt(); }
    static QString currentPath(MainScreen &screen)
    {
        return screen.view.tree()->model()->index(currentRow(screen)).data(FileTreeModel::PathRole).toString();
    }
    static void key(MainScreen &screen, int key) { QTest::keyClick(&screen.window, Qt::Key(key)); }
    // Tabs until the focused item is `name` (or gives up after a lap).
    static bool tabTo(MainScreen &screen, const char *name)
    {
        for (int i = 0; i < 30; ++i) {
            if (focusedName(screen) == QLatin1String(name))
                return true;
            key(screen, Qt::Key_Tab);
        }
        return false;
    }
};

QTEST_MAIN(GuiTreeTest)
#include "tst_gui_tree.moc"
