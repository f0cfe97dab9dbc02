#pragma once

#include "Platform/X11/InputAccess.h"
#include "Source/Features/Preferences/HotkeyBinding.h"
#include "Views/Shared/Motion.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;

// The first-run greeting: the program's icon and name, its three main features, the keyboard
// access card and the main button. Access is read when the view is made and then once a second
// while it is shown; when it turns granted the look changes (animated) and the global hot keys
// are restarted. Return presses the main button. The view draws no background of its own.
class WelcomeView : public QWidget {
    Q_OBJECT
public:
    static constexpr int pollMs = 1000;

    // onDone: run by the main button (the owner closes the window).
    explicit WelcomeView(std::function<void()> onDone, InputAccess& access = InputAccess::shared(),
                         QWidget* parent = nullptr);
    ~WelcomeView() override;

    bool trusted() const { return trusted_; }
    bool isPolling() const { return poll_.isActive(); }
    QPushButton* mainButton() const { return mainButton_; }
    // The card's status text ("Allowed" or "Not allowed yet").
    QString statusText() const;
    // The two layers under the card's text: what does not work without access, and the all-set line.
    QWidget* requestLayer() const;
    QWidget* successLayer() const;
    QString requestText() const;
    QString successText() const;
    // Their opacity now (mid-animation values included).
    double requestOpacity() const;
    double successOpacity() const;

    // What the request layer says for a session without access.
    static QString accessHelp(InputAccess::Session session);
    // What the success layer says instead of "All set" when an enabled binding was not grabbed at
    // the last start: which shortcut, why, and where to change it. Empty when all are on.
    static QString shortcutProblem(const std::vector<HotkeyBinding>& bindings);
    // The success layer's symbol name.
    QString successSymbol() const;

    // One poll: reads access and, on a change, flips the look; a change to granted restarts the hot keys.
    void poll();

signals:
    void trustedChanged(bool trusted);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Hands the window to the window manager to move with the pointer.
    virtual bool startWindowMove();

private:
    class StatusLabel;
    class Card;
    class FadingText;

    QWidget* buildFeatures();
    QWidget* buildCard();
    QWidget* buildBottomBar();
    void applyTrusted(bool animated);
    void applyLayerOpacity(double granted);
    void applyShortcuts();

    std::function<void()> onDone_;
    InputAccess& access_;
    bool trusted_;
    QTimer poll_;
    StatusLabel* status_ = nullptr;
    FadingText* requestLayer_ = nullptr;
    FadingText* successLayer_ = nullptr;
    QPushButton* mainButton_ = nullptr;
    // 0 shows the request layer, 1 the success layer.
    std::unique_ptr<Motion::AnimatedValue> layers_;
    // Where a press on the background went down, until it becomes a move or is released.
    std::optional<QPoint> dragFrom_;
};
