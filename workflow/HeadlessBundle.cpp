#include "HeadlessBundle.h"

#include "BundleOptions.h"
#include "CountText.h"
#include "Desktop.h"
#include "FileSelection.h"
#include "PackerJobs.h"
#include "PackerWorker.h"
#include "RepomixWrapper.h"
#include "UserText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QUrl>

using namespace Qt::StringLiterals;

int HeadlessBundle::run(BundleOptions &options, const PackerLocation &packer, QTextStream &out,
                        QTextStream &err) const
{
    JobInput input{{}, options.values(), ignorePatterns.value_or(QString())};
    if (style) {
        if (*style != QLatin1String("plain") && *style != QLatin1String("xml") && *style != QLatin1String("markdown")) {
            err << "lumbrel: --style takes plain, xml or markdown, not \u201C" << *style << "\u201D\n";
            return 2;
        }
        input.options.style = *style;
    }
    if (paths.isEmpty()) {
        err << "lumbrel: name the files and folders to bundle after the output file\n";
        return 2;
    }
    // The window's list rules: each item once, nothing inside a chosen folder twice.
    FileSelection selection;
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    selection.add(urls);
    input.files = selection.urls();
    const QString destination = QFileInfo(output).absoluteFilePath();
    if (const QString problem = destinationProblem(destination); !problem.isEmpty()) {
        err << "lumbrel: Failed to bundle files: " << problem << "\n";
        return 1;
    }

    // The same job as the window's, on the same kind of worker thread, so a
    // termination signal can stop it while it runs.
    RepomixWrapper wrapper(packer);
    std::stop_source stop;
    std::optional<Result<JobResult>> result;
    {
        PackerWorker worker;
        worker.post(
            QCoreApplication::instance(), [&] { return runBundle(wrapper, input, destination, stop.get_token()); },
            [&result](const Result<JobResult> &done) {
                result = done;
                QCoreApplication::exit(0);
            });
        platform::quitOnTerminationSignals();
        QCoreApplication::exec();
        if (!result)
            stop.request_stop(); // a signal ended the loop: the packer's group ends, the output stays as it was
    }
    if (!result) {
        err << "lumbrel: stopped; " << QDir::toNativeSeparators(destination) << " was left as it was\n";
        return 130;
    }
    if (!*result) {
        err << "lumbrel: Failed to bundle files: " << UserText::cleaned(result->error().description) << "\n";
        return 1;
    }

    const RunSummary &summary = result->value().summary;
    out << "Bundled " << formatCount(summary.totalFiles, u"file"_s, u"files"_s) << ", "
        << formatCount(summary.totalChars, u"character"_s, u"characters"_s) << ", "
        << formatCount(summary.estimatedTokens, u"token"_s, u"tokens"_s) << " into "
        << QDir::toNativeSeparators(destination) << "\n";
    const QStringList leftOut = UserText::leftOut(result->value());
    if (!leftOut.isEmpty()) {
        out << "Left out:\n";
        for (const QString &line : leftOut)
            out << "  " << line << "\n";
    }
    return 0;
}
