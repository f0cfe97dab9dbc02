#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

// The PNG encoding of an image at its own size; absent when the image is empty or the
// encoding fails. Safe off the GUI thread.
std::optional<QByteArray> pngData(const QImage& image);
