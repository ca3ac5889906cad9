#include "RepomixWrapper.h"

#include "Log.h"
#include "NativePath.h"
#include "PackerArguments.h"
#include "PackerEnvironment.h"
#include "PackerFiles.h"
#include "PackerOutput.h"
#include "PackerService.h"
#include "Platform.h"
#include "PrivateArea.h"
#include "RunSummary.h"
#include "RunnerError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QUuid>

#include <algorithm>
#include <iterator>
#include <optional>

namespace fs = std::filesystem;

namespace {

const QString stagingPrefix = QStringLiteral("repomix-temp-");

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
    const std::optional<QStringList> defaults = PackerFiles::defaultIgnorePatterns(packer, &problem);
    if (defaults)
        settings.defaultRules = IgnoreRules::fromPatterns(*defaults, true, &problem);
    if (!settings.defaultRules) {
        // The packer keeps applying its own rules (at the staging root, as
        // before); staging leaves out only what those certainly ignore.
        logLine(QStringLiteral("The packer applies its default ignore rules itself: ") + problem);
        if (defaults)
            settings.rootRules = IgnoreRules::fromPatterns(*defaults, false).value_or(IgnoreRules());
    }
    settings.maxFileSize = PackerFiles::maxFileSize(packer);
    settings.binaryExtensions = PackerFiles::binaryExtensions(packer);
    return settings;
}

} // namespace

RepomixWrapper::RepomixWrapper(PackerLocation location)
    : m_location(std::move(location))
    , m_copy(stagingSettings(m_location))
    , m_freeSpace(freeSpace)
    , m_commandLine(m_location)
{
    m_removals.setMaxThreadCount(1);
}

RepomixWrapper::~RepomixWrapper()
{
    m_removals.waitForDone();
}

void RepomixWrapper::discardDirectory(const QUrl &directory)
{
    if (directory.isEmpty())
        return;
    const QString local = directory.toLocalFile();
    // Only staging directories: this never becomes a way to remove anything else.
    if (!QFileInfo(local).fileName().startsWith(stagingPrefix))
        return;
    m_removals.start([path = toPath(local)] {
        std::error_code ignored;
        fs::remove_all(path, ignored); // unlinks; never follows a link
    });
}

Result<RepomixWrapper::Planned> RepomixWrapper::planFor(const StagingInput &input, std::stop_token stop) const
{
    const Result<QString> parent = PrivateArea::stagingParent();
    if (!parent)
        return parent.error();
    Planned planned;
    planned.parentPath = toPath(parent.value());
    platform::EntryInfo parentInfo;
    if (const std::error_code error = platform::entryInfo(planned.parentPath, parentInfo))
        return fileSystemError(error, QStringLiteral("Cannot use"), planned.parentPath);
    planned.parentDevice = parentInfo.device;
    planned.staging =
        planned.parentPath / toPath(stagingPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    StagingCopy::Request request{input.ignorePatterns, input.includePatterns, planned.parentDevice, planned.staging, {}, {}, input.ticks};
    for (const QString &own : PrivateArea::ownLocations()) {
        platform::EntryInfo info;
        if (!platform::entryInfo(toPath(own), info, true))
            request.ownEntries.insert({info.device, info.inode});
    }
    // The bundle's own files are never packed, wherever they lie.
    for (const QString &file : input.leftOutFiles) {
        platform::EntryInfo info;
        if (!platform::entryInfo(toPath(file), info))
            request.bundleFiles.insert({info.device, info.inode});
    }

    planned.plan = m_copy.plan(input.items, request, stop);
    if (stop.stop_requested())
        return RunnerError::stopped();
    return planned;
}

Result<SelectionSnapshot> RepomixWrapper::snapshot(const StagingInput &input, std::stop_token stop) const
{
    const Result<Planned> planned = planFor(input, stop);
    if (!planned)
        return planned.error();
    return StagingCopy::snapshot(planned.value().plan);
}

Result<Staging> RepomixWrapper::stage(const StagingInput &input, std::stop_token stop)
{
    Result<Planned> planned = planFor(input, stop);
    if (!planned)
        return planned.error();
    StagingCopy::Plan &plan = planned.value().plan;
    const fs::path &parentPath = planned.value().parentPath;
    const std::uint64_t parentDevice = planned.value().parentDevice;
    const fs::path &staging = planned.value().staging;
    Staging result;
    result.snapshot = StagingCopy::snapshot(plan); // before anything is read

    // A list where the packer can take one: nothing per file in the staging.
    // The packer applies patterns to a list otherwise than in a search, so
    // only where it has none left to apply at the staging root. Nor for many
    // chosen files: the packer's search matches every name in a folder
    // against every listed path of that folder, which for the staging root
    // grows with the square of the chosen files (10,000 took minutes).
    constexpr qsizetype mostChosenFilesInAList = 1000;
    const qsizetype chosenFiles = std::count_if(plan.entries.cbegin(), plan.entries.cend(), [](const auto &entry) {
        return entry.kind == StagingCopy::Entry::File && !entry.target.has_parent_path();
    });
    const bool asList = m_stageByList && plan.defaultRulesApplied && plan.rootIgnorePatterns.isEmpty()
        && plan.rootIncludePatterns.isEmpty() && chosenFiles <= mostChosenFilesInAList && StagingCopy::listable(plan);

    // Room for the copies (for a list: of the files it copies) and the output.
    const std::uintmax_t copies = asList ? StagingCopy::listCopyBytes(plan) : plan.copyBytes;
    const std::uintmax_t needed = copies + plan.outputEstimate();
    if (const std::optional<std::uintmax_t> available = m_freeSpace ? m_freeSpace(parentPath) : std::nullopt;
        available && needed > *available) {
        return RunnerError::make(
            RunnerError::NotEnoughSpace,
            QStringLiteral("Not enough free space in the temporary folder (%1): this bundle needs about %2 there "
                           "(%3 for copies of files that cannot be linked, %4 for the packer's output), and %5 are free.")
                .arg(QDir::toNativeSeparators(QDir::tempPath()), sizeText(needed), sizeText(copies),
                     sizeText(plan.outputEstimate()), sizeText(*available)));
    }

    if (const std::error_code error = platform::createPrivateDirectory(staging))
        return fileSystemError(error, QStringLiteral("Cannot create"), staging);

    std::optional<AppError> failure =
        asList ? m_copy.executeAsList(plan, staging, stop, result.files, result.bytesCopied)
               : m_copy.execute(plan, staging, parentDevice, stop, result.bytesCopied, result.bytesLinked);
    if (!failure && stop.stop_requested())
        failure = RunnerError::stopped();
    if (failure) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        return *failure;
    }
    result.directory = QUrl::fromLocalFile(fromPath(staging));
    result.items = std::move(plan.items);
    result.leftOut = std::move(plan.leftOut);
    result.defaultRulesApplied = plan.defaultRulesApplied;
    result.patternsApplied = plan.patternsApplied;
    result.rootIgnorePatterns = plan.rootIgnorePatterns;
    result.rootIncludePatterns = plan.rootIncludePatterns;
    return result;
}

PackRequest RepomixWrapper::requestFor(const Staging &staging)
{
    PackRequest request;
    request.directory = staging.directory.toLocalFile();
    request.defaultRulesApplied = staging.defaultRulesApplied;
    // The staging applied the user's patterns to each item: the packer gets
    // only what the staging left for it at its root, already written for the
    // root (so patternsApplied, which would drop them, stays false).
    request.ignorePatterns = staging.rootIgnorePatterns;
    request.includePatterns = staging.rootIncludePatterns;
    request.files = staging.files;
    return request;
}

void RepomixWrapper::startService()
{
    if (!QFileInfo::exists(PackerService::scriptFor(m_location)))
        return; // an installation without the service (or a stand-in packer) runs the command line
    const Result<PackerEnvironment> run = PackerEnvironment::forRun();
    if (!run)
        return; // the first run will say what is wrong
    if (m_service) {
        m_service->start(run.value().environment); // again, after it ended for idleness
        return;
    }
    m_service = std::make_unique<PackerService>(m_location);
    m_service->start(run.value().environment);
    m_warm.store(m_service.get(), std::memory_order_release);
}

Result<PackResult> RepomixWrapper::pack(PackRequest request, std::stop_token stop, const PackerProgressHandler &progress)
{
    if (!QFileInfo(m_location.runtime).isExecutable())
        return RunnerError::make(RunnerError::RuntimeMissing,
                                 QStringLiteral("The Node.js runtime of the packer is missing from this installation: %1")
                                     .arg(m_location.runtime));
    if (!QFileInfo(m_location.script).isFile())
        return RunnerError::make(RunnerError::ScriptMissing,
                                 QStringLiteral("The packer is missing from this installation: %1").arg(m_location.script));
    const Result<PackerEnvironment> environment = PackerEnvironment::forRun();
    if (!environment)
        return environment.error();

    // The output must be new, so that what is there afterwards is this run's.
    request.output = QDir(environment.value().workingDirectory).absoluteFilePath(request.output);
    if (!PackerOutput::writtenFiles(request.output).isEmpty())
        return RunnerError::make(RunnerError::OutputExists,
                                 QStringLiteral("The packer's output file exists already: %1").arg(request.output));

    // Options the packer reads from a file get a private one, for this run only.
    QStringList optionFiles;
    const auto removeOptionFiles = qScopeGuard([&optionFiles] {
        for (const QString &file : std::as_const(optionFiles))
            QFile::remove(file);
    });
    for (const OptionSpec &option : OptionTable::all()) {
        const QString value = request.options.text(QLatin1StringView(option.key));
        if (option.packer != OptionSpec::Packer::File || value.isEmpty())
            continue;
        const Result<QString> file = PrivateArea::scratchFile(QStringLiteral(".md"));
        if (!file)
            return file.error();
        QFile out(file.value());
        const QByteArray bytes = value.toUtf8();
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return AppError{QStringLiteral("QFile"), static_cast<int>(out.error()),
                            QStringLiteral("Cannot write \u201C%1\u201D: %2").arg(file.value(), out.errorString())};
        optionFiles << file.value();
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (out.write(bytes) != bytes.size() || !out.flush())
            return AppError{QStringLiteral("QFile"), static_cast<int>(out.error()),
                            QStringLiteral("Cannot write \u201C%1\u201D: %2").arg(file.value(), out.errorString())};
        request.optionFiles.insert(option.keyText(), file.value());
    }

    PackerInvocation invocation{packerArguments(request), request.output, environment.value(), {}};
    if (!request.files.isEmpty()) {
        // A staging of links: the packer runs in it and reads the list.
        invocation.environment.workingDirectory = request.directory;
        invocation.standardInput = request.files.join(QLatin1Char('\n')).toUtf8() + '\n';
    }
    if (loggingArguments())
        logLine(quotedArguments(QStringList{m_location.script} + invocation.arguments));

    // Whatever a run that did not count wrote goes before the next one.
    const auto removeOutput = [&request] {
        for (const QString &file : PackerOutput::writtenFiles(request.output))
            QFile::remove(file);
    };
    std::optional<Result<PackerRun>> run;
    if (PackerService *service = m_warm.load(std::memory_order_acquire)) {
        run = service->run(invocation, stop, progress);
        if (!*run && PackerService::isUnavailable(run->error())) {
            logLine(QStringLiteral("The warm packer cannot serve this run (%1); running the packer's command line.")
                        .arg(run->error().description));
            removeOutput();
            run.reset();
        }
    }
    if (!run)
        run = m_commandLine.run(invocation, stop, progress);
    PackerEnvironment::pruneCache(environment.value().cacheDirectory);
    if (!*run) {
        removeOutput();
        return run->error();
    }

    const QString &report = run->value().report;
    PackResult result;
    result.totals = parseSummary(report);
    result.files = std::move(run->value().files);
    result.excludedAsSecrets = excludedAsSecrets(report);
    const QDir packed(request.directory);
    for (const QString &file : skippedAsBinary(report))
        result.skippedAsBinary << QDir::fromNativeSeparators(packed.relativeFilePath(file));
    result.logDigest = reportForLog(report);
    result.outputFiles = PackerOutput::writtenFiles(request.output);
    return result;
}
