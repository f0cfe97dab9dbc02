#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A bundle's signature: _CodeSignature/manifest lists every other file of the bundle, one line
// each, "<mode in octal> <SHA-256 in hex> <path inside the bundle>", and _CodeSignature/signature
// holds the base64 Ed25519 signature of the manifest's bytes by the maker's key. A bundle is
// intact when the signature holds, every listed file is there with its sum and mode, and nothing
// else is: no unlisted file, no link (a file with a second name counts as one), no device, FIFO or
// socket.
namespace CodeSignature {

inline constexpr const char* manifestPath = "_CodeSignature/manifest";
inline constexpr const char* signaturePath = "_CodeSignature/signature";

// The manifest of the bundle as it stands (for tools and tests); nothing when the bundle holds
// something a manifest cannot list.
std::optional<QByteArray> makeManifest(const QString& bundlePath, QString* why = nullptr);

// Whether the bundle is intact and signed under the key (base64 of its 32 bytes). `why` says what
// failed, for the log.
bool verify(const QString& bundlePath, const QString& publicKeyBase64, QString* why = nullptr);

}  // namespace CodeSignature
