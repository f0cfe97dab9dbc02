#include "Source/Features/Toolbox/QRCodeGenerator.h"

#include "Platform/Core/RawValues.h"

#include <qrencode.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace QRCodeGenerator {

namespace {

constexpr RawValues::Entry<Correction> correctionRawValues[]{
    {Correction::low, "L"},
    {Correction::medium, "M"},
    {Correction::quartile, "Q"},
    {Correction::high, "H"},
};

QRecLevel level(Correction correction) {
    switch (correction) {
    case Correction::low: return QR_ECLEVEL_L;
    case Correction::medium: return QR_ECLEVEL_M;
    case Correction::quartile: return QR_ECLEVEL_Q;
    case Correction::high: return QR_ECLEVEL_H;
    }
    return QR_ECLEVEL_M;
}

struct QRcodeFree {
    void operator()(QRcode* code) const { QRcode_free(code); }
};

}  // namespace

QString rawValue(Correction correction) { return RawValues::rawValue(correctionRawValues, correction); }

std::optional<Correction> correctionFromRawValue(const QString& raw) {
    return RawValues::fromRawValue(correctionRawValues, raw);
}

int recoveryPercent(Correction correction) {
    switch (correction) {
    case Correction::low: return 7;
    case Correction::medium: return 15;
    case Correction::quartile: return 25;
    case Correction::high: return 30;
    }
    return 0;
}

QString Failure::message() const {
    switch (kind) {
    case Kind::empty: return QStringLiteral("Нечего кодировать");
    case Kind::tooLarge:
        return QStringLiteral("Слишком много данных для QR: ") + QString::number(byteCount) +
               QStringLiteral(" байт. Предел около 2 900.");
    case Kind::renderFailed: return QStringLiteral("Не удалось построить код");
    }
    return {};
}

Result image(const QString& text, Correction correction, double pointSize) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return {{}, Failure{Failure::Kind::empty}};
    const QByteArray bytes = trimmed.toUtf8();
    if (bytes.size() > maxBytes) return {{}, Failure{Failure::Kind::tooLarge, bytes.size()}};

    // Version 0: the smallest symbol that holds the bytes at this level; none when no version does.
    const std::unique_ptr<QRcode, QRcodeFree> code(QRcode_encodeData(
        int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.constData()), 0, level(correction)));
    if (!code || code->width <= 0) return {{}, Failure{Failure::Kind::renderFailed}};

    const int w = code->width;
    const double quotient = std::isfinite(pointSize) ? std::floor(pointSize / w) : 1.0;
    // Cap the factor so the side stays a sane image size.
    const int scale = int(std::clamp(quotient, 1.0, 16384.0 / (w + 8)));
    const int margin = 4 * scale;
    const int side = (w + 8) * scale;
    QImage out(side, side, QImage::Format_Grayscale8);
    if (out.isNull()) return {{}, Failure{Failure::Kind::renderFailed}};
    out.fill(0xff);

    // Each module row becomes one scan line, copied `scale` times: whole pixels, no smoothing.
    std::vector<uchar> line(size_t(side), 0xff);
    for (int row = 0; row < w; ++row) {
        const unsigned char* modules = code->data + size_t(row) * size_t(w);
        for (int column = 0; column < w; ++column)
            std::memset(line.data() + margin + column * scale, (modules[column] & 1) ? 0x00 : 0xff, size_t(scale));
        for (int y = 0; y < scale; ++y) std::memcpy(out.scanLine(margin + row * scale + y), line.data(), size_t(side));
    }
    return {out, std::nullopt};
}

}  // namespace QRCodeGenerator
