// Choosing inside a listed folder: the tree with its check boxes, the ticks
// it gives, the totals that follow a tick, and git's changed files.
#include "FileTreeModel.h"
#include "GitChanges.h"
#include "SelectionDetails.h"
#include "TestFiles.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Counts = FileTreeModel::Counts;

// A tree as an estimate counted it: tokens are the file's number times ten.
const QHash<QString, Counts> counted{
    {"README.md", {100, 10}},        {"src/main.c", {300, 30}},        {"src/lib/a.c", {200, 20}},
    {"src/lib/b.c", {500, 50}},      {"tests/fixture.bin.txt", {9000, 900}}, {"tests/t.c", {400, 40}},
};

// The visible rows as "name:state:tokens", indented by depth.
QStringList rows(const FileTreeModel &model)
{
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex at = model.index(row);
        list << QString(at.data(FileTreeModel::DepthRole).toInt() * 2, u' ') + at.data(FileTreeModel::NameRole).toString()
                    + u':' + QString::number(at.data(FileTreeModel::CheckStateRole).toInt()) + u':'
                    + QString::number(at.data(FileTreeModel::TokensRole).toLongLong());
    }
    return list;
}

int rowOf(const FileTreeModel &model, const QString &path)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row).data(FileTreeModel::PathRole).toString() == path)
            return row;
    }
    return -1;
}
} // namespace

class SelectionTreeTest : public QObject
{
    Q_OBJECT

private slots:
    void foldersSumWhatIsTicked()
    {
        FileTreeModel model;
        QSignalSpy ticks(&model, &FileTreeModel::ticksChanged);
        model.reset("project", counted, {});
        QCOMPARE(rows(model), (QStringList{"src:2:100", "tests:2:940", "README.md:2:10"})); // folders first, closed
        model.setExpanded(rowOf(model, "src"), true);
        model.setExpanded(rowOf(model, "src/lib"), true);
        QCOMPARE(rows(model), (QStringList{"src:2:100", "  lib:2:70", "    a.c:2:20", "    b.c:2:50", "  main.c:2:30",
                                           "tests:2:940", "README.md:2:10"}));

        // Unticking a file: its folders are partly ticked and count less.
        model.toggle(rowOf(model, "src/lib/b.c"));
        QCOMPARE(ticks.count(), 1);
        QCOMPARE(model.ticks().unticked, QSet<QString>{"src/lib/b.c"});
        QCOMPARE(rows(model).mid(0, 4), (QStringList{"src:1:50", "  lib:1:20", "    a.c:2:20", "    b.c:0:50"}));
        // A partly ticked folder is ticked whole; unticking it takes all it
        // holds, in one entry; ticking it again restores all.
        model.toggle(rowOf(model, "src"));
        QVERIFY(model.ticks().takesAll());
        model.toggle(rowOf(model, "src"));
        QCOMPARE(model.ticks().unticked, QSet<QString>{"src"});
        QCOMPARE(rows(model).mid(0, 5), (QStringList{"src:0:0", "  lib:0:0", "    a.c:0:20", "    b.c:0:50", "  main.c:0:30"}));
        model.toggle(rowOf(model, "src"));
        QVERIFY(model.ticks().takesAll());
        // Ticking one file inside an unticked folder leaves its other parts out.
        model.toggle(rowOf(model, "src"));
        model.toggle(rowOf(model, "src/lib/a.c"));
        QCOMPARE(model.ticks().unticked, (QSet<QString>{"src/lib/b.c", "src/main.c"}));
        QCOMPARE(rows(model).mid(0, 1), QStringList{"src:1:20"});
    }

    void sortsByTokensAndFiltersByName()
    {
        FileTreeModel model;
        ItemTicks ticks;
        ticks.unticked = {"tests/fixture.bin.txt"};
        model.reset("project", counted, ticks);
        model.setByTokens(true);
        QCOMPARE(rows(model), (QStringList{"src:2:100", "tests:1:40", "README.md:2:10"})); // by what is ticked
        model.setFilter("A.C");
        QCOMPARE(rows(model), (QStringList{"src:2:100", "  lib:2:70", "    a.c:2:20"}));
        model.setFilter(QString());
        QCOMPARE(model.reveal("src/lib/b.c"), 2);
        QCOMPARE(rows(model).at(2), QStringLiteral("    b.c:2:50"));
        // A closed folder stands for what it holds, and stays closed.
        model.setExpanded(rowOf(model, "src/lib"), false);
        QCOMPARE(model.shownRow("src/lib/b.c"), rowOf(model, "src/lib"));
        QCOMPARE(model.shownRow("src/lib/b.c"), 1);
        QCOMPARE(model.shownRow("gone.c"), -1);
    }

    // "Only changed files": ticking and unticking works on the list of files.
    void onlyTheseFiles()
    {
        ItemTicks ticks;
        ticks.onlyFiles = QSet<QString>{"src/main.c", "tests/t.c"};
        QVERIFY(ticks.takes("src/main.c", false) && !ticks.takes("README.md", false));
        QVERIFY(ticks.takes("src", true) && !ticks.takes("src/lib", true));
        FileTreeModel model;
        model.reset("project", counted, ticks);
        QCOMPARE(rows(model), (QStringList{"src:1:30", "tests:1:40", "README.md:0:10"}));
        model.toggle(rowOf(model, "README.md"));
        QVERIFY(model.ticks().onlyFiles->contains("README.md"));
        model.toggle(rowOf(model, "tests"));
        QCOMPARE(*model.ticks().onlyFiles, (QSet<QString>{"src/main.c", "README.md", "tests/fixture.bin.txt", "tests/t.c"}));
    }

    // The totals follow the ticks from the files' counts, until an estimate
    // with those ticks confirms them; unticked files keep their counts.
    void provisionalTotalsAndTheHeaviestFiles()
    {
        SelectionDetails details;
        const QUrl item = QUrl::fromLocalFile("/work/project");
        JobResult estimate;
        estimate.summary = {6, 10400 + 600, 1050 + 60}; // with the packer's own text
        estimate.items = {{item, "project", false}};
        for (auto it = counted.cbegin(); it != counted.cend(); ++it)
            estimate.files.append({"project/" + it.key(), it.value().characters, it.value().tokens});
        details.absorb(estimate);
        QCOMPARE(details.heaviest(2).size(), 2);
        QCOMPARE(details.heaviest(2).first().path, QStringLiteral("tests/fixture.bin.txt"));

        ItemTicks ticks;
        ticks.unticked = {"tests"};
        details.setTicks(item, ticks);
        QCOMPARE(details.provisionalTotals(), (RunSummary{4, 11000 - 9400, 1110 - 940}));
        QCOMPARE(details.heaviest(1).first().path, QStringLiteral("src/lib/b.c"));

        // The estimate of the new ticks packs four files; the unticked ones keep their counts.
        JobResult confirmed;
        confirmed.summary = {4, 1500, 160};
        confirmed.items = estimate.items;
        confirmed.ticks = {{item, ticks}};
        for (const PackedFile &file : std::as_const(estimate.files)) {
            if (!file.path.startsWith("project/tests/"))
                confirmed.files.append(file);
        }
        details.absorb(confirmed);
        QCOMPARE(details.provisionalTotals(), (RunSummary{4, 1500, 160}));
        QCOMPARE(details.filesOf(item).value("tests/t.c").tokens, 40);
        details.setTicks(item, {});
        QCOMPARE(details.provisionalTotals(), (RunSummary{6, 1500 + 9400, 160 + 940}));
        details.keepOnly({});
        QVERIFY(details.ticks().isEmpty() && details.filesOf(item).isEmpty());
    }

    void changedFilesFromGit()
    {
        if (QStandardPaths::findExecutable("git").isEmpty())
            QSKIP("git is not installed");
        QTemporaryDir dir;
        const QString root = dir.path();
        const auto git = [&](const QStringList &arguments) {
            QProcess process;
            process.setWorkingDirectory(root);
            process.start("git", QStringList{"-c", "user.name=t", "-c", "user.email=t@t"} + arguments);
            return process.waitForFinished(-1) && process.exitCode() == 0;
        };
        writeFile(root.toStdString() + "/app/kept.c", "int a;\n");
        writeFile(root.toStdString() + "/app/edited.c", "int b;\n");
        writeFile(root.toStdString() + "/app/gone.c", "int c;\n");
        writeFile(root.toStdString() + "/other/x.c", "int d;\n");
        QVERIFY(git({"init", "-q"}) && git({"add", "."}) && git({"commit", "-qm", "one"}));
        writeFile(root.toStdString() + "/app/edited.c", "int b = 2;\n");
        writeFile(root.toStdString() + "/app/new dir/new file.c", "int e;\n");
        writeFile(root.toStdString() + "/app/staged.c", "int f;\n");
        writeFile(root.toStdString() + "/app/debug.log", "ignored\n");
        writeFile(root.toStdString() + "/.gitignore", "*.log\n");
        writeFile(root.toStdString() + "/other/y.c", "int g;\n");
        QVERIFY(git({"add", "app/staged.c"}) && QFile::remove(root + "/app/gone.c"));

        const GitChanges changes = GitChanges::of(root + "/app");
        QVERIFY2(changes.available, qPrintable(changes.reason));
        QCOMPARE(changes.files, (QSet<QString>{"edited.c", "new dir/new file.c", "staged.c"}));

        QTemporaryDir outside;
        const GitChanges none = GitChanges::of(outside.path());
        QVERIFY(!none.available && none.reason == QStringLiteral("not in a git work tree"));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", outside.path().toUtf8()); // no git there
        const GitChanges noGit = GitChanges::of(root);
        qputenv("PATH", path);
        QVERIFY(!noGit.available && noGit.reason == QStringLiteral("git is not installed"));
    }
};

QTEST_GUILESS_MAIN(SelectionTreeTest)
#include "tst_selection_tree.moc"
