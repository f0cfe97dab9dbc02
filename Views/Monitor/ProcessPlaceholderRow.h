#pragma once

#include <QString>
#include <QWidget>

class QPainter;

// The skeleton row shown while the first measurement is pending: an icon block, a name and two
// figures, drawn redacted (only the shapes of the texts show).
class ProcessPlaceholderRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowHeight = 28;

    explicit ProcessPlaceholderRow(QString name, QWidget* parent = nullptr);

    QString name() const { return name_; }
    void setContentOpacity(double opacity);
    double contentOpacity() const { return opacity_; }

    static void paint(QPainter& painter, const QRectF& rect, const QString& name, const QPalette& palette);

    QSize sizeHint() const override { return QSize(324, rowHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    double opacity_ = 1;
};
