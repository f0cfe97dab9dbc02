#pragma once

#include "Platform/Core/Dispatch.h"
#include "Source/Features/Toolbox/TextTransform.h"
#include "Source/Features/Toolbox/TransformFailure.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

// The toolbox window's one model: the selected tool, the input text that the panes share, and the
// selected transform's output or failure. Every change of the input or the tool recomputes the output:
// at once up to 20000 UTF-8 bytes, else off the GUI thread 0.2 s after the last change, while
// isWorking() holds. A result that a newer recomputation overtook is dropped. GUI thread only.
class ToolboxModel : public QObject {
    Q_OBJECT
public:
    // The tool the window shows.
    struct Tool {
        enum class Kind { transform, jsonTree, password, qr, snippets };

        Kind kind = Kind::jsonTree;
        TextTransform transform = TextTransform::upper;  // meaningful for a transform only

        static Tool forTransform(TextTransform t) { return {Kind::transform, t}; }
        static Tool jsonTree() { return {Kind::jsonTree}; }
        static Tool password() { return {Kind::password}; }
        static Tool qr() { return {Kind::qr}; }
        static Tool snippets() { return {Kind::snippets}; }

        bool isTransform() const { return kind == Kind::transform; }
        // "transform.upper", "jsonTree", "password", "qr" or "snippets".
        QString id() const;
        static std::optional<Tool> fromId(const QString& id);
        // The transform's title, or "Дерево JSON", "Генератор паролей", "QR-код", "Сниппеты".
        QString title() const;

        bool operator==(const Tool& other) const {
            return kind == other.kind && (kind != Kind::transform || transform == other.transform);
        }
    };

    // The largest input (UTF-8 bytes) transformed at once on the GUI thread.
    static constexpr qsizetype synchronousLimit = 20000;
    // How long a larger input must stand still before it is transformed.
    static constexpr double debounceSeconds = 0.2;

    // Runs `job` off the GUI thread (tests may run it elsewhere, or hold it back).
    using Executor = std::function<void(std::function<void()> job)>;

    explicit ToolboxModel(QObject* parent = nullptr);
    // A model whose background jobs go to `executor` instead of the global thread pool.
    ToolboxModel(Executor executor, QObject* parent = nullptr);
    ~ToolboxModel() override;

    const Tool& selection() const { return selection_; }
    void setSelection(const Tool& tool);
    const QString& input() const { return input_; }
    void setInput(const QString& text);
    // Changes the input in place: `removed` characters at `position` become `added`. Costs what the
    // edit is long, so an editor reports each key with it rather than send the whole text.
    void editInput(qsizetype position, qsizetype removed, const QString& added);
    const QString& output() const { return output_; }
    const std::optional<TransformFailure>& failure() const { return failure_; }
    bool isWorking() const { return isWorking_; }
    qint64 generation() const { return generation_; }
    // Goes up at each change of the input: a view that must know whether the input changed keeps this
    // rather than a copy, which would make the next key copy the input whole.
    qint64 inputRevision() const { return inputRevision_; }

    // The input's size beside its editor: absent up to 1 KiB, else "12 КБ" or "1.5 МБ".
    std::optional<QString> inputSizeLabel() const { return inputSizeLabel(inputBytes_); }
    static std::optional<QString> inputSizeLabel(qsizetype utf8Bytes);
    qsizetype inputBytes() const { return inputBytes_; }

    // Puts a non-empty output on the general pasteboard as plain text.
    void copyOutput();
    // Makes a non-empty output the input, so the same transform runs on it again.
    void useOutputAsInput();

signals:
    void selectionChanged(const ToolboxModel::Tool& old, const ToolboxModel::Tool& now);
    void inputChanged(const QString& input);
    void outputChanged(const QString& output);
    void failureChanged();
    void isWorkingChanged(bool working);

private:
    void inputDidChange();
    void recompute(const QString& text, qsizetype utf8Bytes, const Tool& tool);
    void commit(TransformResult<QString> result);
    void setWorking(bool working);

    Executor executor_;
    Tool selection_;
    QString input_;
    qsizetype inputBytes_ = 0;
    qint64 inputRevision_ = 0;
    QString output_;
    std::optional<TransformFailure> failure_;
    bool isWorking_ = false;
    WorkItem work_;
    std::shared_ptr<std::atomic_bool> pendingCancelled_;
    qint64 generation_ = 0;
};
