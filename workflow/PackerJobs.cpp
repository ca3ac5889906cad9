#include "PackerJobs.h"

#include "CommandLine.h"
#include "FileReplacement.h"
#include "Log.h"
#include "NativePath.h"
#include "PrivateArea.h"
#include "RepomixWrapper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Stages, runs the packer into a scratch file and reads its totals; the
// scratch file is handed to `use` on success and removed on every path.
Result<JobResult> pack(RepomixWrapper &wrapper, const JobInput &input, const std::stop_token &stop,
                       const std::function<void(const JobProgress &)> &onProgress,
                       const std::function<Result<bool>(const QString &scratch)> &use)
{
    if (stop.stop_requested())
        return RepomixWrapper::stoppedError(); // superseded before it began
    if (onProgress)
        onProgress({JobStage::Copying});
    const Result<Staging> staged = wrapper.stage(input.files, input.ignorePatterns, stop);
    if (!staged)
        return staged.error();
    // The copy is needed only while the packer reads it.
    struct Discard
    {
        RepomixWrapper &wrapper;
        QUrl directory;
        ~Discard() { wrapper.discardDirectory(directory); }
    } discard{wrapper, staged.value().directory};
    for (const StagedItem &item : staged.value().items) {
        if (item.renamed)
            logLine(QStringLiteral("Staged \u201C%1\u201D as \u201C%2\u201D").arg(item.source.toLocalFile(), item.stagedName));
    }
    if (stop.stop_requested())
        return RepomixWrapper::stoppedError();

    // The packer writes a new file of its own in the private area; nothing
    // of the user's is touched until it has succeeded.
    const Result<QString> scratch = PrivateArea::scratchFile(QStringLiteral(".txt"));
    if (!scratch)
        return scratch.error();
    struct Remove
    {
        QString path;
        ~Remove() { QFile::remove(path); }
    } remove{scratch.value()};

    if (onProgress)
        onProgress({JobStage::Packing});
    PackerProgressHandler packerProgress;
    if (onProgress) {
        packerProgress = [onProgress](const PackerProgress &progress) {
            onProgress({JobStage::Packing, progress.step, progress.done, progress.total});
        };
    }
    // The staging applied the user's patterns to each item; the packer gets
    // only what is left for it at the staging root.
    const Result<PackerRun> run = wrapper.runPacker(
        buildArguments(input.options, staged.value().rootIgnorePatterns, scratch.value()), staged.value().directory,
        stop, packerProgress);
    if (!run)
        return run.error();
    const QString &report = run.value().report;
    logLine(QStringLiteral("Repomix output: ") + reportForLog(report));
    JobResult result{parseSummary(report), staged.value().leftOut, staged.value().items, excludedAsSecrets(report),
                     run.value().files};

    if (use) {
        if (stop.stop_requested())
            return RepomixWrapper::stoppedError();
        if (onProgress)
            onProgress({JobStage::Writing});
        if (const Result<bool> used = use(scratch.value()); !used)
            return used.error();
    }
    return result;
}

// Where the text the packer writes itself ends: its header and summary come
// first, then the directory tree and the files, which hold the user's names
// and contents.
qsizetype packerHeaderLength(QByteArrayView start)
{
    static const QByteArray markers[] = {
        "\n================================================================\nDirectory Structure\n",
        "\n================================================================\nFiles\n",
        "\n<directory_structure>\n",
        "\n<files>\n",
        "\n# Directory Structure\n",
        "\n# Files\n",
    };
    qsizetype end = -1;
    for (const QByteArray &marker : markers) {
        if (start.startsWith(QByteArrayView(marker).sliced(1))) // no header at all
            return 0;
        const qsizetype at = start.indexOf(marker);
        if (at >= 0 && (end < 0 || at < end))
            end = at;
    }
    return end < 0 ? 0 : end;
}

AppError writeError(const QString &path, const std::error_code &error)
{
    return AppError{QString::fromLatin1(error.category().name()), error.value(),
                    QStringLiteral("Cannot write \u201C%1\u201D: %2")
                        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(error.message()))};
}

} // namespace

QHash<QUrl, FileListModel::Share> JobResult::shares() const
{
    QHash<QUrl, FileListModel::Share> shares;
    if (files.isEmpty() && summary.totalFiles > 0)
        return shares; // no per-file counts from this run
    QHash<QString, QUrl> byName;
    for (const StagedItem &item : items) {
        byName.insert(item.stagedName, item.source);
        shares.insert(item.source, {});
    }
    for (const PackedFile &file : files) {
        // The first part of the packed path is the chosen item's staged name.
        const qsizetype slash = file.path.indexOf(QLatin1Char('/'));
        const auto item = byName.constFind(slash < 0 ? file.path : file.path.left(slash));
        if (item == byName.cend())
            continue;
        FileListModel::Share &share = shares[*item];
        ++share.files;
        share.tokens += file.tokens;
    }
    return shares;
}

QStringList excludedAsSecrets(const QString &report)
{
    static const QRegularExpression item(QStringLiteral(R"(^\d+\.\s+(.+?)\s*$)"));
    QStringList files;
    bool inList = false;
    for (const QStringView line : QStringView(report).split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("suspicious file(s) detected and excluded"))) {
            inList = true;
            continue;
        }
        if (!inList)
            continue;
        if (line.trimmed().isEmpty())
            break;
        if (const QRegularExpressionMatch match = item.match(line); match.hasMatch())
            files << match.captured(1);
    }
    return files;
}

QString reportForLog(const QString &report)
{
    const qsizetype summary = report.lastIndexOf(QLatin1String("Pack Summary"));
    if (summary < 0) {
        // No summary block: the last lines, which hold whatever totals there are.
        QStringList lines = report.split(QLatin1Char('\n'));
        return lines.mid(qMax<qsizetype>(0, lines.size() - 12)).join(QLatin1Char('\n')).trimmed();
    }
    const qsizetype start = report.lastIndexOf(QLatin1Char('\n'), summary) + 1;
    const qsizetype end = report.indexOf(QLatin1String("\n\n"), report.indexOf(QLatin1String("Security:"), summary));
    return report.mid(start, end < 0 ? -1 : end - start).trimmed();
}

QString destinationProblem(const QString &path)
{
    const QFileInfo target(path);
    if (target.isDir())
        return QStringLiteral("\u201C%1\u201D is a folder. Choose a name for the bundle file.")
            .arg(QDir::toNativeSeparators(path));
    if (!QFileInfo(target.absolutePath()).isDir())
        return QStringLiteral("The folder \u201C%1\u201D does not exist.").arg(QDir::toNativeSeparators(target.absolutePath()));
    return {};
}

Result<JobResult> runEstimate(RepomixWrapper &wrapper, const JobInput &input, std::stop_token stop)
{
    return pack(wrapper, input, stop, {}, {});
}

Result<JobResult> runBundle(RepomixWrapper &wrapper, const JobInput &input, const QString &destination,
                            std::stop_token stop, const std::function<void(const JobProgress &)> &onProgress)
{
    return pack(wrapper, input, stop, onProgress,
                [&](const QString &scratch) { return writeBranded(scratch, destination, stop); });
}

Result<bool> writeBranded(const QString &from, const QString &to, std::stop_token stop)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return AppError{QStringLiteral("QFile"), static_cast<int>(in.error()),
                        QStringLiteral("Cannot read the packer's output: %1").arg(in.errorString())};
    platform::FileReplacement out(toPath(to));
    if (const std::error_code error = out.open())
        return writeError(to, error);
    std::error_code failure;
    const auto fail = [&](const std::error_code &error) -> Result<bool> {
        out.discard();
        return writeError(to, error);
    };
    const auto writeAll = [&](QByteArrayView bytes) {
        failure = out.write(bytes.data(), static_cast<std::size_t>(bytes.size()));
        return !failure;
    };

    // The header is a few kilobytes at the start of the file.
    QByteArray block = in.read(64 * 1024);
    const qsizetype header = packerHeaderLength(block);
    QByteArray branded = block.left(header);
    branded.replace("Repomix", "Lumbrel").replace("repomix", "Lumbrel");
    if (!writeAll(branded) || !writeAll(QByteArrayView(block).sliced(header)))
        return fail(failure);
    while (!in.atEnd()) {
        if (stop.stop_requested())
            return RepomixWrapper::stoppedError();
        block = in.read(1 << 20);
        if (block.isEmpty())
            break;
        if (!writeAll(block))
            return fail(failure);
    }
    if (in.error() != QFileDevice::NoError)
        return AppError{QStringLiteral("QFile"), static_cast<int>(in.error()),
                        QStringLiteral("Cannot read the packer's output: %1").arg(in.errorString())};
    if (stop.stop_requested())
        return RepomixWrapper::stoppedError();
    if (const std::error_code error = out.commit())
        return writeError(to, error);
    if (!out.notKept().empty()) {
        QStringList kept;
        for (const std::string &what : out.notKept())
            kept << QString::fromStdString(what);
        logLine(QStringLiteral("Replaced %1 without keeping its %2").arg(fromPath(out.target()), kept.join(QLatin1String(", "))));
    }
    return true;
}
