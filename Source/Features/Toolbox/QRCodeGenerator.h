#pragma once

#include <QImage>
#include <QString>

#include <array>
#include <optional>

// A text as a QR code image: its trimmed UTF-8 bytes in 8-bit mode at a chosen error-correction
// level, enlarged by a whole factor and framed by a white quiet zone of four modules. Stateless;
// safe on any thread.
namespace QRCodeGenerator {

enum class Correction { low, medium, quartile, high };

inline constexpr std::array<Correction, 4> allCorrections{Correction::low, Correction::medium, Correction::quartile,
                                                          Correction::high};
QString rawValue(Correction correction);  // "L", "M", "Q", "H"
// Exactly one of the four letters, case-sensitive.
std::optional<Correction> correctionFromRawValue(const QString& raw);
// The share of the symbol that can be restored, in percent: 7, 15, 25, 30.
int recoveryPercent(Correction correction);

// More bytes than this are refused before encoding.
inline constexpr qint64 maxBytes = 2900;

struct Failure {
    enum class Kind { empty, tooLarge, renderFailed };
    Kind kind = Kind::renderFailed;
    qint64 byteCount = 0;  // tooLarge only

    QString message() const;
    bool operator==(const Failure&) const = default;
};

struct Result {
    QImage image;  // null when failed
    std::optional<Failure> failure;
};

// `pointSize` is the wanted side of the symbol without its quiet zone; the result's side is
// (modules + 8) × max(floor(pointSize / modules), 1). Dark modules are black on white.
Result image(const QString& text, Correction correction, double pointSize);

}  // namespace QRCodeGenerator
