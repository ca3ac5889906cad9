#include "CommandLineRunner.h"

#include "PackerOutput.h"
#include "Platform.h"
#include "RunnerError.h"

#include <QProcess>
#include <QStringDecoder>

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

CommandLineRunner::CommandLineRunner(PackerLocation location)
    : m_location(std::move(location))
{
}

Result<PackerRun> CommandLineRunner::run(const PackerInvocation &invocation, std::stop_token stop,
                                         const PackerProgressHandler &)
{
    QProcess process;
    process.setProgram(m_location.runtime);
    process.setArguments(QStringList{m_location.script} + invocation.arguments);
    process.setWorkingDirectory(invocation.environment.workingDirectory);
    process.setProcessEnvironment(invocation.environment.environment);
    process.setStandardInputFile(QProcess::nullDevice());
    platform::prepareChild(process);

    if (stop.stop_requested())
        return RunnerError::stopped();
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
    if (stop.stop_requested())
        return RunnerError::stopped();

    const std::optional<QString> report = decodeUtf8(process.readAllStandardOutput());
    if (!report)
        return RunnerError::make(RunnerError::UnreadableOutput, QStringLiteral("Failed to read Repomix output."));
    if (process.exitStatus() != QProcess::NormalExit)
        return RunnerError::make(RunnerError::Crashed, QStringLiteral("The packer ended abnormally."));
    if (process.exitCode() != 0) {
        const std::optional<QString> message = decodeUtf8(process.readAllStandardError());
        if (!message)
            return RunnerError::make(RunnerError::UnreadableOutput,
                                     QStringLiteral("Repomix process failed with an unknown error."));
        return AppError::wrapper(process.exitCode(), *message);
    }
    if (PackerOutput::writtenFiles(invocation.output).isEmpty())
        return RunnerError::make(RunnerError::NoOutputWritten,
                                 QStringLiteral("The packer ended without writing %1.").arg(invocation.output));
    return PackerRun{*report, {}, {}};
}
