#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

class StatusBar;
class StatusBarBackend;

// One item of the menu bar: an image of any width, a tooltip, and clicks reported with the
// item's rectangle on screen (Qt's global coordinates).
class StatusItem : public QObject {
    Q_OBJECT
public:
    ~StatusItem() override;

    void setImage(const QImage& image);  // the image's devicePixelRatio gives its logical size
    QImage image() const { return image_; }
    void setToolTip(const QString& text);
    QString toolTip() const { return toolTip_; }
    void setVisible(bool visible);
    bool isVisible() const { return visible_; }
    // Where the item is on screen now; empty while hidden or not yet placed.
    QRect screenRect() const;

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
    QString toolTip_;
    bool visible_ = true;
};

// The menu bar stand-in: status items go to the system tray where the desktop has one,
// else to a bar strip of our own at the top right of the primary screen.
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
    Kind kind() const { return kind_; }
    // The strip window (nullptr for the tray); tests look at its layout.
    class QWidget* stripWindow() const;
    // Whether a screen point lies on one of the bar's own windows (a status-bar window).
    bool containsScreenPoint(const QPoint& globalPos) const;

private:
    friend class StatusItem;
    void forget(StatusItem* item);
    Kind kind_;
    std::unique_ptr<StatusBarBackend> backend_;
    std::vector<StatusItem*> items_;
};
