#include "PackerJobs.h"

#include "FileReplacement.h"
#include "Log.h"
#include "NativePath.h"
#include "PackerOutput.h"
#include "Platform.h"
#include "PrivateArea.h"
#include "RepomixWrapper.h"
#include "RunnerError.h"
#include "UserText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Stages, runs the packer into a scratch file and reads its totals; the
// files the packer wrote (the scratch file, or its parts) are handed to `use`
// on success and removed on every path.
Result<JobResult> pack(RepomixWrapper &wrapper, const JobInput &input, const std::stop_token &stop,
                       const std::function<void(const JobProgress &)> &onProgress,
                       const std::function<Result<QStringList>(const QString &output, const QStringList &written)> &use)
{
    if (stop.stop_requested())
        return RunnerError::stopped(); // superseded before it began
    if (onProgress)
        onProgress({Job::Stage::Copying});
    const Result<Staging> staged =
        wrapper.stage({input.files, input.ignorePatterns, input.includePatterns, input.leftOutFiles, input.ticks}, stop);
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
        return RunnerError::stopped();

    // The packer writes a new file of its own in the private area; nothing
    // of the user's is touched until it has succeeded.
    const Result<QString> scratch = PrivateArea::scratchFile(QStringLiteral(".txt"));
    if (!scratch)
        return scratch.error();
    struct Remove
    {
        QString output;
        ~Remove()
        {
            for (const QString &file : PackerOutput::writtenFiles(output))
                QFile::remove(file);
        }
    } remove{scratch.value()};

    if (onProgress)
        onProgress({Job::Stage::Packing});
    PackerProgressHandler packerProgress;
    if (onProgress) {
        packerProgress = [onProgress](const PackerProgress &progress) {
            onProgress({Job::Stage::Packing, progress.step, progress.done, progress.total});
        };
    }
    PackRequest request;
    request.options = input.options;
    // The staging applied the user's patterns to each item: the packer gets
    // only what the staging left for it at its root, already written for
    // the root (so patternsApplied, which would drop them, stays false).
    request.ignorePatterns = staged.value().rootIgnorePatterns;
    request.includePatterns = staged.value().rootIncludePatterns;
    request.directory = staged.value().directory.toLocalFile();
    request.output = scratch.value();
    request.defaultRulesApplied = staged.value().defaultRulesApplied;
    Result<PackResult> run = wrapper.pack(request, stop, packerProgress);
    if (!run)
        return run.error();
    logLine(QStringLiteral("Repomix output: ") + run.value().logDigest);
    JobResult result{run.value().totals,        staged.value().leftOut,         staged.value().items,
                     run.value().excludedAsSecrets, run.value().skippedAsBinary, std::move(run.value().files),
                     {},                           input.ticks};

    if (use) {
        if (stop.stop_requested())
            return RunnerError::stopped();
        // A bundle of nothing but the packer's header is no bundle.
        if (result.summary.totalFiles == 0)
            return RunnerError::make(RunnerError::NothingPacked, UserText::nothingPacked(result));
        if (onProgress)
            onProgress({Job::Stage::Writing});
        Result<QStringList> written = use(scratch.value(), run.value().outputFiles);
        if (!written)
            return written.error();
        result.outputFiles = std::move(written.value());
    }
    return result;
}

AppError writeError(const QString &path, const std::error_code &error)
{
    return AppError{QString::fromLatin1(error.category().name()), error.value(),
                    QStringLiteral("Cannot write \u201C%1\u201D: %2")
                        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(error.message()))};
}

// Brands the header: the packer's name becomes the product's, outside the
// user's own texts that the header quotes.
QByteArray brandedHeader(const QByteArray &header, const QStringList &userTexts)
{
    QList<std::pair<qsizetype, qsizetype>> kept; // [start, end) of the user's texts
    for (const QString &text : userTexts) {
        const QByteArray bytes = text.toUtf8();
        for (qsizetype at = bytes.isEmpty() ? -1 : header.indexOf(bytes); at >= 0; at = header.indexOf(bytes, at + bytes.size()))
            kept.append({at, at + bytes.size()});
    }
    std::sort(kept.begin(), kept.end());
    QByteArray branded;
    qsizetype from = 0;
    const auto brandUpTo = [&](qsizetype end) {
        if (end > from)
            branded += header.mid(from, end - from).replace("Repomix", "Lumbrel").replace("repomix", "Lumbrel");
    };
    for (const auto &[start, end] : std::as_const(kept)) {
        if (end <= from)
            continue;
        brandUpTo(start);
        branded += header.mid(qMax(start, from), end - qMax(start, from));
        from = end;
    }
    brandUpTo(header.size());
    return branded;
}

// A file's identity, where it exists.
std::optional<std::pair<std::uint64_t, std::uint64_t>> identity(const QString &path)
{
    platform::EntryInfo info;
    if (platform::entryInfo(toPath(path), info, true))
        return std::nullopt;
    return std::pair{info.device, info.inode};
}

// `path` with its folders' links resolved, where they exist.
QString resolved(const QString &path)
{
    const QFileInfo file(path);
    const QString folder = file.dir().canonicalPath();
    return folder.isEmpty() ? QDir::cleanPath(file.absoluteFilePath()) : QDir(folder).filePath(file.fileName());
}

bool isInside(const QString &path, const QString &folder)
{
    return path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
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

QString destinationConflict(const QString &destination, const JobInput &input)
{
    const QString target = resolved(destination);
    const auto targetIdentity = identity(target);
    for (const QString &file : input.leftOutFiles) {
        if (resolved(file) == target || (targetIdentity && identity(file) == targetIdentity))
            return {}; // an earlier bundle, ours to replace
    }
    const QString name = QFileInfo(destination).fileName();
    for (const QUrl &url : input.files) {
        const QString item = url.toLocalFile();
        const auto itemIdentity = identity(item);
        if (targetIdentity && itemIdentity == targetIdentity)
            return QStringLiteral("\u201C%1\u201D is one of the files being bundled; saving the bundle there would "
                                  "replace it. Choose another name or place.")
                .arg(name);
        if (targetIdentity && QFileInfo(item).isDir()) {
            const QString folder = QFileInfo(item).canonicalFilePath();
            if (!folder.isEmpty() && isInside(target, folder))
                return QStringLiteral("\u201C%1\u201D lies inside \u201C%2\u201D, which is being bundled; saving the "
                                      "bundle there would replace one of its files. Choose another name or place.")
                    .arg(name, QFileInfo(item).fileName());
        }
    }
    return {};
}

QString chosenFolderHolding(const QString &destination, const JobInput &input)
{
    const QString target = resolved(destination);
    for (const QUrl &url : input.files) {
        const QFileInfo item(url.toLocalFile());
        const QString folder = item.canonicalFilePath();
        if (item.isDir() && !folder.isEmpty() && isInside(target, folder))
            return item.absoluteFilePath();
    }
    return {};
}

Result<JobResult> runEstimate(RepomixWrapper &wrapper, const JobInput &input, std::stop_token stop)
{
    return pack(wrapper, input, stop, {}, {});
}

Result<JobResult> runBundle(RepomixWrapper &wrapper, const JobInput &input, const QString &destination,
                            std::stop_token stop, const std::function<void(const JobProgress &)> &onProgress)
{
    // Never an input: the bundle itself is left out wherever it lies, and
    // an existing input is never replaced.
    if (const QString conflict = destinationConflict(destination, input); !conflict.isEmpty())
        return RunnerError::make(RunnerError::DestinationIsInput, conflict);
    JobInput packed = input;
    packed.leftOutFiles << destination;
    for (int part = 1; QFileInfo::exists(PackerOutput::partPath(destination, part)); ++part)
        packed.leftOutFiles << PackerOutput::partPath(destination, part); // earlier parts of the same bundle
    const QStringList userTexts{input.options.text(OptionKey::headerText)};
    return pack(wrapper, packed, stop, onProgress,
                [&](const QString &output, const QStringList &written) -> Result<QStringList> {
                    // One file, or the numbered parts of a split bundle beside the chosen name.
                    QStringList targets;
                    if (written == QStringList{output}) {
                        targets << destination;
                    } else {
                        for (qsizetype part = 1; part <= written.size(); ++part)
                            targets << PackerOutput::partPath(destination, static_cast<int>(part));
                    }
                    for (const QString &target : std::as_const(targets)) {
                        if (const QString conflict = destinationConflict(target, input); !conflict.isEmpty())
                            return RunnerError::make(RunnerError::DestinationIsInput, conflict);
                    }
                    for (qsizetype i = 0; i < targets.size(); ++i) {
                        if (const Result<bool> done = writeBranded(written.at(i), targets.at(i), stop, userTexts); !done)
                            return done.error();
                    }
                    return targets;
                });
}

Result<bool> writeBranded(const QString &from, const QString &to, std::stop_token stop, const QStringList &userTexts)
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
    const qsizetype header = PackerOutput::headerLength(block);
    const QByteArray branded = brandedHeader(block.left(header), userTexts);
    if (!writeAll(branded) || !writeAll(QByteArrayView(block).sliced(header)))
        return fail(failure);
    while (!in.atEnd()) {
        if (stop.stop_requested())
            return RunnerError::stopped();
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
        return RunnerError::stopped();
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
