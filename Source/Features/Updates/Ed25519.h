#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Ed25519 signatures and SHA-256 sums through OpenSSL.
namespace Ed25519 {

// Standard base64 with its padding and nothing else (no blanks, no line breaks); nothing when the
// text is anything else.
std::optional<QByteArray> decodeBase64(const QString& text);

// Whether signature (64 bytes) signs message under publicKey (32 raw bytes).
bool verify(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey);
// The same with the key and signature as base64 texts; false when either does not decode.
bool verify(const QByteArray& message, const QString& signatureBase64, const QString& publicKeyBase64);

// Signing, for tests and tools: a new key pair (32-byte seed, 32-byte public key) and a signature.
struct KeyPair {
    QByteArray privateKey;
    QByteArray publicKey;
};
KeyPair generate();
QByteArray sign(const QByteArray& message, const QByteArray& privateKey);

}  // namespace Ed25519

namespace Sha256 {
QByteArray of(const QByteArray& bytes);
// The sum of a file's bytes, read in pieces; nothing when it cannot be read.
std::optional<QByteArray> ofFile(int fd);
}  // namespace Sha256
