#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include <functional>

class QShortcut;

// The bar at the top of a detail page: a back button (a left chevron, with backHelp as its tool
// tip, also answering Escape without modifiers) that calls onBack, the title in 13 px semibold
// cut in the middle when too long, and an optional trailing widget at the right end.
class DetailNavigationBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int barHeight = 48;

    DetailNavigationBar(QString title, QString backHelp, std::function<void()> onBack, QWidget* trailing = nullptr,
                        QWidget* parent = nullptr);

    QString title() const { return title_; }
    void setTitle(const QString& title);
    QString backHelp() const { return backHelp_; }
    QAbstractButton* backButton() const { return back_; }
    QWidget* trailing() const { return trailing_; }
    // The title as drawn in the space it has.
    QString displayedTitle() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRectF titleRect() const;
    void layoutChildren();

    QString title_;
    QString backHelp_;
    std::function<void()> onBack_;
    QAbstractButton* back_;
    QShortcut* escape_;
    QPointer<QWidget> trailing_;
};
