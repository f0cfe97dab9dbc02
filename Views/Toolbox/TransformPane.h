#pragma once

#include <QWidget>

class ActivitySpinner;
class CodeTextView;
class QAbstractButton;
class QLabel;
class QStackedWidget;
class ToolboxModel;

// The detail pane of a text transform: the editable input above the read-only result, which gives
// way to a failure card when the transform fails. "Из буфера" and "Очистить" fill and empty the
// input; "Скопировать" copies the result and "В ввод" makes it the input for the next transform.
class TransformPane : public QWidget {
    Q_OBJECT
public:
    static constexpr int padding = 16;
    static constexpr int spacing = 10;
    static constexpr double cardRadius = 10;

    explicit TransformPane(ToolboxModel& model, QWidget* parent = nullptr);

    // What the failure card says.
    static QString failureText(const struct TransformFailure& failure);

    // The parts, for tests.
    CodeTextView* inputView() const { return input_; }
    CodeTextView* outputView() const { return output_; }
    QLabel* sizeLabel() const { return sizeLabel_; }
    QAbstractButton* pasteButton() const { return paste_; }
    QAbstractButton* clearButton() const { return clear_; }
    QAbstractButton* copyButton() const { return copy_; }
    QAbstractButton* useAsInputButton() const { return useAsInput_; }
    ActivitySpinner* spinner() const { return spinner_; }
    QWidget* failureCard() const { return failureCard_; }
    QLabel* failureLabel() const { return failureLabel_; }
    bool showsFailure() const;

private:
    void refreshInput();
    void refreshResult();

    ToolboxModel& model_;
    CodeTextView* input_ = nullptr;
    CodeTextView* output_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    QAbstractButton* paste_ = nullptr;
    QAbstractButton* clear_ = nullptr;
    QAbstractButton* copy_ = nullptr;
    QAbstractButton* useAsInput_ = nullptr;
    ActivitySpinner* spinner_ = nullptr;
    QStackedWidget* result_ = nullptr;
    QWidget* resultEditor_ = nullptr;
    QWidget* failureCard_ = nullptr;
    QLabel* failureLabel_ = nullptr;
    bool typing_ = false;  // the input editor's own edit is reaching the model
};
