#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVersionNumber>

#include <optional>

// Reading of the appcast feed: an RSS 2.0 document whose <item>s describe
// releases. Elements are matched by local name, so the feed may put the
// release fields in any namespace.
namespace Appcast {

struct Item
{
    QString title;
    QString version;            // machine version, compared against ours
    QString shortVersionString; // what users are shown, if given
    QString releaseNotes;       // plain text; HTML notes are flattened
    QUrl releaseNotesUrl;       // page with the notes, if the feed links one
    QUrl enclosureUrl;          // the package for this platform, if any
    qint64 enclosureLength = -1; // its size in bytes ("length"); -1 when not a positive number
    QString enclosureSignature; // base64 Ed25519 signature of its bytes ("edSignature")
    // base64 Ed25519 signature of releaseStatement() for this item
    // ("releaseSignature"): binds the version and size the feed claims to
    // the archive's bytes, which the signature of the bytes alone does not.
    QString releaseSignature;
    QString channel;            // empty for the default release channel

    QString displayVersion() const;
};

// Null when the data is not well-formed XML. Relative addresses are
// resolved against baseUrl.
std::optional<QList<Item>> parse(const QByteArray &xml, const QUrl &baseUrl = {});

// A version as QVersionNumber reads it, with trailing zeros dropped so that
// "1.2" and "1.2.0" are the same release; nothing when the text holds none.
// A leading "v" and anything after the numbers ("-beta2") are ignored.
std::optional<QVersionNumber> parseVersion(const QString &text);

// The item's version, falling back to its short version string.
std::optional<QVersionNumber> versionOf(const Item &item);

// The newest item of the default channel that has a readable version; the
// first in feed order wins a tie.
std::optional<Item> newestItem(const QList<Item> &items);

// The text a release's signer signs besides the archive itself, so that a
// feed cannot offer a signed archive as another version than it is:
//
//   Lumbrel release
//   version: <version>
//   shortVersionString: <shortVersionString, or nothing>
//   length: <enclosure length in bytes>
//   sha256: <SHA-256 of the archive, lowercase hexadecimal>
//
// each line ending in "\n"; the versions exactly as the item gives them.
QByteArray releaseStatement(const Item &item, QByteArrayView archiveSha256);

// Whether an address may be handed to a browser or fetched: http(s) with a host.
bool isWebUrl(const QUrl &url);

} // namespace Appcast
