#include "UserText.h"

#include "Log.h"

#include <QDir>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

namespace UserText {

QString cleaned(const QString &message)
{
    return withoutPrivatePaths(message).trimmed();
}

QString reason(LeftOutReason reason)
{
    switch (reason) {
    case LeftOutReason::Missing:
        return QStringLiteral("no longer there");
    case LeftOutReason::Unreadable:
        return QStringLiteral("cannot be read");
    case LeftOutReason::Vanished:
        return QStringLiteral("vanished while it was copied");
    case LeftOutReason::TooLarge:
        return QStringLiteral("larger than the packer reads");
    case LeftOutReason::InvalidName:
        return QStringLiteral("its name is not valid UTF-8");
    case LeftOutReason::SpecialFile:
        return QStringLiteral("not a regular file");
    case LeftOutReason::DefaultRule:
        return QStringLiteral("left out by the default rules");
    case LeftOutReason::IgnorePattern:
        return QStringLiteral("matches the ignore patterns");
    case LeftOutReason::NotIncluded:
        return QStringLiteral("matches none of the include patterns");
    case LeftOutReason::LineBreak:
        return QStringLiteral("its name holds a line break");
    case LeftOutReason::PathTooLong:
        return QStringLiteral("path too long");
    case LeftOutReason::NotAFolder:
        return QStringLiteral("a part of its path is a file, not a folder");
    case LeftOutReason::FileSystemRoot:
        return QStringLiteral("the root of a file system cannot be bundled");
    case LeftOutReason::OwnFiles:
        return QStringLiteral("Lumbrel's own files");
    case LeftOutReason::Binary:
        return QStringLiteral("binary file, listed but not packed");
    case LeftOutReason::Unticked:
        return QStringLiteral("unticked");
    }
    return {};
}

QString displayPath(const QString &path)
{
    QString shown = QDir::toNativeSeparators(path);
    for (qsizetype i = shown.size() - 1; i >= 0; --i) {
        const char16_t c = shown.at(i).unicode();
        if (c == u'\n')
            shown.replace(i, 1, QStringLiteral("\\n"));
        else if (c == u'\r')
            shown.replace(i, 1, QStringLiteral("\\r"));
        else if (c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029)
            shown.replace(i, 1, QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0')));
    }
    return shown;
}

QString userPath(const QList<StagedItem> &items, const QString &stagedPath)
{
    // The first part of a staged path is a chosen item's staged name.
    const qsizetype slash = stagedPath.indexOf(u'/');
    const QString first = slash < 0 ? stagedPath : stagedPath.left(slash);
    for (const StagedItem &item : items) {
        if (item.stagedName == first) {
            const QString source = item.source.toLocalFile();
            return displayPath(slash < 0 ? source : source + stagedPath.mid(slash));
        }
    }
    return displayPath(stagedPath);
}

QStringList leftOut(const JobResult &result)
{
    QStringList lines;
    QSet<QString> listed;
    for (const LeftOut &item : result.leftOut) {
        if (item.reason == LeftOutReason::DefaultRule || item.reason == LeftOutReason::IgnorePattern
            || item.reason == LeftOutReason::NotIncluded || item.reason == LeftOutReason::Unticked)
            continue; // left out as asked
        const QString path = displayPath(item.path);
        if (listed.contains(path))
            continue;
        listed.insert(path);
        lines << QStringLiteral("%1: %2").arg(path, reason(item.reason));
    }
    const auto shares = result.shares();
    for (const StagedItem &item : result.items) {
        const QString path = displayPath(item.source.toLocalFile());
        if (const auto share = shares.constFind(item.source);
            share != shares.cend() && share->files == 0 && !listed.contains(path))
            lines << QStringLiteral("%1: nothing in it was packed").arg(path);
    }
    for (const QString &file : result.excludedAsSecrets)
        lines << QStringLiteral("%1: excluded by the security check").arg(userPath(result.items, file));
    for (const QString &file : result.skippedAsBinary) {
        // Files binary by their name are listed by the staging already.
        if (const QString path = userPath(result.items, file); !listed.contains(path))
            lines << QStringLiteral("%1: %2").arg(path, reason(LeftOutReason::Binary));
    }
    return lines;
}

QString nothingPacked(const JobResult &result)
{
    QMap<LeftOutReason, int> counts;
    for (const LeftOut &item : result.leftOut)
        ++counts[item.reason];
    QStringList reasons;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        reasons << QStringLiteral("%1: %2").arg(reason(it.key())).arg(it.value());
    if (reasons.isEmpty())
        return QStringLiteral("nothing to bundle: the chosen items hold no file the packer takes");
    return QStringLiteral("nothing to bundle: every file was left out (%1)").arg(reasons.join(QStringLiteral(", ")));
}

} // namespace UserText
