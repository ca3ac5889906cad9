#pragma once

#include "RepomixWrapper.h"

#include <QFile>
#include <QTemporaryDir>

// A stand-in for the packer: a shell script run by /bin/sh in place of the
// Node.js runtime. The script sees the job arguments and the staging
// directory exactly as the real packer would; $out holds the "--output" path.
class FakePacker
{
public:
    PackerLocation location(const QByteArray &body)
    {
        const QString script = m_dir.filePath(QStringLiteral("fake-%1.sh").arg(++m_count));
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the fake packer");
        file.write("out=''; prev=''\n"
                   "for a in \"$@\"; do [ \"$prev\" = --output ] && out=\"$a\"; prev=\"$a\"; done\n");
        file.write(body);
        file.write("\n");
        return {QStringLiteral("/bin/sh"), script};
    }

    // A packer that writes its output and prints the given totals.
    PackerLocation succeeding(qint64 files, qint64 chars, qint64 tokens, const QByteArray &extra = {})
    {
        return location(extra + "\necho packed > \"$out\"\n"
                        + QByteArray("printf '  Total Files: %s files\\n Total Tokens: %s tokens\\n  Total Chars: %s chars\\n' ")
                        + QByteArray::number(files) + ' ' + QByteArray::number(tokens) + ' ' + QByteArray::number(chars));
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};
