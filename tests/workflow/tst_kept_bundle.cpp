// A bundle right after an estimate of the same selection is that estimate's
// output, with the real packer: the same bytes as a bundle of its own, no
// second run, and a run again after any change of a file, the selection or
// the options.
#include "FakePacker.h"
#include "KeptBundle.h"
#include "PackerJobs.h"
#include "PackerOutput.h"
#include "RepomixWrapper.h"
#include "TestFiles.h"

#include <QTest>

#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The bytes of a bundle and its parts, in order.
QByteArray bundleAt(const QStringList &files)
{
    QByteArray bytes;
    for (const QString &file : files)
        bytes += readAll(file) + '\0';
    return bytes;
}

// The change time and link count of everything under `root`: what staging
// the files with links would change.
std::map<std::string, std::pair<std::int64_t, std::uint64_t>> changeTimesUnder(const fs::path &root)
{
    std::map<std::string, std::pair<std::int64_t, std::uint64_t>> times;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        times[entry.path().string()] = {std::int64_t(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec,
                                        std::uint64_t(st.st_nlink)};
    }
    return times;
}

} // namespace

class KeptBundleTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("XDG_CACHE_HOME", m_temp.filePath(QStringLiteral("cache")).toUtf8());
        m_project = m_temp.root() / "project";
        for (int i = 0; i < 20; ++i)
            writeFile(m_project / ("part" + std::to_string(i % 3)) / ("file" + std::to_string(i) + ".js"),
                      "// note " + std::to_string(i) + "\nexport const value" + std::to_string(i) + " = "
                          + std::to_string(i * 3) + ";\n");
        writeFile(m_project / "README.md", "# Project\n\nRepomix made this tree.\n");
        writeFile(m_project / ".gitignore", "*.tmp\n");
        writeFile(m_project / "part1/scratch.tmp", "left out by the ignore file\n");
        // Identities count once files are a few seconds old.
        std::this_thread::sleep_for(std::chrono::milliseconds(2100));
        m_wrapper = std::make_unique<RepomixWrapper>(bundledPacker());
        m_wrapper->startService();
    }
    void cleanupTestCase() { m_wrapper.reset(); }

    void aBundleAfterItsEstimateIsThatEstimate_data()
    {
        QTest::addColumn<QStringList>("settings"); // key=value
        QTest::newRow("the defaults") << QStringList();
        QTest::newRow("xml, line numbers, a header") << QStringList{"style=xml", "showLineNumbers=true", "headerText=By Repomix"};
        QTest::newRow("split in parts") << QStringList{"splitOutput=3kb", "style=markdown"};
    }
    void aBundleAfterItsEstimateIsThatEstimate()
    {
        QFETCH(QStringList, settings);
        JobInput input = inputFor(settings);
        const auto changeTimes = changeTimesUnder(m_project);
        KeptBundle kept;
        QVERIFY(runEstimate(*m_wrapper, input, {}, &kept));
        QVERIFY(kept.bytes() > 0);

        const auto [reused, stages] = bundle(input, &kept, QStringLiteral("reused.txt"));
        QVERIFY(reused);
        QCOMPARE(stages, QList<Job::Stage>{Job::Stage::Writing}); // the packer did not run
        const auto [fresh, freshStages] = bundle(input, nullptr, QStringLiteral("fresh.txt"));
        QVERIFY(fresh && freshStages.contains(Job::Stage::Packing));
        QCOMPARE(reused->outputFiles.size(), fresh->outputFiles.size());
        QCOMPARE(reused->outputFiles.size() > 1, settings.join(u',').contains(QLatin1String("splitOutput")));
        QCOMPARE(bundleAt(reused->outputFiles), bundleAt(fresh->outputFiles));
        QVERIFY(bundleAt(reused->outputFiles).contains("Lumbrel")); // branded, as a run of its own
        QVERIFY(!bundleAt(reused->outputFiles).contains("left out"));
        QVERIFY(changeTimesUnder(m_project) == changeTimes); // nothing staged changed a user's file
        QCOMPARE(reused->summary, fresh->summary);
        QVERIFY(kept.bytes() > 0); // there for a second bundle or copy

        kept.clear(); // the selection changed
        QCOMPARE(kept.bytes(), 0);
        QVERIFY(!kept.forInput(input));
        removeBundles();
    }

    // Another selection, other options, a file changed in place (its size
    // and time kept) or a file added: the packer runs again.
    void anyChangeRunsThePackerAgain_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("other options") << "options";
        QTest::newRow("another item") << "item";
        QTest::newRow("a file changed in place") << "content";
        QTest::newRow("a file added") << "file";
    }
    void anyChangeRunsThePackerAgain()
    {
        QFETCH(QString, change);
        const fs::path copy = m_temp.root() / ("change-" + change.toStdString());
        fs::copy(m_project, copy, fs::copy_options::recursive);
        std::this_thread::sleep_for(std::chrono::milliseconds(2100));
        JobInput input = inputFor({}, copy);
        KeptBundle kept;
        QVERIFY(runEstimate(*m_wrapper, input, {}, &kept));
        QVERIFY(kept.bytes() > 0);

        if (change == QLatin1String("options")) {
            input.options.set(QStringLiteral("style"), QStringLiteral("xml"));
        } else if (change == QLatin1String("item")) {
            writeFile(m_temp.root() / "extra.md", "# extra\n");
            input.files << urlOf(m_temp.root() / "extra.md");
        } else if (change == QLatin1String("content")) {
            const fs::path file = copy / "part0/file0.js";
            const auto modified = fs::last_write_time(file);
            writeFile(file, "// note 0\nexport const VALUE0 = 0;\n"); // the same size
            fs::last_write_time(file, modified);
        } else {
            writeFile(copy / "part1/new.js", "export const added = true;\n");
        }
        const auto [run, stages] = bundle(input, &kept, QStringLiteral("changed.txt"));
        QVERIFY(run);
        QVERIFY(stages.contains(Job::Stage::Packing));
        const QByteArray bytes = bundleAt(run->outputFiles);
        if (change == QLatin1String("content"))
            QVERIFY(bytes.contains("VALUE0"));
        if (change == QLatin1String("file"))
            QVERIFY(bytes.contains("added = true"));
        QCOMPARE(kept.bytes(), 0); // of no use any more: gone before the run
        removeBundles();
    }

private:
    JobInput inputFor(const QStringList &settings, const fs::path &folder = {}) const
    {
        JobInput input;
        input.files = {urlOf(folder.empty() ? m_project : folder)};
        for (const QString &setting : settings)
            input.options.set(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        return input;
    }

    std::pair<std::optional<JobResult>, QList<Job::Stage>> bundle(const JobInput &input, KeptBundle *kept,
                                                                  const QString &name)
    {
        std::mutex mutex;
        QList<Job::Stage> stages;
        const Result<JobResult> result =
            runBundle(*m_wrapper, input, m_temp.filePath(name), {},
                      [&](const JobProgress &progress) {
                          std::lock_guard lock(mutex);
                          if (!stages.contains(progress.stage))
                              stages << progress.stage;
                      },
                      kept);
        if (!result) {
            qWarning("%s", qPrintable(result.error().toString()));
            return {std::nullopt, stages};
        }
        m_written << result.value().outputFiles;
        return {result.value(), stages};
    }

    void removeBundles()
    {
        for (const QString &file : std::as_const(m_written))
            QFile::remove(file);
        m_written.clear();
    }

    PrivateTemp m_temp;
    fs::path m_project;
    std::unique_ptr<RepomixWrapper> m_wrapper;
    QStringList m_written;
};

QTEST_GUILESS_MAIN(KeptBundleTest)
#include "tst_kept_bundle.moc"
