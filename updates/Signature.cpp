#include "Signature.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <memory>

namespace Signature {

std::optional<QByteArray> decodeBase64(QByteArrayView text, qsizetype size)
{
    const QByteArray trimmed = text.trimmed().toByteArray();
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(trimmed, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size)
        return std::nullopt;
    return decoded.decoded;
}

bool verify(QByteArrayView publicKey, QByteArrayView message, QByteArrayView signature)
{
    if (publicKey.size() != PublicKeySize || signature.size() != SignatureSize)
        return false;

    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                    reinterpret_cast<const unsigned char *>(publicKey.data()),
                                    size_t(publicKey.size())),
        &EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    // Ed25519 hashes the message itself: no digest is named, and the whole
    // message goes to one call.
    const bool valid = key && context
        && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
        && EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature.data()),
                            size_t(signature.size()), reinterpret_cast<const unsigned char *>(message.data()),
                            size_t(message.size()))
            == 1;
    // A rejected signature leaves entries in this thread's error queue, where
    // a later TLS call on the same thread would find them.
    ERR_clear_error();
    return valid;
}

} // namespace Signature
