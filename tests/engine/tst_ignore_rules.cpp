// The ignore rules against the packer's own file search: the same patterns on
// the same tree must leave the same files.
#include "IgnoreRules.h"
#include "PackerFiles.h"
#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <functional>
#include <random>

namespace fs = std::filesystem;

namespace {

// Files found below `root` when folders are skipped and files left out the
// way the rules say.
QStringList walk(const IgnoreRules &rules, const fs::path &root)
{
    QStringList files;
    const std::function<void(const fs::path &, const QString &, const IgnoreRules::Cursor &)> visit =
        [&](const fs::path &folder, const QString &relative, const IgnoreRules::Cursor &at) {
            for (const fs::directory_entry &entry : fs::directory_iterator(folder)) {
                const QString name = QString::fromStdString(entry.path().filename().string());
                const QString path = relative.isEmpty() ? name : relative + u'/' + name;
                const IgnoreRules::Cursor cursor = rules.step(at, name);
                if (entry.is_symlink())
                    continue;
                if (entry.is_directory() && !rules.ignoresDirectory(cursor))
                    visit(entry.path(), path, cursor);
                else if (!entry.is_directory() && !rules.ignoresFile(cursor))
                    files << path;
            }
        };
    visit(root, QString(), rules.start());
    files.sort();
    return files;
}

// Runs the packer's searchFiles on `root` once per pattern list, with only
// those patterns (no default rules, no ignore files).
QList<QStringList> packerSearch(const QString &root, const QList<QStringList> &cases, const QString &scratch)
{
    const QString script = scratch + QStringLiteral("/search.mjs");
    writeFile(script.toStdString(),
              "import { searchFiles } from '" LUMBREL_TEST_RESOURCES "/repomix/lib/core/file/fileSearch.js';\n"
              "let input = '';\n"
              "for await (const chunk of process.stdin) input += chunk;\n"
              "const { root, cases } = JSON.parse(input);\n"
              "const out = [];\n"
              "for (const patterns of cases) {\n"
              "  const config = { cwd: root, include: [], output: { includeEmptyDirectories: false },\n"
              "    ignore: { useGitignore: false, useDotIgnore: false, useDefaultPatterns: false, customPatterns: patterns } };\n"
              "  out.push((await searchFiles(root, config)).filePaths.sort());\n"
              "}\n"
              "process.stdout.write(JSON.stringify(out));\n");
    QJsonArray list;
    for (const QStringList &patterns : cases)
        list.append(QJsonArray::fromStringList(patterns));
    QProcess node;
    node.start(QStringLiteral(LUMBREL_TEST_RUNTIME), {script});
    node.write(QJsonDocument(QJsonObject{{"root", root}, {"cases", list}}).toJson());
    node.closeWriteChannel();
    node.waitForFinished(-1);
    QList<QStringList> results;
    for (const QJsonValue &found : QJsonDocument::fromJson(node.readAllStandardOutput()).array())
        results << found.toVariant().toStringList();
    if (results.size() != cases.size())
        qWarning("the packer's search failed: %s", node.readAllStandardError().constData());
    return results;
}

QString difference(const QStringList &ours, const QStringList &packers)
{
    const QSet<QString> a(ours.begin(), ours.end()), b(packers.begin(), packers.end());
    return QStringLiteral("only ours: [%1], only the packer's: [%2]")
        .arg(QStringList((a - b).values()).join(u' '), QStringList((b - a).values()).join(u' '));
}

} // namespace

class IgnoreRulesTest : public QObject
{
    Q_OBJECT

private slots:
    // What is matched here and what is left to the packer: braces, negated
    // ignore patterns and absolute paths are matched; extended globs,
    // escapes and ignore-file names are not.
    void patternsOutsideTheKnownSyntaxAreListed()
    {
        QCOMPARE(IgnoreRules::splitPatterns(QStringLiteral(" *.md , {a,b}/x,,\u00a0c ")),
                 (QStringList{"*.md", "{a,b}/x", "c"}));
        QStringList unmatched;
        const IgnoreRules rules = IgnoreRules::fromList(
            IgnoreRules::splitPatterns(QStringLiteral("*.md,{a,b}/x,+(y),a\\*,**/.gitignore,!keep.txt,/abs/*.c,{1..3}")),
            IgnoreRules::List::Ignore, &unmatched);
        QCOMPARE(unmatched, (QStringList{"+(y)", "a\\*", "**/.gitignore", "{1..3}"}));
        QVERIFY(rules.ignoresFile(u"x.md") && rules.ignoresFile(u"b/x") && rules.ignoresFile(u"keep.txt"));
        QVERIFY(!rules.ignoresFile(u"c/x"));
        // An absolute pattern matches whole paths only.
        QVERIFY(!rules.ignoresFile(u"abs/m.c"));
        QVERIFY(rules.ignoresFile(rules.step(rules.start(u"/abs"), u"m.c")));
        // Include patterns take brackets literally.
        unmatched.clear();
        const IgnoreRules include = IgnoreRules::fromList({QStringLiteral("[ab].txt")}, IgnoreRules::List::Include, &unmatched);
        QVERIFY(unmatched.isEmpty());
        QVERIFY(include.ignoresFile(u"[ab].txt") && !include.ignoresFile(u"a.txt"));
    }

    // Pattern lists on a tree, the packer's search as the judge: first the
    // cases easy to get wrong (a pattern without "**/" holds at the root
    // only, yet a folder it names is entered; a star before "/**" wants
    // more; "dist/**" takes the folder; a class also matches its own text;
    // a trailing slash is dropped; dot files are no exception), then the
    // packer's default list, then generated lists on a generated tree.
    void agreesWithThePackersSearch()
    {
        QTemporaryDir scratch;
        const fs::path root = fs::path(scratch.path().toStdString()) / "tree";
        for (const char *path : {"d/a.log", "e/a.log/x", "d/a.pid", "b.pid", "a.pid/x", ".env/x", "npm-debug.log1",
                                 "g/npm-debug.log1/x", "dist/x", "[ab]", "build", ".hidden"})
            writeFile(root / path, "x");
        std::mt19937 random(20240611);
        const char *const names[] = {"a", "b.log", "ab", ".env", "x.pid", "npm-debug.log", "npm-debug.log1", "[ab]",
                                     "dist", "build", "Release", ".a", "a.py", "a.pyc", "é", "a b", "node_modules",
                                     "c.tgz", "*.pid", "log", "vendor", "target", ".vuepress", "yarn.lock"};
        for (int i = 0; i < 200; ++i) {
            fs::path path = root;
            for (int depth = 1 + int(random() % 4); depth > 0; --depth)
                path /= names[random() % std::size(names)];
            std::error_code error;
            fs::create_directories(path.parent_path(), error);
            if (!error && !fs::exists(path))
                writeFile(path, "x");
        }

        const char *const segments[] = {"a", "*", "*.log", "a*", "?b", "[ab]", "[!a]b", "[a-c]*", "**", "x.pid",
                                        "*.pid", ".env", "dist", "build", "Release", "npm-debug.log*", "*.py[cod]",
                                        ".*", "é", "log*", "*b", "a?", "vendor"};
        QList<QStringList> cases{{"**/*.log"}, {"*.pid"}, {".env"}, {"**/npm-debug.log*"}, {"dist/**"}, {"[ab]"}, {"build/"}, {"*"},
                                 *PackerFiles::defaultIgnorePatterns(QStringLiteral(LUMBREL_TEST_RESOURCES "/repomix"))};
        while (cases.size() < 128) {
            QStringList patterns;
            for (int count = 1 + int(random() % 3); count > 0; --count) {
                QString pattern = random() % 3 == 0 ? QStringLiteral("**/") : QString();
                for (int length = 1 + int(random() % 3), k = 0; k < length; ++k)
                    pattern += (k ? QStringLiteral("/") : QString()) + QString::fromUtf8(segments[random() % std::size(segments)]);
                if (random() % 6 == 0)
                    pattern += u'/';
                patterns << pattern;
            }
            if (IgnoreRules::fromPatterns(patterns, true))
                cases << patterns;
        }

        const QList<QStringList> expected = packerSearch(QString::fromStdString(root.string()), cases, scratch.path());
        QCOMPARE(expected.size(), cases.size());
        for (qsizetype i = 0; i < cases.size(); ++i) {
            const IgnoreRules rules = IgnoreRules::fromPatterns(cases[i], true)->forRoot(
                [&root](const QString &relative) { return fs::is_directory(root / relative.toStdString()); },
                IgnoreRules::LiteralFolders::Expand);
            const QStringList ours = walk(rules, root);
            QVERIFY2(ours == expected[i], qPrintable(cases[i].join(QLatin1String(" , ")) + QLatin1String(": ")
                                                     + difference(ours, expected[i])));
        }
    }
};

QTEST_GUILESS_MAIN(IgnoreRulesTest)
#include "tst_ignore_rules.moc"
