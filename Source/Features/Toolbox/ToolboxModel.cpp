#include "Source/Features/Toolbox/ToolboxModel.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/UnicodeText.h"

#include <QPointer>
#include <QThreadPool>

#include <algorithm>

namespace {

void runOnGlobalPool(std::function<void()> job) {
    // Above the pool's default priority: the user waits for this result.
    QThreadPool::globalInstance()->start(std::move(job), 1);
}

}  // namespace

QString ToolboxModel::Tool::id() const {
    switch (kind) {
    case Kind::transform: return QStringLiteral("transform.") + TextTransforms::rawValue(transform);
    case Kind::jsonTree: return QStringLiteral("jsonTree");
    case Kind::password: return QStringLiteral("password");
    case Kind::qr: return QStringLiteral("qr");
    case Kind::snippets: return QStringLiteral("snippets");
    }
    return {};
}

std::optional<ToolboxModel::Tool> ToolboxModel::Tool::fromId(const QString& id) {
    for (const Tool& tool : {jsonTree(), password(), qr(), snippets()}) {
        if (tool.id() == id) return tool;
    }
    static const QString prefix = QStringLiteral("transform.");
    if (!id.startsWith(prefix)) return std::nullopt;
    const std::optional<TextTransform> t = TextTransforms::fromRawValue(QStringView(id).mid(prefix.size()));
    if (!t) return std::nullopt;
    return forTransform(*t);
}

QString ToolboxModel::Tool::title() const {
    switch (kind) {
    case Kind::transform: return TextTransforms::title(transform);
    case Kind::jsonTree: return QStringLiteral("Дерево JSON");
    case Kind::password: return QStringLiteral("Генератор паролей");
    case Kind::qr: return QStringLiteral("QR-код");
    case Kind::snippets: return QStringLiteral("Сниппеты");
    }
    return {};
}

ToolboxModel::ToolboxModel(QObject* parent) : ToolboxModel(Executor(runOnGlobalPool), parent) {}

ToolboxModel::ToolboxModel(Executor executor, QObject* parent)
    : QObject(parent), executor_(executor ? std::move(executor) : Executor(runOnGlobalPool)) {
    recompute(input_, inputBytes_, selection_);
}

ToolboxModel::~ToolboxModel() {
    if (pendingCancelled_) pendingCancelled_->store(true);
}

void ToolboxModel::setSelection(const Tool& tool) {
    if (tool == selection_) return;
    const Tool old = selection_;
    selection_ = tool;
    emit selectionChanged(old, selection_);
    recompute(input_, inputBytes_, selection_);
}

void ToolboxModel::setInput(const QString& text) {
    if (text == input_) return;
    input_ = text;
    inputBytes_ = UnicodeText::utf8Length(input_);
    inputDidChange();
}

void ToolboxModel::editInput(qsizetype position, qsizetype removed, const QString& added) {
    position = std::clamp<qsizetype>(position, 0, input_.size());
    removed = std::clamp<qsizetype>(removed, 0, input_.size() - position);
    if (QStringView(input_).mid(position, removed) == added) return;
    // The UTF-8 size changes by what the edited characters weigh, with a surrogate pair beside the edit
    // weighed whole before and after.
    const qsizetype from = position > 0 && input_[position - 1].isHighSurrogate() ? position - 1 : position;
    qsizetype to = position + removed;
    if (to < input_.size() && input_[to].isLowSurrogate()) ++to;
    inputBytes_ -= UnicodeText::utf8Length(QStringView(input_).mid(from, to - from));
    input_.replace(position, removed, added);
    to += added.size() - removed;
    inputBytes_ += UnicodeText::utf8Length(QStringView(input_).mid(from, to - from));
    inputDidChange();
}

void ToolboxModel::inputDidChange() {
    ++inputRevision_;
    emit inputChanged(input_);
    recompute(input_, inputBytes_, selection_);
}

std::optional<QString> ToolboxModel::inputSizeLabel(qsizetype n) {
    if (n <= 1024) return std::nullopt;
    if (n < 1048576) return QString::asprintf("%.0f КБ", double(n) / 1024.0);
    return QString::asprintf("%.1f МБ", double(n) / 1048576.0);
}

void ToolboxModel::copyOutput() {
    if (output_.isEmpty()) return;
    Pasteboard& pasteboard = Pasteboard::general();
    pasteboard.clearContents();
    PasteboardItem item;
    item.setString(output_);
    pasteboard.writeObjects({item});
}

void ToolboxModel::useOutputAsInput() {
    if (output_.isEmpty()) return;
    setInput(output_);
}

void ToolboxModel::recompute(const QString& text, qsizetype utf8Bytes, const Tool& tool) {
    work_.cancel();
    if (pendingCancelled_) {
        pendingCancelled_->store(true);
        pendingCancelled_.reset();
    }
    const qint64 number = ++generation_;

    if (!tool.isTransform() || text.isEmpty()) {
        if (!output_.isEmpty()) {
            output_.clear();
            emit outputChanged(output_);
        }
        if (failure_) {
            failure_.reset();
            emit failureChanged();
        }
        setWorking(false);
        return;
    }

    if (utf8Bytes <= synchronousLimit) {
        TransformResult<QString> result = TextTransforms::apply(tool.transform, text);
        if (generation_ == number) commit(std::move(result));
        setWorking(false);
        return;
    }

    setWorking(true);
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    pendingCancelled_ = cancelled;
    const TextTransform transform = tool.transform;
    QPointer<ToolboxModel> self(this);
    // The job waits on the GUI thread for the input to stand still, then runs on the executor; a newer
    // recomputation cancels it before it starts, or drops its result afterwards. It takes the text when
    // it starts (any change before cancels it): held while keys come, the text would be copied at each.
    work_.schedule(this, debounceSeconds, [this, self, cancelled, transform, number] {
        executor_([self, cancelled, transform, text = input_, number]() mutable {
            if (cancelled->load()) return;
            auto result = std::make_shared<TransformResult<QString>>(TextTransforms::apply(transform, text));
            text = QString();  // let go before the result lands, or the next key copies the input
            Dispatch::main([self, result, number] {
                if (!self || self->generation_ != number) return;
                self->pendingCancelled_.reset();
                self->commit(std::move(*result));
                self->setWorking(false);
            });
        });
    });
}

void ToolboxModel::commit(TransformResult<QString> result) {
    if (result.ok()) {
        if (output_ != result.value()) {
            output_ = std::move(result.value());
            emit outputChanged(output_);
        }
        if (failure_) {
            failure_.reset();
            emit failureChanged();
        }
        return;
    }
    if (!output_.isEmpty()) {
        output_.clear();
        emit outputChanged(output_);
    }
    if (failure_ != result.failure()) {
        failure_ = result.failure();
        emit failureChanged();
    }
}

void ToolboxModel::setWorking(bool working) {
    if (isWorking_ == working) return;
    isWorking_ = working;
    emit isWorkingChanged(isWorking_);
}
