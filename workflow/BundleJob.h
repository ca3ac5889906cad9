#pragma once

#include "PackerJobs.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <stop_token>

class PackerWorker;
class RepomixWrapper;

// "Start bundling": asks where to save, packs the selection into that file
// and decides what the main screen shows — the normal content, the
// processing overlay, or the completion screen.
class BundleJob : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Screen screen READ screen NOTIFY screenChanged)
    // The bundle written last: its file, or the first of its parts.
    Q_PROPERTY(QUrl outputFile READ outputFile NOTIFY outputFileChanged)
    // Every file the last bundle wrote (its parts, when it was split).
    Q_PROPERTY(QList<QUrl> outputFiles READ outputFiles NOTIFY outputFileChanged)
    Q_PROPERTY(Job::Stage stage READ stage NOTIFY stageChanged)
    // What the job is doing, in words without counts ("Copying files…", the
    // packer's own step, "Writing the bundle…"): it changes once per step.
    Q_PROPERTY(QString stageText READ stageText NOTIFY stageChanged)
    // How far packing is, 0 to 1, as the packer reports it; -1 while unknown.
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    // The packer's step with its count ("Calculating metrics: 120 of 300"); empty while unknown.
    Q_PROPERTY(QString progressText READ progressText NOTIFY progressChanged)
    // What the last bundle left out that the user may not expect, a line each.
    Q_PROPERTY(QStringList leftOut READ leftOut NOTIFY outputFileChanged)

public:
    enum class Screen { Normal, Processing, Completed };
    Q_ENUM(Screen)

    // `input` reads what to pack when a job starts (and the style when the
    // save dialog opens). The wrapper and the worker outlive this object.
    BundleJob(RepomixWrapper &wrapper, PackerWorker &worker, std::function<JobInput()> input,
              QObject *parent = nullptr);
    ~BundleJob() override;

    Screen screen() const { return m_screen; }
    QUrl outputFile() const { return m_outputFiles.value(0); }
    QList<QUrl> outputFiles() const { return m_outputFiles; }
    Job::Stage stage() const { return m_stage; }
    QString stageText() const;
    QStringList leftOut() const { return m_leftOut; }
    double progress() const { return m_progress; }
    QString progressText() const { return m_progressText; }

    // The name the save dialog proposes: "bundled-output." and the style's extension.
    QString proposedFileName() const;
    // The file types the save dialog offers, and the one of the current style.
    static QStringList nameFilters();
    int styleNameFilter() const;

    // Asks the view for the save dialog (saveDialogRequested).
    Q_INVOKABLE void start();
    // The save dialog's answer: the chosen file, or an empty URL when
    // cancelled; `typedName` is the text of the dialog's name field where the
    // view can see it (an absolute path typed there is taken as it is). A
    // name without an extension gets the style's; a folder, a missing folder
    // or a place that is not local is refused with a message, and so is one
    // of the files being bundled; an existing file is replaced, and a bundle
    // is saved inside a chosen folder, only once the user confirms it
    // (confirmationRequested, then confirmReplace).
    Q_INVOKABLE void saveDialogFinished(const QUrl &chosen, const QString &typedName = {});
    Q_INVOKABLE void confirmReplace(bool replace);
    // Packs into `destination` (a local file), showing the processing overlay.
    void run(const QUrl &destination);
    // "Copy" without saving: packs into a private file for the clipboard
    // (copied), showing the processing overlay, and returns to the list.
    Q_INVOKABLE void copyWithoutSaving();
    // Stops a running job; the destination stays as it was and the normal
    // content comes back with the selection.
    Q_INVOKABLE void cancel();
    // From the completion screen back to the normal content.
    Q_INVOKABLE void close();

signals:
    void screenChanged();
    void outputFileChanged();
    void stageChanged();
    void progressChanged();

    // Requests for the view.
    void saveDialogRequested(const QUrl &proposedLocation, const QStringList &nameFilters, int selectedNameFilter);
    // Asks the user to confirm saving: "Replace File?", what it means, and the label of the button that saves.
    void confirmationRequested(const QString &title, const QString &message, const QString &acceptLabel);

    // A job succeeded: its totals come before the completion screen.
    void succeeded(const JobResult &result);
    // A job failed, or the chosen place was refused; the message is for the user.
    void failed(const QString &message);
    // Comes just before `failed`: the action that failed, in words ("Saving
    // the bundle failed"), and whether another place to save might do.
    void failedAction(const QString &action, bool destinationProblem);
    // A bundle for the clipboard is ready in `file`, a private file of the session.
    void copied(const JobResult &result, const QString &file);
    // A bundle was written inside a chosen folder: later runs leave these files out.
    void wroteInsideSelection(const QStringList &files);

private:
    void start(const QUrl &destination, bool forClipboard);
    void finish(const std::stop_token &token, const QUrl &destination, bool forClipboard, const Result<JobResult> &result);
    void refuse(const QString &reason);
    void fail(const QString &action, bool destinationProblem, const QString &reason);
    void setScreen(Screen screen);
    void setProgress(const JobProgress &progress);
    void setStage(Job::Stage stage);
    void setOutputFiles(const QList<QUrl> &files);

    RepomixWrapper &m_wrapper;
    PackerWorker &m_worker;
    std::function<JobInput()> m_input;
    Screen m_screen = Screen::Normal;
    Job::Stage m_stage = Job::Stage::Copying;
    double m_progress = -1;
    QString m_progressText;
    QString m_packerStep; // the packer's own step while packing, where it says one
    QList<QUrl> m_outputFiles;
    QStringList m_leftOut;
    QUrl m_pendingDestination; // chosen, waiting for the user to confirm replacing it
    JobInput m_running;        // what the running (or last) job packs
    std::stop_source m_job{std::nostopstate};
};
