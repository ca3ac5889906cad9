#include "BundleJobs.h"

#include "CommandLine.h"
#include "Log.h"
#include "RepomixWrapper.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

struct Staged
{
    QUrl directory;
};

Result<Staged> stage(RepomixWrapper &wrapper, const JobInput &input, const std::stop_token &stop)
{
    Result<QUrl> staged = wrapper.stageFiles(input.files, stop);
    if (!staged)
        return staged.error();
    if (stop.stop_requested()) {
        wrapper.discardDirectory(staged.value());
        return AppError::wrapper(RepomixWrapper::Stopped, QStringLiteral("The packer was stopped."));
    }
    wrapper.setTemporaryDirectory(staged.value());
    return Staged{staged.value()};
}

Result<RunSummary> pack(RepomixWrapper &wrapper, const JobInput &input, const QUrl &directory,
                        const QString &output, const std::stop_token &stop)
{
    const Result<QString> report = wrapper.runRepomix(
        buildArguments(input.options, input.ignorePatterns, output), directory, stop);
    if (!report)
        return report.error();
    logLine(QStringLiteral("Repomix output: ") + report.value());
    return parseSummary(report.value());
}

// True when the bytes end inside a multi-byte UTF-8 sequence.
bool endsMidCharacter(QByteArrayView bytes)
{
    for (qsizetype back = 1; back <= 4 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // continuation byte
        const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back;
    }
    return false;
}

} // namespace

Result<RunSummary> runEstimate(RepomixWrapper &wrapper, const JobInput &input, std::stop_token stop)
{
    const Result<Staged> staged = stage(wrapper, input, stop);
    if (!staged)
        return staged.error();
    const Result<QString> scratch = PrivateArea::scratchFile(QStringLiteral(".txt"));
    if (!scratch)
        return scratch.error();
    Result<RunSummary> summary = pack(wrapper, input, staged.value().directory, scratch.value(), stop);
    QFile::remove(scratch.value());
    return summary;
}

Result<RunSummary> runBundle(RepomixWrapper &wrapper, const JobInput &input, const QString &destination,
                             std::stop_token stop)
{
    const Result<Staged> staged = stage(wrapper, input, stop);
    if (!staged)
        return staged.error();
    // The packer writes a new file; the branded text replaces the destination
    // only once it is complete.
    const Result<QString> scratch = PrivateArea::scratchFile(QStringLiteral(".txt"));
    if (!scratch)
        return scratch.error();
    Result<RunSummary> summary = pack(wrapper, input, staged.value().directory, scratch.value(), stop);
    if (summary && !brandFile(scratch.value(), destination))
        summary = AppError::wrapper(-1, QStringLiteral("Cannot write %1.").arg(destination));
    QFile::remove(scratch.value());
    return summary;
}

bool brandFile(const QString &path)
{
    return brandFile(path, path);
}

bool brandFile(const QString &from, const QString &to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return false;

    const auto writeAll = [&out](QByteArrayView bytes) {
        return out.write(bytes.data(), bytes.size()) == bytes.size();
    };
    // Both words and their replacement are seven ASCII bytes, so the text
    // keeps its length and a word can only straddle two blocks by up to six
    // bytes, which wait for the next block.
    static constexpr qsizetype carryLength = 6;
    QStringDecoder validator(QStringDecoder::Utf8);
    QByteArray buffer;
    QByteArray lastBytes;
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty())
            break;
        (void)validator.decode(block);
        if (validator.hasError()) {
            out.cancelWriting();
            return false;
        }
        lastBytes = (lastBytes + block).right(4);
        buffer += block;
        buffer.replace("Repomix", "Lumbrel").replace("repomix", "Lumbrel");
        const qsizetype ready = qMax<qsizetype>(0, buffer.size() - carryLength);
        if (!writeAll(QByteArrayView(buffer).first(ready))) {
            out.cancelWriting();
            return false;
        }
        buffer.remove(0, ready);
    }
    if (in.error() != QFileDevice::NoError || endsMidCharacter(lastBytes) || !writeAll(buffer)) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
