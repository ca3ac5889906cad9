#include "RepomixWrapper.h"

#include "Log.h"
#include "Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QUuid>

#include <optional>

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

QString fromPath(const fs::path &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

AppError stoppedError()
{
    return AppError::wrapper(RepomixWrapper::Stopped, QStringLiteral("The packer was stopped."));
}

// What identifies one version of the output file, to tell whether a run wrote it.
struct FileStamp
{
    bool exists = false;
    fs::file_time_type modified;
    std::uintmax_t size = 0;

    static FileStamp of(const fs::path &path)
    {
        std::error_code error;
        FileStamp stamp;
        stamp.modified = fs::last_write_time(path, error);
        if (error)
            return {};
        stamp.size = fs::file_size(path, error);
        stamp.exists = !error;
        return stamp;
    }
    bool operator==(const FileStamp &) const = default;
};

QString quotedArguments(const QStringList &arguments)
{
    QStringList quoted;
    quoted.reserve(arguments.size());
    for (const QString &argument : arguments)
        quoted << QLatin1Char('"') + argument + QLatin1Char('"');
    return QLatin1Char('[') + quoted.join(QLatin1String(", ")) + QLatin1Char(']');
}

} // namespace

RepomixWrapper::RepomixWrapper(PackerLocation location)
    : m_location(std::move(location))
{
    std::set<std::string> skipped = StagingCopy::versionControlFolders();
    const QString packerDirectory = QFileInfo(m_location.script).absolutePath() + QStringLiteral("/..");
    skipped.merge(StagingCopy::packerIgnoredFolders(QDir::cleanPath(packerDirectory)));
    m_copy = StagingCopy(std::move(skipped));
    m_removals.setMaxThreadCount(1);
}

RepomixWrapper::~RepomixWrapper()
{
    if (!m_temporaryDirectory.isEmpty()) {
        std::error_code ignored;
        fs::remove_all(toPath(m_temporaryDirectory.toLocalFile()), ignored);
    }
    startRemovals();
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
    m_pendingRemovals.push_back(toPath(directory.toLocalFile()));
}

void RepomixWrapper::startRemovals()
{
    for (fs::path &path : m_pendingRemovals) {
        m_removals.start([path = std::move(path)] {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        });
    }
    m_pendingRemovals.clear();
}

Result<QString> RepomixWrapper::privateDirectory()
{
    const fs::path path = toPath(QDir::tempPath()) / platform::perUserName("lumbrel");
    if (const std::error_code error = platform::ensurePrivateDirectory(path))
        return fileSystemError(error, QStringLiteral("Cannot use the private folder"), path);
    return fromPath(path);
}

Result<QUrl> RepomixWrapper::stageFiles(const QList<QUrl> &files, std::stop_token stop)
{
    const QString name = QStringLiteral("repomix-temp-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const fs::path temp = toPath(QDir::tempPath());
    const fs::path staging = temp / toPath(name);

    std::error_code error;
    fs::create_directories(temp, error);
    if (!error)
        error = platform::createPrivateDirectory(staging);
    if (error)
        return fileSystemError(error, QStringLiteral("Cannot create"), staging);

    const auto fail = [&](AppError failure) -> Result<QUrl> {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        return failure;
    };

    for (const QUrl &file : files) {
        if (stop.stop_requested())
            return fail(stoppedError());
        fs::path item = toPath(file.toLocalFile()).lexically_normal();
        if (!item.has_filename())
            item = item.parent_path();
        const fs::path itemName = item.filename();
        std::error_code statusError;
        if (!fs::exists(fs::symlink_status(item, statusError)))
            continue; // vanished since it was chosen
        if (itemName.empty() || itemName == "." || itemName == "..")
            return fail(fileSystemError(std::make_error_code(std::errc::invalid_argument),
                                        QStringLiteral("Cannot copy"), item));
        if (m_copy.skippedFolders().count(itemName.string()) && fs::is_directory(fs::symlink_status(item, statusError)))
            continue; // the packer would read nothing in it
        if (auto failure = m_copy.copy(item, staging / itemName, stop))
            return fail(*failure);
    }
    return QUrl::fromLocalFile(fromPath(staging));
}

Result<QString> RepomixWrapper::runRepomix(const QStringList &arguments, const QUrl &directory,
                                           std::stop_token stop)
{
    if (!QFileInfo(m_location.runtime).isExecutable())
        return AppError::wrapper(RuntimeMissing,
                                 QStringLiteral("The Node.js runtime of the packer is missing from this installation: %1")
                                     .arg(m_location.runtime));
    if (!QFileInfo(m_location.script).isFile())
        return AppError::wrapper(ScriptMissing,
                                 QStringLiteral("The packer is missing from this installation: %1").arg(m_location.script));
    const Result<QString> workDirectory = privateDirectory();
    if (!workDirectory)
        return workDirectory.error();

    // The output file, to tell afterwards whether this run wrote it.
    fs::path output;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--output")); at >= 0 && at + 1 < arguments.size())
        output = toPath(QDir(workDirectory.value()).absoluteFilePath(arguments.at(at + 1)));
    const FileStamp before = FileStamp::of(output);

    const QStringList processArguments = QStringList{m_location.script} + arguments
        + QStringList{directory.toLocalFile()};
    logLine(quotedArguments(processArguments));

    QProcess process;
    process.setProgram(m_location.runtime);
    process.setArguments(processArguments);
    // Only our own options govern the packer: it runs where no configuration
    // file of the user's can be found, and Node settings meant for the user's
    // own installs do not reach the bundled runtime.
    process.setWorkingDirectory(workDirectory.value());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("NODE_OPTIONS"));
    environment.remove(QStringLiteral("NODE_PATH"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), workDirectory.value());
    environment.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1")); // a plain report, whatever the terminal
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    platform::startInOwnProcessGroup(process);

    if (stop.stop_requested())
        return stoppedError();
    process.start();
    if (!process.waitForStarted(-1))
        return AppError{QStringLiteral("QProcess"), static_cast<int>(process.error()),
                        QStringLiteral("Cannot start %1: %2").arg(m_location.runtime, process.errorString())};

    // Old staging copies go while the packer computes, so that removing them
    // does not slow down the copying of the next one.
    startRemovals();
    {
        const qint64 pid = process.processId();
        std::stop_callback killOnStop(stop, [pid] { platform::killProcessGroup(pid); });
        // QProcess reads both pipes into its buffers while it waits, so a
        // long report cannot stall the child.
        process.waitForFinished(-1);
    }
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
    if (!output.empty()) {
        const FileStamp after = FileStamp::of(output);
        if (!after.exists || after == before)
            return AppError::wrapper(NoOutputWritten,
                                     QStringLiteral("The packer ended without writing %1.").arg(fromPath(output)));
    }
    return *report;
}
