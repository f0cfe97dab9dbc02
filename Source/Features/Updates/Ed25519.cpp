#include "Source/Features/Updates/Ed25519.h"

#include <openssl/evp.h>

#include <memory>

#include <unistd.h>

namespace {
struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

const auto* bytes(const QByteArray& b) { return reinterpret_cast<const unsigned char*>(b.constData()); }
}  // namespace

namespace Ed25519 {

std::optional<QByteArray> decodeBase64(const QString& text) {
    if (text.isEmpty() || text.size() % 4 != 0) return std::nullopt;
    for (const QChar c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                        c == '/' || c == '=';
        if (!ok) return std::nullopt;
    }
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    // Padding only at the end and only as much as the length needs.
    if (decoded.decoded.toBase64() != text.toLatin1()) return std::nullopt;
    return decoded.decoded;
}

bool verify(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey) {
    if (signature.size() != 64 || publicKey.size() != 32) return false;
    Key key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), 32));
    Context ctx(EVP_MD_CTX_new());
    if (!key || !ctx) return false;
    if (EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
    return EVP_DigestVerify(ctx.get(), bytes(signature), 64, bytes(message), size_t(message.size())) == 1;
}

bool verify(const QByteArray& message, const QString& signatureBase64, const QString& publicKeyBase64) {
    const auto signature = decodeBase64(signatureBase64);
    const auto key = decodeBase64(publicKeyBase64);
    return signature && key && verify(message, *signature, *key);
}

KeyPair generate() {
    EVP_PKEY* raw = nullptr;
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr),
                                                                     EVP_PKEY_CTX_free);
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &raw) != 1) return {};
    Key key(raw);
    KeyPair pair;
    size_t n = 32;
    pair.privateKey.resize(32);
    pair.publicKey.resize(32);
    EVP_PKEY_get_raw_private_key(key.get(), reinterpret_cast<unsigned char*>(pair.privateKey.data()), &n);
    n = 32;
    EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char*>(pair.publicKey.data()), &n);
    return pair;
}

QByteArray sign(const QByteArray& message, const QByteArray& privateKey) {
    Key key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, bytes(privateKey), size_t(privateKey.size())));
    Context ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) return {};
    QByteArray signature(64, '\0');
    size_t n = 64;
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &n, bytes(message),
                       size_t(message.size())) != 1)
        return {};
    return signature;
}

}  // namespace Ed25519

namespace Sha256 {

QByteArray of(const QByteArray& data) {
    unsigned char out[32];
    unsigned int n = 0;
    EVP_Digest(data.constData(), size_t(data.size()), out, &n, EVP_sha256(), nullptr);
    return QByteArray(reinterpret_cast<const char*>(out), int(n));
}

std::optional<QByteArray> ofFile(int fd) {
    Context ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        EVP_DigestUpdate(ctx.get(), buffer, size_t(n));
    }
    unsigned char out[32];
    unsigned int len = 0;
    EVP_DigestFinal_ex(ctx.get(), out, &len);
    return QByteArray(reinterpret_cast<const char*>(out), int(len));
}

}  // namespace Sha256
