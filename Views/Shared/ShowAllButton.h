#pragma once

#include <QAbstractButton>
#include <QPointer>

namespace Motion {
class Animator;
}

// A link-styled button that flips whether a list shows everything. Collapsed its title is
// "Show All " followed by the count, a blank and the noun; expanded "Show Less". A small down
// chevron follows the title and turns over while expanded.
class ShowAllButton : public QAbstractButton {
    Q_OBJECT
public:
    ShowAllButton(bool isExpanded, int count, QString noun, QWidget* parent = nullptr);

    bool isExpanded() const { return expanded_; }
    void setExpanded(bool expanded);
    int count() const { return count_; }
    void setCount(int count);
    QString noun() const { return noun_; }
    // The title for a state.
    static QString title(bool isExpanded, int count, const QString& noun);
    QString title() const { return title(expanded_, count_, noun_); }
    // The chevron's turn now, in degrees (0 collapsed, 180 expanded).
    double chevronRotation() const { return rotation_; }

    QSize sizeHint() const override;

signals:
    void isExpandedChanged(bool isExpanded);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool expanded_;
    int count_;
    QString noun_;
    double rotation_;
    QPointer<Motion::Animator> turn_;
};
