#include "Format.h"
#include "Reveal.h"

#include <QDir>
#include <QKeySequence>
#include <QStringList>

#include <iterator>

QString displayName(const QUrl &location)
{
    QString path = location.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path == QLatin1String("/"))
        return path;
    return path.section(QLatin1Char('/'), -1);
}

QString displayPath(const QUrl &location)
{
    if (!location.isLocalFile())
        return location.toDisplayString();
    QString path = location.toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return QDir::toNativeSeparators(path);
}

QString revealItemText(const QString &action, const QString &name)
{
    const QString prefix = QStringLiteral("Show in ");
    if (action.startsWith(prefix))
        return QStringLiteral("Show ") + name + QStringLiteral(" in ") + action.mid(prefix.size());
    return action + QStringLiteral(": ") + name;
}

QString rowDetailText(bool isFolder, qint64 found, qint64 packedFiles, qint64 packedTokens)
{
    const QString files = QStringLiteral("files");
    if (packedFiles < 0)
        return isFolder && found >= 0 ? formatCount(found, QStringLiteral("file"), files) : QString();
    if (packedFiles == 0)
        return QStringLiteral("nothing packed");
    const QString tokens = formatCount(packedTokens, QStringLiteral("token"), QStringLiteral("tokens"));
    if (!isFolder)
        return tokens;
    if (found < 0 || found == packedFiles)
        return formatCount(packedFiles, QStringLiteral("file"), files) + QStringLiteral(", ") + tokens;
    return QStringLiteral("%1 packed of %2 found, %3")
        .arg(formatCount(packedFiles, QStringLiteral("file"), files), formatNumber(found), tokens);
}

QString shortcutText(const QVariant &shortcut)
{
    QKeySequence sequence;
    if (shortcut.userType() == QMetaType::Int)
        sequence = QKeySequence(static_cast<QKeySequence::StandardKey>(shortcut.toInt()));
    else if (shortcut.canConvert<QKeySequence>())
        sequence = shortcut.value<QKeySequence>();
    else
        sequence = QKeySequence(shortcut.toString());
    return sequence.toString(QKeySequence::NativeText);
}

QString Format::revealItem(const QString &name) const
{
    return revealItemText(revealActionText(), name);
}
