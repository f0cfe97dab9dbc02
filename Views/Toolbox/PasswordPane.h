#pragma once

#include "Source/Features/Toolbox/PasswordPaneModel.h"

#include <QWidget>

class InkLabel;
class PaneButton;
class QCheckBox;
class QScrollArea;
class QSlider;
class QTextEdit;
class SegmentedPicker;

// The password tool: the generated password with its strength, the buttons that draw another
// one and copy it (marked secret, so clipboard histories leave it out), and the options card:
// style, length and switches. Every change of an option draws a new password.
class PasswordPane : public QWidget {
    Q_OBJECT
public:
    explicit PasswordPane(QWidget* parent = nullptr);

    PasswordPaneModel& model() { return model_; }
    QColor strengthColor() const;

    QScrollArea* scrollArea() const { return scroll_; }
    QTextEdit* passwordText() const { return password_; }
    InkLabel* strengthLabel() const { return strength_; }
    InkLabel* entropyLabel() const { return entropy_; }
    PaneButton* regenerateButton() const { return regenerate_; }
    PaneButton* copyButton() const { return copy_; }
    SegmentedPicker* stylePicker() const { return stylePicker_; }
    InkLabel* descriptionLabel() const { return description_; }
    InkLabel* unitLabel() const { return unit_; }
    InkLabel* lengthLabel() const { return length_; }
    QSlider* lengthSlider() const { return slider_; }
    QCheckBox* digitToggle() const { return digit_; }
    QCheckBox* capitalToggle() const { return capital_; }
    QCheckBox* symbolToggle() const { return symbol_; }

    // The font size the password is drawn at: 20 points, less where that takes more than two
    // lines, down to 12.
    double passwordFontSize() const { return passwordFontSize_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeResultCard();
    QWidget* makeControlsCard();
    void refresh();
    void fitPassword();

    PasswordPaneModel model_;
    QScrollArea* scroll_ = nullptr;
    QTextEdit* password_ = nullptr;
    InkLabel* strength_ = nullptr;
    InkLabel* entropy_ = nullptr;
    PaneButton* regenerate_ = nullptr;
    PaneButton* copy_ = nullptr;
    SegmentedPicker* stylePicker_ = nullptr;
    InkLabel* description_ = nullptr;
    InkLabel* unit_ = nullptr;
    InkLabel* length_ = nullptr;
    QSlider* slider_ = nullptr;
    QCheckBox* digit_ = nullptr;
    QCheckBox* capital_ = nullptr;
    QCheckBox* symbol_ = nullptr;
    double passwordFontSize_ = 20;
};
