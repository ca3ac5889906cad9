#include "PackerFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>

namespace PackerFiles {

std::optional<QStringList> defaultIgnorePatterns(const QString &packerDirectory, QString *problem)
{
    const QString path = packerDirectory + QStringLiteral("/lib/config/defaultIgnore.js");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QString source = QString::fromUtf8(file.readAll());
    // One array of plain string literals, and nothing else inside it.
    const qsizetype open = source.indexOf(u'[');
    const qsizetype close = source.lastIndexOf(u']');
    if (open < 0 || close < open) {
        if (problem)
            *problem = QStringLiteral("no list in %1").arg(path);
        return std::nullopt;
    }
    const QString body = source.mid(open + 1, close - open - 1);
    static const QRegularExpression literal(QStringLiteral(R"re('([^'\\\n]*)'|"([^"\\\n]*)")re"));
    QStringList patterns;
    QString rest = body;
    for (auto it = literal.globalMatch(body); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        patterns << (match.capturedStart(1) >= 0 ? match.captured(1) : match.captured(2));
    }
    rest.replace(literal, QString());
    static const QRegularExpression separators(QStringLiteral(R"(\s|,)"));
    rest.remove(separators);
    if (!rest.isEmpty() || patterns.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("the list in %1 is not a plain list of patterns").arg(path);
        return std::nullopt;
    }
    return patterns;
}

std::uintmax_t maxFileSize(const QString &packerDirectory)
{
    QFile schema(packerDirectory + QStringLiteral("/lib/config/configSchema.js"));
    if (!schema.open(QIODevice::ReadOnly))
        return 0;
    // The default of the option: "maxFileSize: v.optional(<schema>, 50 * 1024 * 1024)".
    static const QRegularExpression option(QStringLiteral(R"(maxFileSize:\s*v\.optional\(.*?,\s*(\d[\d\s*]*?)\s*\))"));
    const QString text = QString::fromUtf8(schema.readAll());
    for (auto it = option.globalMatch(text); it.hasNext();) {
        std::uintmax_t value = 1;
        bool ok = true;
        for (const QString &factor : it.next().captured(1).split(u'*')) {
            const qulonglong number = factor.trimmed().toULongLong(&ok);
            if (!ok || (number != 0 && value > UINTMAX_MAX / number))
                return 0;
            value *= number;
        }
        if (ok && value > 0)
            return value;
    }
    return 0;
}

QSet<QString> binaryExtensions(const QString &packerDirectory)
{
    // The packer's modules sit beside it (installed) or inside it.
    for (const QString &modules : {QStringLiteral("/../node_modules"), QStringLiteral("/node_modules")}) {
        QFile list(packerDirectory + modules + QStringLiteral("/binary-extensions/binary-extensions.json"));
        if (!list.open(QIODevice::ReadOnly))
            continue;
        QSet<QString> extensions;
        for (const QJsonValue &name : QJsonDocument::fromJson(list.readAll()).array())
            extensions.insert(name.toString().toLower());
        extensions.remove(QString());
        return extensions;
    }
    return {};
}

bool readsInItsWorkingFolder(QStringView name)
{
    // lib/config/configLoad.js (repomix.config.ts ... .json) and the old
    // names of lib/cli/actions/migrationAction.js. Without regard to case:
    // the folder may be on a file system that has none.
    static const QStringList prefixes{QStringLiteral("repomix.config."), QStringLiteral("repopack-output.")};
    static const QStringList names{QStringLiteral("repopack.config.json"), QStringLiteral(".repopackignore"),
                                   QStringLiteral("repopack-instruction.md")};
    return std::any_of(prefixes.cbegin(), prefixes.cend(),
                       [name](const QString &prefix) { return name.startsWith(prefix, Qt::CaseInsensitive); })
        || std::any_of(names.cbegin(), names.cend(),
                       [name](const QString &known) { return name.compare(known, Qt::CaseInsensitive) == 0; });
}

} // namespace PackerFiles
