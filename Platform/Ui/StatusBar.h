#pragma once

#include "Platform/Core/Dispatch.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class SelectionOwnerWatcher;
class StatusBar;
class StatusBarBackend;

// One item of the menu bar: an image of any width, a tooltip, and clicks reported with the
// item's rectangle on screen (Qt's global coordinates). In a tray, where every item is a square
// icon, an item may bring its own square drawing instead of its image.
class StatusItem : public QObject {
    Q_OBJECT
public:
    // Draws the item into a square of the tray's icon size (the painter's device gives the scale).
    using SquareDrawing = std::function<void(QPainter& painter, const QRect& square)>;

    ~StatusItem() override;

    void setImage(const QImage& image);  // the image's devicePixelRatio gives its logical size
    QImage image() const { return image_; }
    // The drawing a tray shows instead of the image; key tells drawings apart (an equal key is no
    // change). An empty drawing brings back the image on a square.
    void setSquareDrawing(const QString& key, SquareDrawing drawing);
    const SquareDrawing& squareDrawing() const { return squareDrawing_; }
    const QString& squareDrawingKey() const { return squareKey_; }
    void setToolTip(const QString& text);
    QString toolTip() const { return toolTip_; }
    void setVisible(bool visible);
    bool isVisible() const { return visible_; }
    // Where the item is on screen now; empty while hidden or not yet placed.
    QRect screenRect() const;
    // The bar the item is on.
    StatusBar* bar() const { return bar_; }

signals:
    void clicked(const QRect& screenRect, Qt::MouseButton button);
    void changed();

private:
    friend class StatusBar;
    StatusItem(StatusBar* bar, StatusBarBackend* backend);
    void update();
    StatusBar* bar_;
    StatusBarBackend* backend_;
    QImage image_;
    QString squareKey_;
    SquareDrawing squareDrawing_;
    QString toolTip_;
    bool visible_ = true;
};

// The menu bar stand-in: status items go to the system tray where the desktop has one,
// else to a bar strip of our own at the top right of the primary screen. An automatic bar
// follows the tray: when the tray goes away its items move to the strip, and back when a tray
// comes (the XEmbed tray's selection owner is watched).
class StatusBar : public QObject {
    Q_OBJECT
public:
    enum class Kind { automatic, tray, strip };
    static StatusBar& system();
    explicit StatusBar(Kind kind = Kind::automatic, QObject* parent = nullptr);
    ~StatusBar() override;

    // Items are kept in creation order (the first created is rightmost on a strip, as on a menu
    // bar). removeItem deletes the item; deleting an item removes it as well.
    StatusItem* addItem();
    void removeItem(StatusItem* item);
    const std::vector<StatusItem*>& items() const { return items_; }
    // Where the items are now: tray or strip (never automatic).
    Kind kind() const { return kind_; }
    // Whether the bar moves between tray and strip as the tray comes and goes.
    bool followsTray() const { return trayWatcher_ != nullptr; }
    // The colour of text and templates on the bar: white on our dark strip; in a tray the colour
    // the tray asks for (_NET_SYSTEM_TRAY_COLORS), else one that stands out from the tray's
    // background as seen behind our first docked icon, else (until then) the palette's text colour.
    QColor ink() const;
    // What the items are drawn on: our strip's fill, or the tray's background where we looked at
    // it; invalid while not known.
    QColor background() const;
    // The lightness-median colour of an image, and the ink that reads on it.
    static QColor dominantColor(const QImage& image);
    static QColor inkFor(const QColor& background);
    // The strip window (nullptr for the tray); tests look at its layout.
    class QWidget* stripWindow() const;
    // Whether a screen point lies on one of the bar's own windows (a status-bar window).
    bool containsScreenPoint(const QPoint& globalPos) const;

signals:
    // Any item's click, after the item's own signal.
    void itemClicked(StatusItem* item, const QRect& screenRect, Qt::MouseButton button);
    // The items moved between tray and strip, or the tray asked for another ink: redraw them.
    void appearanceChanged();
    // Our strip or our tray icons moved, changed size, showed or hid, or the items moved between
    // strip and tray: what lies on the screen's top band changed.
    void placeChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class StatusItem;
    void forget(StatusItem* item);
    void useBackend(Kind kind);
    // placeChanged, held while the items move between backends.
    void reportPlace();
    void trayOwnerChanged();
    void scheduleBackgroundLook(int attempt);
    static std::optional<QColor> backgroundBehind(const QRect& screenRect);
    Kind kind_;
    std::unique_ptr<StatusBarBackend> backend_;  // never null once constructed
    bool switching_ = false;
    std::vector<StatusItem*> items_;
    SelectionOwnerWatcher* trayWatcher_ = nullptr;
    QColor trayInk_;
    bool announcedInk_ = false;  // trayInk_ is the one the tray asks for
    QColor trayBackground_;
    WorkItem backgroundLook_;
};
