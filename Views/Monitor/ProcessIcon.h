#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QPainter;

// An application icon from ProcessIconCache, stretched into a size × size frame.
class ProcessIcon : public QWidget {
    Q_OBJECT
public:
    ProcessIcon(std::optional<QString> bundlePath, QString name, double size, QWidget* parent = nullptr);

    static void paint(QPainter& painter, const QRectF& rect, const std::optional<QString>& bundlePath,
                      const QString& name);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QString> bundlePath_;
    QString name_;
    double size_;
};
