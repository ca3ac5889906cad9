#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <atomic>
#include <filesystem>
#include <memory>

// Counts the entries below a folder that are not folders themselves: files,
// hidden ones included, and links of any kind (links are never followed).
// Entries that cannot be read are passed over; a folder that cannot be opened
// counts 0. Stops early, with a partial count, once `cancelled` turns true.
qint64 countFolderItems(const std::filesystem::path &folder,
                        const std::atomic<bool> *cancelled = nullptr);

// The item count of the folder at `url`, taken on a worker thread each time
// `url` changes. `ready` turns true when `count` holds the result. For a
// location that is not a folder nothing is counted and `ready` stays false.
class FolderItemCount : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QUrl url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(bool isFolder READ isFolder NOTIFY urlChanged)
    Q_PROPERTY(qint64 count READ count NOTIFY countChanged)
    Q_PROPERTY(bool ready READ ready NOTIFY countChanged)

public:
    explicit FolderItemCount(QObject *parent = nullptr);
    ~FolderItemCount() override;

    QUrl url() const { return m_url; }
    void setUrl(const QUrl &url);
    bool isFolder() const { return m_isFolder; }
    qint64 count() const { return m_count; }
    bool ready() const { return m_ready; }

signals:
    void urlChanged();
    void countChanged();

private:
    void start();
    void finish(qint64 count);

    QUrl m_url;
    bool m_isFolder = false;
    qint64 m_count = 0;
    bool m_ready = false;
    // Shared with the running walk; set when its result is no longer wanted.
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};
