#include "Views/Monitor/ProcessIconCache.h"

#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"

#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QPainter>

namespace ProcessIconCache {

namespace {
QHash<QString, QPixmap>& table() {
    static QHash<QString, QPixmap> cache;
    return cache;
}

// One picture shared by every name without an icon of its own (there can be hundreds), drawn
// again only when the colour it is drawn in changes.
QPixmap gear() {
    static QColor drawnIn;
    static QPixmap shared;
    const QColor color = SystemColors::secondary();
    if (!shared.isNull() && color == drawnIn) return shared;
    QImage image = Symbols::image(QStringLiteral("gearshape.fill"), storedSide, color);
    if (image.isNull()) {
        image = QImage(storedSide, storedSide, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }
    drawnIn = color;
    shared = QPixmap::fromImage(image);
    return shared;
}

QPixmap entryIcon(const QString& bundlePath) {
    // The path may be a link: the entry it points to decides.
    const QString target = QFileInfo(bundlePath).canonicalFilePath();
    if (target.isEmpty()) return {};
    const std::optional<DesktopEntry> entry = DesktopEntries::parse(target, QFileInfo(target).fileName());
    if (!entry) return {};
    const QIcon icon = DesktopEntries::icon(*entry);
    if (icon.isNull()) return {};
    QPixmap pixmap = icon.pixmap(QSize(storedSide, storedSide), 1.0);
    if (pixmap.isNull()) return {};
    if (pixmap.size() != QSize(storedSide, storedSide))
        pixmap = pixmap.scaled(storedSide, storedSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return pixmap;
}
}  // namespace

QPixmap icon(const std::optional<QString>& bundlePath, const QString& name) {
    auto it = table().constFind(name);
    if (it != table().constEnd()) return *it;
    QPixmap image;
    if (bundlePath && !bundlePath->isEmpty()) image = entryIcon(*bundlePath);
    if (image.isNull()) image = gear();
    table().insert(name, image);
    return image;
}

bool contains(const QString& name) { return table().contains(name); }
int count() { return int(table().size()); }

}  // namespace ProcessIconCache
