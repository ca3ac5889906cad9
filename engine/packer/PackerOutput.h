#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// What the packer's output files look like from outside.
namespace PackerOutput {

// The name of part `index` (from 1) of a split bundle written to `output`:
// "bundle.2.txt" for "bundle.txt", "bundle.2" for "bundle".
QString partPath(const QString &output, int index);

// The files a run wrote for `output`: the file itself, or its numbered parts
// 1, 2, ... as far as they go. Empty when it wrote nothing.
QStringList writtenFiles(const QString &output);

// Where the text the packer writes itself ends in a bundle that starts with
// `start`: its header and summary come first, then the directory tree and
// the files, which hold the user's names and contents.
qsizetype headerLength(QByteArrayView start);

} // namespace PackerOutput
