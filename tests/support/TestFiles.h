#pragma once

#include <QFile>
#include <QUrl>

#include <filesystem>
#include <fstream>

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
