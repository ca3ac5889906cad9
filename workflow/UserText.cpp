#include "UserText.h"

#include "Log.h"

#include <QDir>
#include <QMap>
#include <QRegularExpression>

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
    }
    return {};
}

QStringList leftOut(const JobResult &result)
{
    QStringList lines;
    for (const LeftOut &item : result.leftOut) {
        if (item.reason != LeftOutReason::DefaultRule && item.reason != LeftOutReason::IgnorePattern)
            lines << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(item.path), reason(item.reason));
    }
    const auto shares = result.shares();
    for (const StagedItem &item : result.items) {
        if (const auto share = shares.constFind(item.source); share != shares.cend() && share->files == 0)
            lines << QStringLiteral("%1: nothing in it was packed").arg(QDir::toNativeSeparators(item.source.toLocalFile()));
    }
    for (const QString &file : result.excludedAsSecrets)
        lines << QStringLiteral("%1: excluded by the security check").arg(file);
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
