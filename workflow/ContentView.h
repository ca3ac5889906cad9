#pragma once

#include "AppError.h"
#include "BundleJobs.h"
#include "BundleOptions.h"
#include "EstimatesManager.h"
#include "FileListModel.h"
#include "FileSelectionState.h"
#include "RepomixWrapper.h"
#include "RunSummary.h"

#include <QObject>
#include <QUrl>

#include <memory>

class PackerWorker;
class QKeyEvent;

// The state and operations of the main screen: the selection, the live
// estimates, the bundle job and what the screen shows. The layout binds to
// these properties and calls these operations; the packer runs on one worker
// thread, so the window never waits for it.
class ContentView : public QObject
{
    Q_OBJECT
    Q_PROPERTY(BundleOptions *options READ options CONSTANT)
    Q_PROPERTY(FileListModel *files READ files CONSTANT)
    Q_PROPERTY(FileSelectionState *selectionState READ selectionState CONSTANT)
    Q_PROPERTY(EstimatesManager *estimatesManager READ estimatesManager CONSTANT)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(QUrl outputFile READ outputFile NOTIFY outputFileChanged)
    Q_PROPERTY(bool showAlert READ showAlert WRITE setShowAlert NOTIFY showAlertChanged)
    Q_PROPERTY(QString alertMessage READ alertMessage NOTIFY alertMessageChanged)
    Q_PROPERTY(qint64 totalFiles READ totalFiles NOTIFY totalFilesChanged)
    Q_PROPERTY(qint64 totalChars READ totalChars NOTIFY totalCharsChanged)
    Q_PROPERTY(qint64 estimatedTokens READ estimatedTokens NOTIFY estimatedTokensChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(QString ignorePatterns READ ignorePatterns WRITE setIgnorePatterns NOTIFY ignorePatternsChanged)
    Q_PROPERTY(bool showIgnorePatterns READ showIgnorePatterns WRITE setShowIgnorePatterns NOTIFY showIgnorePatternsChanged)

public:
    static constexpr int dropRefreshMilliseconds = 500;

    // `options` stays owned by the caller; `packer` lets tests put a stand-in
    // in place of the bundled packer.
    explicit ContentView(BundleOptions *options, PackerLocation packer = PackerLocation::bundled(),
                         QObject *parent = nullptr);
    // Stops a running packer and removes its staging directory.
    ~ContentView() override;

    BundleOptions *options() const { return m_options; }
    FileListModel *files() { return &m_files; }
    FileSelectionState *selectionState() { return &m_selectionState; }
    EstimatesManager *estimatesManager() { return &m_estimatesManager; }
    RepomixWrapper &repomix() { return *m_repomix; }

    bool isProcessing() const { return m_isProcessing; }
    QUrl outputFile() const { return m_outputFile; }
    bool showAlert() const { return m_showAlert; }
    void setShowAlert(bool show);
    QString alertMessage() const { return m_alertMessage; }
    qint64 totalFiles() const { return m_totalFiles; }
    qint64 totalChars() const { return m_totalChars; }
    qint64 estimatedTokens() const { return m_estimatedTokens; }
    bool showSettings() const { return m_showSettings; }
    // Closing the settings refreshes the estimates.
    void setShowSettings(bool show);
    QString ignorePatterns() const { return m_ignorePatterns; }
    // Each new text goes to the debouncer.
    void setIgnorePatterns(const QString &patterns);
    bool showIgnorePatterns() const { return m_showIgnorePatterns; }
    void setShowIgnorePatterns(bool show);

    // Selection.
    Q_INVOKABLE bool handleDrop(const QList<QUrl> &urls);
    Q_INVOKABLE void addFile(const QUrl &url);
    Q_INVOKABLE void removeFile(const QUrl &url);
    Q_INVOKABLE void clearAll();
    Q_INVOKABLE void setupKeyboardMonitor();
    Q_INVOKABLE void removeKeyboardMonitor();
    // True when the key was used (up or down) and must not go further.
    bool handleKeyEvent(const QKeyEvent &event);

    // Estimates.
    Q_INVOKABLE void updateEstimates();
    Q_INVOKABLE void estimateTokens();

    // Bundle job.
    Q_INVOKABLE void startBundling();
    // The view's answer to saveDialogRequested: the chosen file, or an empty
    // URL when cancelled. An existing file is replaced only once the user
    // confirms it (replaceConfirmationRequested, then confirmReplace).
    Q_INVOKABLE void saveDialogFinished(const QUrl &chosen);
    Q_INVOKABLE void confirmReplace(bool replace);
    Q_INVOKABLE void bundleFiles(const QUrl &destination);
    void finishBundle(const RunSummary &summary, const QUrl &destination);
    void showBundleError(const AppError &error);
    Q_INVOKABLE void resetState();

    // The name the save dialog proposes: "bundled-output." and the style's extension.
    QString proposedFileName() const;
    // Where the save dialog starts: that name in the user's documents folder.
    Q_INVOKABLE QUrl proposedSaveLocation() const;

signals:
    void isProcessingChanged();
    void outputFileChanged();
    void showAlertChanged();
    void alertMessageChanged();
    void totalFilesChanged();
    void totalCharsChanged();
    void estimatedTokensChanged();
    void showSettingsChanged();
    void ignorePatternsChanged();
    void showIgnorePatternsChanged();

    // Requests for the view.
    void saveDialogRequested(const QString &proposedName, const QStringList &nameFilters);
    void replaceConfirmationRequested(const QString &fileName);
    void scrollToRequested(const QUrl &file);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    JobInput jobInput() const;
    void setProcessing(bool on);
    void setOutputFile(const QUrl &file);
    void setTotals(const RunSummary &summary);
    void publishEstimate(const std::stop_token &token, const QList<QUrl> &counted, const Result<RunSummary> &result);

    BundleOptions *m_options;
    FileListModel m_files;
    FileSelectionState m_selectionState;
    EstimatesManager m_estimatesManager;
    std::unique_ptr<RepomixWrapper> m_repomix;
    std::unique_ptr<PackerWorker> m_worker; // declared after the runner: stops first

    bool m_isProcessing = false;
    QUrl m_outputFile;
    bool m_showAlert = false;
    QString m_alertMessage;
    qint64 m_totalFiles = 0;
    qint64 m_totalChars = 0;
    qint64 m_estimatedTokens = 0;
    bool m_showSettings = false;
    QString m_ignorePatterns;
    bool m_showIgnorePatterns = false;
    bool m_keyboardMonitor = false;
    bool m_estimateAfterJob = false;
    std::stop_source m_bundleJob{std::nostopstate};
    QUrl m_pendingDestination; // chosen, waiting for the user to confirm replacing it
};
