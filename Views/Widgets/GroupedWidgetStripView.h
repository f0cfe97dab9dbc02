#pragma once

#include "Source/Features/Widgets/WidgetType.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

class QPainter;
class WidgetManager;

// Every enabled widget on one rounded background, as the grouped status item draws it, so the
// readings read as a single item. As a widget it follows the manager; the status item uses the
// static image().
class GroupedWidgetStripView : public QWidget {
    Q_OBJECT
public:
    static constexpr double padding = 6;
    static constexpr double spacing = 8;
    static constexpr double cornerRadius = 5;
    static constexpr double backgroundOpacity = 0.14;

    struct Entry {
        WidgetType type;
        QString text;
        bool operator==(const Entry&) const = default;
    };
    // The enabled types in declaration order with their texts.
    static std::vector<Entry> entries(const WidgetManager& manager);

    explicit GroupedWidgetStripView(WidgetManager& manager, QWidget* parent = nullptr);
    void setInk(const QColor& ink);

    static double widthFor(const std::vector<Entry>& entries, bool showLabels);
    static void paint(QPainter& painter, QPointF origin, const std::vector<Entry>& entries, bool showLabels,
                      const QColor& ink);
    static QImage image(const std::vector<Entry>& entries, bool showLabels, const QColor& ink, double devicePixelRatio);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor ink() const;

    QPointer<WidgetManager> manager_;
    QColor ink_;
};
