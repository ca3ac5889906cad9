#include "PackerOutput.h"

#include <QByteArray>
#include <QFileInfo>

namespace PackerOutput {

QString partPath(const QString &output, int index)
{
    const QFileInfo file(output);
    const QString name = file.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString number = QLatin1Char('.') + QString::number(index);
    // As the packer names them: the number goes before the last extension
    // (a leading dot is no extension).
    if (dot <= 0)
        return output + number;
    return output.left(output.size() - (name.size() - dot)) + number + name.mid(dot);
}

QStringList writtenFiles(const QString &output)
{
    if (QFileInfo::exists(output))
        return {output};
    QStringList parts;
    for (int index = 1; QFileInfo::exists(partPath(output, index)); ++index)
        parts << partPath(output, index);
    return parts;
}

qsizetype headerLength(QByteArrayView start)
{
    static const QByteArray markers[] = {
        "\n================================================================\nDirectory Structure\n",
        "\n================================================================\nFiles\n",
        "\n<directory_structure>\n",
        "\n<files>\n",
        "\n# Directory Structure\n",
        "\n# Files\n",
    };
    qsizetype end = -1;
    for (const QByteArray &marker : markers) {
        if (start.startsWith(QByteArrayView(marker).sliced(1))) // no header at all
            return 0;
        const qsizetype at = start.indexOf(marker);
        if (at >= 0 && (end < 0 || at < end))
            end = at;
    }
    return end < 0 ? 0 : end;
}

} // namespace PackerOutput
