#include "RepomixWrapper.h"

#include "Log.h"
#include "NativePath.h"
#include "PackerEnvironment.h"
#include "Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStringDecoder>
#include <QUuid>

#include <optional>

namespace fs = std::filesystem;

namespace {

const QString stagingPrefix = QStringLiteral("repomix-temp-");

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString quotedArguments(const QStringList &arguments)
{
    QStringList quoted;
    quoted.reserve(arguments.size());
    for (const QString &argument : arguments)
        quoted << QLatin1Char('"') + argument + QLatin1Char('"');
    return QLatin1Char('[') + quoted.join(QLatin1String(", ")) + QLatin1Char(']');
}

std::optional<std::uintmax_t> freeSpace(const fs::path &path)
{
    std::error_code error;
    const fs::space_info space = fs::space(path, error);
    if (error)
        return std::nullopt;
    return space.available;
}

// A size for people: one decimal below ten units ("1.5 GB"), none above ("975 MB").
QString sizeText(std::uintmax_t bytes)
{
    int precision = 0;
    for (std::uintmax_t unit = 1000; unit <= 1000000000000000ull; unit *= 1000) {
        if (bytes >= unit && bytes < 10 * unit)
            precision = 1;
    }
    return QLocale().formattedDataSize(static_cast<qint64>(bytes), precision, QLocale::DataSizeSIFormat);
}

StagingCopy::Settings stagingSettings(const PackerLocation &location)
{
    StagingCopy::Settings settings;
    const QString packer = location.packerDirectory();
    QString problem;
    settings.defaultRules = IgnoreRules::packerDefaults(packer, &problem);
    if (!settings.defaultRules) {
        // The packer keeps applying its own rules (at the staging root, as
        // before); staging leaves out only what those certainly ignore.
        logLine(QStringLiteral("The packer applies its default ignore rules itself: ") + problem);
        if (const std::optional<QStringList> patterns = IgnoreRules::packerDefaultPatterns(packer))
            settings.rootRules = IgnoreRules::fromPatterns(*patterns, false).value_or(IgnoreRules());
    }
    settings.maxFileSize = StagingCopy::packerMaxFileSize(packer);
    return settings;
}

} // namespace

AppError RepomixWrapper::stoppedError()
{
    return AppError::wrapper(Stopped, QStringLiteral("The packer was stopped."));
}

RepomixWrapper::RepomixWrapper(PackerLocation location)
    : m_location(std::move(location))
    , m_copy(stagingSettings(m_location))
    , m_freeSpace(freeSpace)
{
    m_removals.setMaxThreadCount(1);
}

RepomixWrapper::~RepomixWrapper()
{
    if (!m_temporaryDirectory.isEmpty()) {
        std::error_code ignored;
        fs::remove_all(toPath(m_temporaryDirectory.toLocalFile()), ignored);
    }
    m_removals.waitForDone();
}

void RepomixWrapper::setTemporaryDirectory(const QUrl &directory)
{
    if (m_temporaryDirectory == directory)
        return;
    const QUrl replaced = std::exchange(m_temporaryDirectory, directory);
    discardDirectory(replaced);
}

void RepomixWrapper::discardDirectory(const QUrl &directory)
{
    if (directory.isEmpty() || directory == m_temporaryDirectory)
        return;
    const QString local = directory.toLocalFile();
    m_rulesApplied.remove(local);
    // Only staging directories: this never becomes a way to remove anything else.
    if (!QFileInfo(local).fileName().startsWith(stagingPrefix))
        return;
    m_removals.start([path = toPath(local)] {
        std::error_code ignored;
        fs::remove_all(path, ignored); // unlinks; never follows a link
    });
}

Result<Staging> RepomixWrapper::stage(const QList<QUrl> &items, const QString &ignorePatterns, std::stop_token stop)
{
    const Result<QString> parent = PrivateArea::stagingParent();
    if (!parent)
        return parent.error();
    const fs::path parentPath = toPath(parent.value());
    platform::EntryInfo parentInfo;
    if (const std::error_code error = platform::entryInfo(parentPath, parentInfo))
        return fileSystemError(error, QStringLiteral("Cannot use"), parentPath);
    std::set<std::pair<std::uint64_t, std::uint64_t>> privateFolders;
    if (const Result<QString> area = PrivateArea::temporaryArea()) {
        platform::EntryInfo areaInfo;
        if (!platform::entryInfo(toPath(area.value()), areaInfo))
            privateFolders.insert({areaInfo.device, areaInfo.inode});
    }

    StagingCopy::Plan plan = m_copy.plan(items, ignorePatterns, parentInfo.device, privateFolders, stop);
    if (stop.stop_requested())
        return stoppedError();

    // Room for what is copied and for the output, which is about as large
    // as the text it packs.
    const std::uintmax_t needed = plan.copyBytes + plan.fileBytes;
    if (const std::optional<std::uintmax_t> available = m_freeSpace ? m_freeSpace(parentPath) : std::nullopt;
        available && needed > *available) {
        return AppError::wrapper(
            NotEnoughSpace,
            QStringLiteral("Not enough free space in the temporary folder (%1): the selection needs %2, %3 are free.")
                .arg(QDir::toNativeSeparators(QDir::tempPath()), sizeText(needed), sizeText(*available)));
    }

    const fs::path staging = parentPath / toPath(stagingPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (const std::error_code error = platform::createPrivateDirectory(staging))
        return fileSystemError(error, QStringLiteral("Cannot create"), staging);

    Staging result;
    std::optional<AppError> failure =
        m_copy.execute(plan, staging, parentInfo.device, stop, result.bytesCopied, result.bytesLinked);
    if (!failure && stop.stop_requested())
        failure = stoppedError();
    if (failure) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        return *failure;
    }
    result.directory = QUrl::fromLocalFile(fromPath(staging));
    result.items = std::move(plan.items);
    result.leftOut = std::move(plan.leftOut);
    result.defaultRulesApplied = plan.defaultRulesApplied;
    if (result.defaultRulesApplied)
        m_rulesApplied.insert(fromPath(staging));
    return result;
}

Result<QUrl> RepomixWrapper::stageFiles(const QList<QUrl> &files, std::stop_token stop)
{
    const Result<Staging> staging = stage(files, QString(), stop);
    if (!staging)
        return staging.error();
    return staging.value().directory;
}

Result<QString> RepomixWrapper::runRepomix(const QStringList &arguments, const QUrl &directory, std::stop_token stop)
{
    Result<PackerRun> run = runPacker(arguments, directory, stop);
    if (!run)
        return run.error();
    return std::move(run.value().report);
}

void RepomixWrapper::startService()
{
    if (m_service || !QFileInfo::exists(PackerService::scriptFor(m_location)))
        return; // an installation without the service (or a stand-in packer) runs the command line
    const Result<PackerEnvironment> run = PackerEnvironment::forRun();
    if (!run)
        return; // the first run will say what is wrong
    m_service = std::make_unique<PackerService>(m_location);
    m_service->start(run.value().environment);
    m_warm.store(m_service.get(), std::memory_order_release);
}

Result<PackerRun> RepomixWrapper::runPacker(const QStringList &arguments, const QUrl &directory, std::stop_token stop,
                                            const PackerProgressHandler &progress)
{
    if (!QFileInfo(m_location.runtime).isExecutable())
        return AppError::wrapper(RuntimeMissing,
                                 QStringLiteral("The Node.js runtime of the packer is missing from this installation: %1")
                                     .arg(m_location.runtime));
    if (!QFileInfo(m_location.script).isFile())
        return AppError::wrapper(ScriptMissing,
                                 QStringLiteral("The packer is missing from this installation: %1").arg(m_location.script));
    const Result<PackerEnvironment> run = PackerEnvironment::forRun();
    if (!run)
        return run.error();

    // The output must be new, so that what is there afterwards is this run's.
    QString output;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--output")); at >= 0 && at + 1 < arguments.size()) {
        output = QDir(run.value().workingDirectory).absoluteFilePath(arguments.at(at + 1));
        std::error_code error;
        if (fs::exists(fs::symlink_status(toPath(output), error)))
            return AppError::wrapper(OutputExists,
                                     QStringLiteral("The packer's output file exists already: %1").arg(output));
    }

    // A staging that applied the default rules per chosen folder must not
    // have them applied again at its root.
    const QString stagingDirectory = directory.toLocalFile();
    QStringList jobArguments = arguments;
    if (m_rulesApplied.contains(stagingDirectory))
        jobArguments << QStringLiteral("--no-default-patterns");
    const QStringList processArguments = QStringList{m_location.script} + jobArguments + QStringList{stagingDirectory};
    logDetail(quotedArguments(processArguments)); // on a command's standard error only when verbose

    if (PackerService *service = m_warm.load(std::memory_order_acquire)) {
        Result<PackerRun> served = service->run(jobArguments, directory, run.value().environment,
                                                  run.value().workingDirectory, stop, progress);
        PackerEnvironment::pruneCache(run.value().cacheDirectory);
        if (served || !PackerService::isUnavailable(served.error()))
            return served;
        logLine(QStringLiteral("The warm packer cannot serve this run (%1); running the packer's command line.")
                    .arg(served.error().description));
        if (!output.isEmpty())
            QFile::remove(output); // whatever a service that died wrote
    }
    return runOnce(processArguments, run.value(), output, stop);
}

Result<PackerRun> RepomixWrapper::runOnce(const QStringList &processArguments, const PackerEnvironment &run,
                                          const QString &output, const std::stop_token &stop)
{
    QProcess process;
    process.setProgram(m_location.runtime);
    process.setArguments(processArguments);
    process.setWorkingDirectory(run.workingDirectory);
    process.setProcessEnvironment(run.environment);
    process.setStandardInputFile(QProcess::nullDevice());
    platform::prepareChild(process);

    if (stop.stop_requested())
        return stoppedError();
    process.start();
    if (!process.waitForStarted(-1))
        return AppError{QStringLiteral("QProcess"), static_cast<int>(process.error()),
                        QStringLiteral("Cannot start %1: %2").arg(m_location.runtime, process.errorString())};
    {
        const qint64 pid = process.processId();
        std::stop_callback killOnStop(stop, [pid] { platform::killProcessGroup(pid); });
        // QProcess reads both pipes into its buffers while it waits, so a
        // long report cannot stall the child.
        process.waitForFinished(-1);
    }
    PackerEnvironment::pruneCache(run.cacheDirectory);
    if (stop.stop_requested())
        return stoppedError();

    const std::optional<QString> report = decodeUtf8(process.readAllStandardOutput());
    if (!report)
        return AppError::wrapper(UnreadableOutput, QStringLiteral("Failed to read Repomix output."));
    if (process.exitStatus() != QProcess::NormalExit)
        return AppError::wrapper(Crashed, QStringLiteral("The packer ended abnormally."));
    if (process.exitCode() != 0) {
        const std::optional<QString> message = decodeUtf8(process.readAllStandardError());
        if (!message)
            return AppError::wrapper(UnreadableOutput, QStringLiteral("Repomix process failed with an unknown error."));
        return AppError::wrapper(process.exitCode(), *message);
    }
    if (!output.isEmpty() && !QFileInfo::exists(output))
        return AppError::wrapper(NoOutputWritten, QStringLiteral("The packer ended without writing %1.").arg(output));
    return PackerRun{*report, {}, {}};
}
