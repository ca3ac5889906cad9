#pragma once

#include <QFile>
#include <QString>

#include <filesystem>

// Qt paths and standard-library paths of the same file, both ways: on Windows
// the UTF-16 name, elsewhere the bytes of the name in the local encoding, as
// QFile names them.
inline std::filesystem::path toPath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

inline QString fromPath(const std::filesystem::path &path)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
#endif
}
