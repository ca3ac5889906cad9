#include "Log.h"

#include <QMutex>
#include <QRegularExpression>

#include <atomic>
#include <cstdio>

namespace {
std::atomic_bool toStandardError = false;
std::atomic_bool withArguments = true;

void write(const QString &line)
{
    static QMutex mutex;
    const QByteArray bytes = (toStandardError ? plainLogText(line) : line).toUtf8() + '\n';
    QMutexLocker lock(&mutex);
    FILE *stream = toStandardError ? stderr : stdout;
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// Pictographs, dingbats and the marks that make emoji of other characters.
bool isEmoji(uint c)
{
    return (c >= 0x1F000 && c <= 0x1FAFF) || (c >= 0x2600 && c <= 0x27BF) || (c >= 0x2B00 && c <= 0x2BFF)
        || (c >= 0xFE00 && c <= 0xFE0F) || c == 0x200D || c == 0x20E3 || (c >= 0xE0020 && c <= 0xE007F);
}
} // namespace

void logToStandardError(bool on)
{
    toStandardError = on;
}

void logArguments(bool on)
{
    withArguments = on;
}

bool loggingArguments()
{
    return withArguments;
}

void logLine(const QString &line)
{
    write(line);
}

QString withoutPrivatePaths(const QString &text)
{
    // Colour and cursor sequences of a terminal (CSI and OSC).
    static const QRegularExpression terminal(QStringLiteral(R"(\x1B(?:\[[0-?]*[ -/]*[@-~]|\][^\x07\x1B]*(?:\x07|\x1B\\)))"));
    // "<anything>/repomix-temp-<UUID>/" in front of a staged item's path.
    static const QRegularExpression staging(
        QStringLiteral(R"((?:[^\s"'`(\[]*/)?repomix-temp-[0-9A-Fa-f]{8}(?:-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}/?)"));
    // The scratch file the packer writes the bundle to, or a part of it.
    static const QRegularExpression scratchPart(QStringLiteral(R"((?:[^\s"'`(\[]*/)?output-[0-9a-fA-F-]{36}\.(\d+)\.txt)"));
    static const QRegularExpression scratch(QStringLiteral(R"((?:[^\s"'`(\[]*/)?output-[0-9a-fA-F-]{36}\.txt)"));

    QString cleaned = text;
    cleaned.remove(terminal);
    cleaned.replace(staging, QString());
    cleaned.replace(scratchPart, QStringLiteral("part \\1 of the bundle"));
    cleaned.replace(scratch, QStringLiteral("the bundle"));
    return cleaned;
}

QString plainLogText(const QString &line)
{
    const QList<uint> text = QStringView(withoutPrivatePaths(line)).toUcs4();
    QString plain;
    plain.reserve(text.size());
    bool dropped = false; // an emoji went just before
    for (const uint c : text) {
        if (isEmoji(c)) {
            dropped = true;
            continue;
        }
        // The space after a removed emoji goes too, where a space or a line's start stands before it.
        if (dropped && c == ' ' && (plain.isEmpty() || plain.back().isSpace()))
            continue;
        dropped = false;
        plain += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
    }
    // No blanks at the ends of lines.
    static const QRegularExpression trailing(QStringLiteral("[ \\t]+(?=\\n|$)"));
    plain.remove(trailing);
    return plain;
}
