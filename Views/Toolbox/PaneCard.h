#pragma once

#include <QWidget>

class QVBoxLayout;

// The toolbox card look (as ContentCard draws it) around a layout of its own: the content sits
// 12 points inside it, plus the padding of the part it holds.
class PaneCard : public QWidget {
    Q_OBJECT
public:
    static constexpr double cornerRadius = 10;
    static constexpr int inset = 12;

    explicit PaneCard(int padding = 0, QWidget* parent = nullptr);

    QVBoxLayout* contentLayout() const { return layout_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* layout_;
};
