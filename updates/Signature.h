#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Ed25519 signatures of release archives, as the appcast gives them
// (`edSignature` on the enclosure) and as the update framework on macOS
// checks them: base64 of the 64-byte signature over the archive's bytes,
// verified with the 32-byte raw public key built into the application.
namespace Signature {

inline constexpr qsizetype PublicKeySize = 32;
inline constexpr qsizetype SignatureSize = 64;

// The bytes of strict base64 `text` (surrounding white space allowed) when
// they are exactly `size` long; nothing otherwise.
std::optional<QByteArray> decodeBase64(QByteArrayView text, qsizetype size);

// Whether `signature` is a valid Ed25519 signature of `message` by the
// holder of `publicKey`. Keys and signatures of the wrong size are invalid.
// Safe to call from any thread.
bool verify(QByteArrayView publicKey, QByteArrayView message, QByteArrayView signature);

} // namespace Signature
