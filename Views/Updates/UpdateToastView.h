#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QWidget>

#include <functional>

class PixelBanner;
class QLabel;

// One of the toast's two buttons: a capsule as wide as offered, its title at 13 pt; the prominent
// one white on the accent's gradient, the other in the primary colour on a 10 % wash of it.
class UpdateToastButton : public QAbstractButton {
    Q_OBJECT
public:
    UpdateToastButton(const QString& title, bool prominent, QWidget* parent = nullptr);
    bool isProminent() const { return prominent_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    bool prominent_;
};

// The toast's card: a strip of landscape with the application's icon hanging below it, the
// headline "Updated to v<version>", a line on what to do, and "Close" and "What’s New".
class UpdateToastView : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 340;
    static constexpr int height = 214;
    static constexpr double cornerRadius = 20;
    static constexpr double bannerHeight = 70;
    static constexpr double iconSize = 46;

    UpdateToastView(const QString& version, std::function<void()> onClose, std::function<void()> onWhatsNew,
                    std::function<void(bool)> onHover, QWidget* parent = nullptr);

    const QString& version() const { return version_; }
    bool iconIn() const { return iconIn_; }
    // The icon's scale about its centre: 0.6 until it pops in, then 1 (a spring on the way).
    double iconScale() const { return iconScale_; }
    // Where the icon's frame stands before scaling: 14 points in, hanging 26 below the banner.
    static QRectF iconFrame();

    UpdateToastButton* closeButton() const { return close_; }
    UpdateToastButton* whatsNewButton() const { return whatsNew_; }
    QLabel* headline() const { return headline_; }
    PixelBanner* banner() const { return banner_; }
    QLabel* message() const { return message_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void popIconIn();

    QString version_;
    std::function<void(bool)> onHover_;
    bool iconIn_ = false;
    bool shownOnce_ = false;
    double iconScale_ = 0.6;
    PixelBanner* banner_;
    QWidget* overlay_;
    QLabel* headline_;
    QLabel* message_;
    UpdateToastButton* close_;
    UpdateToastButton* whatsNew_;
};
