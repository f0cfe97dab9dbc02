#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

// One screen as the pet and other top-band windows see it. Qt's logical coordinates.
struct DisplayInfo {
    QString id;          // stable identifier: the RandR output (or monitor) name; empty when unknown
    QRect frame;         // the whole screen
    QRect visibleFrame;  // the work area: the screen without the desktop's reserved panels
    // The x range (from the frame's left edge) that nothing can be drawn over at the top, such as a
    // camera housing; no Linux screen reports one.
    std::optional<std::pair<double, double>> notch;
    bool operator==(const DisplayInfo&) const = default;
};

// The screens, the primary one first, and a signal when any is added, removed or changes.
class Displays : public QObject {
    Q_OBJECT
public:
    static Displays& shared();
    // Replaces the shared displays (tests); nullptr restores the system's.
    static void setShared(Displays* displays);

    virtual std::vector<DisplayInfo> screens() const = 0;

signals:
    void changed();
};

// The screens from QGuiApplication: hot-plugging, geometry, work-area and primary changes are
// reported once per burst. GUI thread only.
class QtDisplays final : public Displays {
    Q_OBJECT
public:
    explicit QtDisplays(QObject* parent = nullptr);
    std::vector<DisplayInfo> screens() const override;

private:
    void watch(class QScreen* screen);
    void scheduleChanged();
    bool pending_ = false;
};
