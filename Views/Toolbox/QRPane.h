#pragma once

#include "Source/Features/Toolbox/QRPaneModel.h"

#include <QWidget>

class CodeTextView;
class InkLabel;
class PaneButton;
class QLabel;
class QRImageView;
class SegmentedPicker;
class ToolboxModel;

// The QR tool: the code of the toolbox's shared input, redrawn on each keystroke, with copy and
// save; the input's editor with its byte counter; and the error-correction level.
class QRPane : public QWidget {
    Q_OBJECT
public:
    explicit QRPane(ToolboxModel& model, QWidget* parent = nullptr);

    QRPaneModel& qrModel() { return qr_; }

    QWidget* codeView() const { return codeBox_; }
    QRImageView* imageView() const { return image_; }
    QWidget* failureView() const { return failureBox_; }
    // The symbol shown in place of the code: "qrcode" or "exclamationmark.triangle.fill".
    QString failureSymbolName() const { return failureSymbolName_; }
    InkLabel* failureLabel() const { return failureText_; }
    PaneButton* copyButton() const { return copy_; }
    PaneButton* saveButton() const { return save_; }
    InkLabel* saveFailureLabel() const { return saveFailure_; }
    InkLabel* counterLabel() const { return counter_; }
    PaneButton* pasteButton() const { return paste_; }
    CodeTextView* editor() const { return editor_; }
    SegmentedPicker* levelPicker() const { return levelPicker_; }
    InkLabel* levelDescription() const { return levelDescription_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeCodeCard();
    QWidget* makeSource();
    QWidget* makeSettings();
    void showCode();
    void showCounter();
    void save();

    ToolboxModel& model_;
    QRPaneModel qr_;
    bool appeared_ = false;
    bool typing_ = false;  // the editor's own edit is reaching the model
    QWidget* codeBox_ = nullptr;
    QRImageView* image_ = nullptr;
    QWidget* failureBox_ = nullptr;
    QLabel* failureSymbol_ = nullptr;
    QString failureSymbolName_;
    InkLabel* failureText_ = nullptr;
    PaneButton* copy_ = nullptr;
    PaneButton* save_ = nullptr;
    InkLabel* saveFailure_ = nullptr;
    InkLabel* counter_ = nullptr;
    PaneButton* paste_ = nullptr;
    CodeTextView* editor_ = nullptr;
    SegmentedPicker* levelPicker_ = nullptr;
    InkLabel* levelDescription_ = nullptr;
};
