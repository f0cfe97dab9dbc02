#pragma once

#include <QPointer>
#include <QWidget>

// The action bar at the foot of a detail page: a leading and a trailing widget at its two ends
// with a flexible space between them. It lies on a glass surface that its host draws. Every
// button in either widget takes the bar's own look (GlassBarButtonStyle).
class GlassActionBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int barHeight = 48;

    GlassActionBar(QWidget* leading, QWidget* trailing, QWidget* parent = nullptr);

    QWidget* leading() const { return leading_; }
    QWidget* trailing() const { return trailing_; }

    QSize sizeHint() const override;

private:
    QPointer<QWidget> leading_;
    QPointer<QWidget> trailing_;
};
