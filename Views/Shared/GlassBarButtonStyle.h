#pragma once

#include <QObject>
#include <QPalette>
#include <QRectF>
#include <QSize>
#include <QString>

class QAbstractButton;
class QPainter;

// The look of the buttons of a glass action bar: the title in 12 px semibold on a faint capsule
// that deepens under the pointer and while pressed. The title takes the button's ButtonText
// colour, so a destructive button can be given its own colour through its palette. Applied to
// any button: the style paints it in place of its own drawing.
class GlassBarButtonStyle : public QObject {
    Q_OBJECT
public:
    static constexpr int buttonHeight = 30;

    enum class State { normal, hovered, pressed, disabled };

    // Gives button this look; the style lives as long as the button.
    static GlassBarButtonStyle* apply(QAbstractButton* button);
    static GlassBarButtonStyle* of(const QAbstractButton* button);

    static QSize sizeFor(const QString& title);
    static void paint(QPainter& painter, const QRectF& rect, const QString& title, State state, const QPalette& palette);
    static State stateOf(const QAbstractButton* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit GlassBarButtonStyle(QAbstractButton* button);
};
