#include "Appcast.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace Appcast {
namespace {

// The value an enclosure's "os" attribute has for packages of this platform.
QString thisPlatform()
{
#if defined(Q_OS_WIN)
    return u"windows"_s;
#elif defined(Q_OS_MACOS)
    return u"macos"_s;
#else
    return u"linux"_s;
#endif
}

QUrl toUrl(const QString &text, const QUrl &baseUrl)
{
    const QUrl url(text.trimmed());
    if (url.isEmpty() || !url.isValid())
        return {};
    return url.isRelative() && baseUrl.isValid() ? baseUrl.resolved(url) : url;
}

// Release notes are usually an HTML fragment; the dialog shows plain text,
// so nothing in the feed can pull in remote content or run links.
QString toPlainNotes(const QString &raw)
{
    const QString text = raw.trimmed();
    if (!Qt::mightBeRichText(text))
        return text;

    QTextDocument document;
    document.setHtml(text);
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString line = block.text();
        line.replace(QChar::LineSeparator, u'\n');
        line.replace(QChar::Nbsp, u' ');
        if (QTextList *list = block.textList()) {
            const QTextListFormat::Style style = list->format().style();
            const bool bullet = style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
                || style == QTextListFormat::ListSquare;
            line.prepend(bullet ? u"• "_s : list->itemText(block) + u' ');
        }
        // One empty line at most between paragraphs.
        if (line.trimmed().isEmpty() && (lines.isEmpty() || lines.last().isEmpty()))
            continue;
        lines.append(line.trimmed().isEmpty() ? QString() : line);
    }
    return lines.join(u'\n').trimmed();
}

QString attribute(const QXmlStreamAttributes &attributes, QStringView localName)
{
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == localName)
            return attribute.value().trimmed().toString();
    }
    return {};
}

Item readItem(QXmlStreamReader &reader, const QUrl &baseUrl)
{
    Item item;
    QString enclosureVersion;
    QString enclosureShortVersion;
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == u"enclosure") {
            const QXmlStreamAttributes attributes = reader.attributes();
            const QString os = attribute(attributes, u"os");
            if (item.enclosureUrl.isEmpty() && (os.isEmpty() || os == thisPlatform())) {
                item.enclosureUrl = toUrl(attribute(attributes, u"url"), baseUrl);
                item.enclosureSignature = attribute(attributes, u"edSignature");
                item.releaseSignature = attribute(attributes, u"releaseSignature");
                bool isNumber = false;
                const qint64 length = attribute(attributes, u"length").toLongLong(&isNumber);
                item.enclosureLength = isNumber && length > 0 ? length : -1;
            }
            if (enclosureVersion.isEmpty())
                enclosureVersion = attribute(attributes, u"version");
            if (enclosureShortVersion.isEmpty())
                enclosureShortVersion = attribute(attributes, u"shortVersionString");
            reader.skipCurrentElement();
            continue;
        }

        const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        if (text.trimmed().isEmpty())
            continue;
        if (name == u"title")
            item.title = text.trimmed();
        else if (name == u"description")
            item.releaseNotes = toPlainNotes(text);
        else if (name == u"version")
            item.version = text.trimmed();
        else if (name == u"shortVersionString")
            item.shortVersionString = text.trimmed();
        else if (name == u"releaseNotesLink" && item.releaseNotesUrl.isEmpty())
            item.releaseNotesUrl = toUrl(text, baseUrl);
        else if (name == u"channel")
            item.channel = text.trimmed();
    }
    // Elements of the item win over attributes of its enclosure.
    if (item.version.isEmpty())
        item.version = enclosureVersion;
    if (item.shortVersionString.isEmpty())
        item.shortVersionString = enclosureShortVersion;
    return item;
}

} // namespace

QString Item::displayVersion() const
{
    return shortVersionString.isEmpty() ? version : shortVersionString;
}

std::optional<QList<Item>> parse(const QByteArray &xml, const QUrl &baseUrl)
{
    QXmlStreamReader reader(xml);
    QList<Item> items;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"item")
            items.append(readItem(reader, baseUrl));
    }
    if (reader.hasError())
        return std::nullopt;
    return items;
}

std::optional<QVersionNumber> parseVersion(const QString &text)
{
    QStringView view = QStringView(text).trimmed();
    if (view.startsWith(u'v', Qt::CaseInsensitive))
        view = view.mid(1);
    const QVersionNumber version = QVersionNumber::fromString(view);
    if (version.isNull())
        return std::nullopt;
    return version.normalized();
}

std::optional<QVersionNumber> versionOf(const Item &item)
{
    if (auto version = parseVersion(item.version))
        return version;
    return parseVersion(item.shortVersionString);
}

std::optional<Item> newestItem(const QList<Item> &items)
{
    std::optional<Item> newest;
    QVersionNumber newestVersion;
    for (const Item &item : items) {
        // Items of other channels (betas) are for users who opted into them.
        if (!item.channel.isEmpty())
            continue;
        const std::optional<QVersionNumber> version = versionOf(item);
        if (!version)
            continue;
        if (!newest || *version > newestVersion) {
            newest = item;
            newestVersion = *version;
        }
    }
    return newest;
}

QByteArray releaseStatement(const Item &item, QByteArrayView archiveSha256)
{
    return "Lumbrel release\nversion: " + item.version.toUtf8() + "\nshortVersionString: "
        + item.shortVersionString.toUtf8() + "\nlength: " + QByteArray::number(item.enclosureLength)
        + "\nsha256: " + archiveSha256.toByteArray().toHex() + '\n';
}

bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == u"https" || scheme == u"http") && !url.host().isEmpty();
}

} // namespace Appcast
