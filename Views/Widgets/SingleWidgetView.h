#pragma once

#include "Source/Features/Widgets/WidgetType.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

class QPainter;
class WidgetManager;

// One menu-bar widget as its status item draws it: the type's symbol in its colour, the short
// name when labels are on, and the current text. The text sits right-aligned in a width that
// holds the type's widest usual text, so the item does not jump as the figures change.
// As a widget it follows the manager (the Appearance pane's preview); the status items use the
// static image().
class SingleWidgetView : public QWidget {
    Q_OBJECT
public:
    static constexpr double itemHeight = 22;
    static constexpr double symbolSize = 14;
    static constexpr double gap = 3;
    static constexpr double labelFontSize = 9;
    static constexpr double valueFontSize = 12;

    SingleWidgetView(WidgetType type, WidgetManager& manager, QWidget* parent = nullptr);

    WidgetType type() const { return type_; }
    // The colour of the text; the palette's text colour until set.
    void setInk(const QColor& ink);

    static double widthFor(WidgetType type, const QString& text, bool showLabels);
    // Draws the widget with its top-left corner at origin.
    static void paint(QPainter& painter, QPointF origin, WidgetType type, const QString& text, bool showLabels,
                      const QColor& ink);
    // The widget alone on a transparent image of the given device pixel ratio.
    static QImage image(WidgetType type, const QString& text, bool showLabels, const QColor& ink,
                        double devicePixelRatio);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor ink() const;

    WidgetType type_;
    QPointer<WidgetManager> manager_;
    QColor ink_;
};
