#pragma once

#include <QFile>
#include <QString>

#include <filesystem>

// Qt paths and standard-library paths of the same file: the bytes of a file
// name in the local encoding, as QFile names them, both ways.
inline std::filesystem::path toPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

inline QString fromPath(const std::filesystem::path &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}
