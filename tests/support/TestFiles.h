#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

// Small helpers for tests that build file trees.
inline void writeFile(const std::filesystem::path &path, const std::string &text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QUrl urlOf(const std::filesystem::path &path)
{
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

// The permission bits of `path` itself (a link is not followed).
inline unsigned modeOf(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// A folder of the test's own that QDir::tempPath() (and so the application's
// private area) follows while it lives. It goes with everything in it, also
// what a test made unreadable or named with bytes that are not UTF-8.
class PrivateTemp
{
public:
    PrivateTemp()
        : m_oldTmp(qgetenv("TMPDIR"))
    {
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
    }
    ~PrivateTemp()
    {
        qputenv("TMPDIR", m_oldTmp);
        namespace fs = std::filesystem;
        std::error_code error, ignored;
        // Each folder is opened up before the walk enters it.
        for (auto it = fs::recursive_directory_iterator(root(), error); !error && it != fs::recursive_directory_iterator();
             it.increment(error)) {
            if (it->symlink_status(ignored).type() == fs::file_type::directory)
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(root(), ignored);
    }
    PrivateTemp(const PrivateTemp &) = delete;
    PrivateTemp &operator=(const PrivateTemp &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    std::filesystem::path root() const { return m_dir.path().toStdString(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldTmp;
};

// The files a plain bundle holds, sorted.
inline QStringList filesIn(const QByteArray &bundle)
{
    QStringList files;
    static const QRegularExpression header(QStringLiteral("^File: (.*)$"), QRegularExpression::MultilineOption);
    for (auto it = header.globalMatch(QString::fromUtf8(bundle)); it.hasNext();)
        files << it.next().captured(1);
    files.sort();
    return files;
}
