#pragma once

#include <QObject>
#include <QUrl>

// The highlighted entry of the list, shared by the main view and its rows.
// An empty URL means no highlight; a URL that is no longer in the list reads
// the same as no highlight.
class FileSelectionState : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl selectedFile READ selectedFile WRITE setSelectedFile NOTIFY selectedFileChanged)

public:
    using QObject::QObject;

    QUrl selectedFile() const { return m_selectedFile; }
    void setSelectedFile(const QUrl &file)
    {
        if (m_selectedFile == file)
            return;
        m_selectedFile = file;
        emit selectedFileChanged();
    }

signals:
    void selectedFileChanged();

private:
    QUrl m_selectedFile;
};
