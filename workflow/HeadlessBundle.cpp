#include "HeadlessBundle.h"

#include "BundleOptions.h"
#include "CountText.h"
#include "Desktop.h"
#include "FileSelection.h"
#include "GitChanges.h"
#include "PackerJobs.h"
#include "PackerWorker.h"
#include "RepomixWrapper.h"
#include "RunnerError.h"
#include "UserText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTextStream>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int failedStatus = 1;
constexpr int wrongRequestStatus = 2;
constexpr int stoppedStatus = 130;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The options of this run: the stored ones, with those the command line gives.
// The instructions come from the file the command line names.
std::optional<OptionValues> runOptions(const CommandLine &command, const BundleOptions &stored, QString &problem)
{
    OptionValues values = stored.values();
    for (const auto &[key, given] : command.options) {
        const OptionSpec *option = OptionTable::find(key);
        QString value = given;
        if (option && option->flagReadsFile) {
            QFile file(given);
            if (!file.open(QIODevice::ReadOnly)) {
                problem = u"cannot read --%1 %2: %3"_s.arg(option->flagText(), given, file.errorString());
                return std::nullopt;
            }
            QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            value = decode(file.readAll());
            if (decode.hasError()) {
                problem = u"--%1 %2 is not UTF-8 text"_s.arg(option->flagText(), given);
                return std::nullopt;
            }
        }
        values.set(key, value);
    }
    return values;
}

// Runs `job` on a packer thread while the event loop turns, so that a
// termination signal can stop it; nothing when a signal ended it.
std::optional<Result<JobResult>> runJob(const std::function<Result<JobResult>(std::stop_token)> &job)
{
    std::stop_source stop;
    std::optional<Result<JobResult>> result;
    {
        PackerWorker worker;
        worker.post(
            QCoreApplication::instance(), [&] { return job(stop.get_token()); },
            [&result](const Result<JobResult> &done) {
                result = done;
                QCoreApplication::exit(0);
            });
        platform::quitOnTerminationSignals();
        QCoreApplication::exec();
        if (!result)
            stop.request_stop(); // a signal ended the loop: the packer's group ends, the output stays as it was
    }
    return result;
}

void printLeftOut(const JobResult &result, QTextStream &out)
{
    const QStringList leftOut = UserText::leftOut(result);
    if (leftOut.isEmpty())
        return;
    out << "Left out:\n";
    for (const QString &line : leftOut)
        out << "  " << line << "\n";
}

// Each packed file's part, largest first, as a table or as JSON.
void printEstimate(const JobResult &result, const OptionValues &options, bool json, QTextStream &out)
{
    QList<PackedFile> files = result.files;
    std::stable_sort(files.begin(), files.end(), [](const PackedFile &a, const PackedFile &b) { return a.tokens > b.tokens; });
    QHash<QString, QString> sources; // staged name -> the chosen item
    for (const StagedItem &item : result.items)
        sources.insert(item.stagedName, item.source.toLocalFile());
    const auto sourceOf = [&sources](const QString &packed) {
        const qsizetype slash = packed.indexOf(u'/');
        const QString item = sources.value(slash < 0 ? packed : packed.left(slash));
        return slash < 0 ? item : QDir(item).filePath(packed.mid(slash + 1));
    };
    const RunSummary &totals = result.summary;
    const QString limit = options.text(OptionKey::contextLimit);
    if (json) {
        QJsonArray perFile;
        for (const PackedFile &file : std::as_const(files)) {
            perFile.append(QJsonObject{{u"path"_s, file.path},
                                       {u"file"_s, native(sourceOf(file.path))},
                                       {u"characters"_s, file.characters},
                                       {u"tokens"_s, file.tokens}});
        }
        QJsonArray leftOut;
        for (const QString &line : UserText::leftOut(result))
            leftOut.append(line);
        const QJsonObject estimate{{u"files"_s, totals.totalFiles},
                                   {u"characters"_s, totals.totalChars},
                                   {u"tokens"_s, totals.estimatedTokens},
                                   {u"encoding"_s, options.text(OptionKey::tokenEncoding)},
                                   {u"contextLimit"_s, limit},
                                   {u"overContextLimit"_s, contextOverLimit(totals.estimatedTokens, limit)},
                                   {u"perFile"_s, result.files.isEmpty() ? QJsonValue() : QJsonValue(perFile)},
                                   {u"leftOut"_s, leftOut}};
        out << QJsonDocument(estimate).toJson(QJsonDocument::Indented);
        return;
    }
    out << formatCount(totals.totalFiles, u"file"_s, u"files"_s) << ", "
        << formatCount(totals.totalChars, u"character"_s, u"characters"_s) << ", "
        << formatCount(totals.estimatedTokens, u"token"_s, u"tokens"_s) << " (" << options.text(OptionKey::tokenEncoding)
        << ")\n";
    if (contextOverLimit(totals.estimatedTokens, limit))
        out << contextFitDetail(totals.estimatedTokens, limit) << "\n";
    if (files.isEmpty() && totals.totalFiles > 0) {
        out << "(no per-file counts: the packer ran without its service)\n";
    } else if (!files.isEmpty()) {
        out << "\n" << u"%1 %2 %3  %4"_s.arg(u"tokens"_s, 12).arg(u"chars"_s, 13).arg(u"share"_s, 6).arg(u"file"_s) << "\n";
        for (const PackedFile &file : std::as_const(files)) {
            const double share = totals.estimatedTokens > 0 ? 100.0 * double(file.tokens) / double(totals.estimatedTokens) : 0;
            out << u"%1 %2 %3%  %4"_s.arg(formatNumber(file.tokens), 12)
                       .arg(formatNumber(file.characters), 13)
                       .arg(QString::number(share, 'f', 1), 5)
                       .arg(file.path)
                << "\n";
        }
    }
    printLeftOut(result, out);
}

} // namespace

int runHeadless(const CommandLine &command, BundleOptions &stored, const PackerLocation &packer, QTextStream &out,
                QTextStream &err, const std::function<void(const QString &)> &copyText)
{
    QString problem;
    const std::optional<OptionValues> options = runOptions(command, stored, problem);
    if (!options) {
        err << "lumbrel: " << problem << "\n";
        return wrongRequestStatus;
    }

    // Every given path must be there: a mistyped one would quietly leave a
    // part of the bundle out.
    FileSelection selection;
    QStringList missing;
    for (const QString &path : command.paths) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink()) {
            missing << FileSelection::missingText(path);
            continue;
        }
        // The window's list rules: each item once, nothing inside a chosen folder twice.
        selection.add({QUrl::fromLocalFile(QDir::cleanPath(info.absoluteFilePath()))});
    }
    if (!missing.isEmpty() && !command.skipMissing) {
        err << "lumbrel: " << missing.join(u"; "_s) << " (--skip-missing leaves such paths out)\n";
        return failedStatus;
    }
    for (const QString &problem : std::as_const(missing))
        err << "lumbrel: skipped, " << problem << "\n";
    if (selection.urls().isEmpty()) {
        err << "lumbrel: nothing to bundle: none of the given paths exists\n";
        return failedStatus;
    }

    JobInput input{selection.urls(), *options, command.ignorePatterns.value_or(QString()),
                   command.includePatterns.value_or(QString()), {}, {}};
    // The window's ticks: what --exclude names, or only what git reports as changed.
    for (const QUrl &item : input.files) {
        if (!QFileInfo(item.toLocalFile()).isDir() || (command.exclude.isEmpty() && !command.changed))
            continue;
        ItemTicks ticks;
        ticks.unticked = QSet<QString>(command.exclude.cbegin(), command.exclude.cend());
        if (command.changed) {
            const GitChanges changes = GitChanges::of(item.toLocalFile());
            if (!changes.available) {
                err << "lumbrel: --changed: " << native(item.toLocalFile()) << ": " << changes.reason << "\n";
                return failedStatus;
            }
            ticks.onlyFiles = changes.files;
        }
        input.ticks.insert(item, ticks);
    }
    RepomixWrapper wrapper(packer);
    QString destination;
    if (command.mode == CommandLine::Mode::Bundle) {
        destination = QFileInfo(command.output).absoluteFilePath();
        if (const QString conflict = destinationConflict(destination, input); !conflict.isEmpty()) {
            err << "lumbrel: " << conflict << "\n";
            return wrongRequestStatus;
        }
        if (const QString where = destinationProblem(destination); !where.isEmpty()) {
            err << "lumbrel: Failed to bundle files: " << where << "\n";
            return failedStatus;
        }
    }
    // The warm packer, also for a single bundle: it starts about as fast as
    // the packer's command line, reads the staged list without searching for
    // each file, and gives the per-file counts of an estimate.
    wrapper.startService();

    const std::optional<Result<JobResult>> result = runJob([&](std::stop_token stop) {
        return command.mode == CommandLine::Mode::Bundle ? runBundle(wrapper, input, destination, stop)
                                                         : runEstimate(wrapper, input, stop);
    });
    if (!result) {
        if (command.mode == CommandLine::Mode::Bundle)
            err << "lumbrel: stopped; " << native(destination) << " was left as it was\n";
        else
            err << "lumbrel: stopped\n";
        return stoppedStatus;
    }
    if (!*result) {
        const AppError &error = result->error();
        const bool nothing = error.domain == AppError::wrapperDomain && error.code == RunnerError::NothingPacked;
        err << "lumbrel: " << (command.mode == CommandLine::Mode::Bundle && !nothing ? u"Failed to bundle files: "_s : QString())
            << UserText::cleaned(error.description) << "\n";
        return failedStatus;
    }
    const JobResult &done = result->value();
    if (command.mode == CommandLine::Mode::Estimate) {
        printEstimate(done, *options, command.json, out);
        return done.summary.totalFiles > 0 ? 0 : failedStatus;
    }

    const RunSummary &summary = done.summary;
    out << "Bundled " << formatCount(summary.totalFiles, u"file"_s, u"files"_s) << ", "
        << formatCount(summary.totalChars, u"character"_s, u"characters"_s) << ", "
        << formatCount(summary.estimatedTokens, u"token"_s, u"tokens"_s) << " into ";
    QStringList written;
    for (const QString &file : done.outputFiles)
        written << native(file);
    out << written.join(u", "_s) << "\n";
    printLeftOut(done, out);

    if (command.copy) {
        if (!copyText) {
            err << "lumbrel: --copy: there is no clipboard here (no display); the bundle is in " << written.value(0) << "\n";
        } else {
            QFile file(done.outputFiles.value(0));
            if (!file.open(QIODevice::ReadOnly)) {
                err << "lumbrel: --copy: cannot read " << written.value(0) << ": " << file.errorString() << "\n";
            } else {
                copyText(QString::fromUtf8(file.readAll()));
                if (done.outputFiles.size() > 1)
                    out << "Copied part 1 of " << done.outputFiles.size() << " to the clipboard\n";
                else
                    out << "Copied to the clipboard\n";
            }
        }
    }
    return 0;
}
