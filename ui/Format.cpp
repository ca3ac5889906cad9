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

namespace {
// Common context window sizes, in tokens, smallest first.
constexpr struct
{
    qint64 tokens;
    const char *name;
} contextSizes[] = {{128'000, "128K"}, {200'000, "200K"}, {1'000'000, "1M"}};
} // namespace

QString contextFitLabel(qint64 tokens)
{
    if (tokens <= 0)
        return {};
    for (const auto &size : contextSizes) {
        if (tokens <= size.tokens)
            return QStringLiteral("fits %1").arg(QLatin1String(size.name));
    }
    return QStringLiteral("over %1").arg(QLatin1String(std::cend(contextSizes)[-1].name));
}

QString contextFitDetail(qint64 tokens)
{
    if (tokens <= 0)
        return {};
    QStringList fits;
    for (const auto &size : contextSizes) {
        if (tokens <= size.tokens)
            fits << QLatin1String(size.name);
    }
    if (fits.isEmpty())
        return QStringLiteral("%1 tokens are %2 more than a context window of %3 tokens holds; "
                              "leave out files or add ignore patterns.")
            .arg(formatNumber(tokens), formatNumber(tokens - std::cend(contextSizes)[-1].tokens),
                 QLatin1String(std::cend(contextSizes)[-1].name));
    const QString sizes = fits.size() == 1 ? fits.first()
                                           : fits.mid(0, fits.size() - 1).join(QStringLiteral(", "))
            + QStringLiteral(" and ") + fits.last();
    return QStringLiteral("%1 tokens fit in a context window of %2 tokens.").arg(formatNumber(tokens), sizes);
}

bool contextOverLimit(qint64 tokens)
{
    return tokens > std::cend(contextSizes)[-1].tokens;
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
