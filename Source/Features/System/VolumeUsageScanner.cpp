#include "Source/Features/System/VolumeUsageScanner.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Core/JsonText.h"
#include "Platform/Files/DirectoryWalker.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ApplicationSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcVolumeUsage, "quorvin.volumeusage")

QString lastComponent(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

// Builds the kept tree as the walker goes: one frame per open folder.
class TreeBuilder final : public DirectoryWalker::Visitor {
public:
    TreeBuilder(const QSet<QString>& skipped, const std::function<void(const QString&)>& report)
        : skipped_(skipped), report_(report) {}

    bool shouldEnter(std::string_view path, int) override {
        return skipped_.isEmpty() || !skipped_.contains(decode(path));
    }
    void enter(std::string_view path, int depth) override {
        frames_.push_back({});
        if (depth <= 1 && report_) report_(NativePath::displayed(decode(path)));
    }
    void file(std::string_view path, int depth, std::int64_t bytes) override {
        if (depth - 1 < VolumeUsageScanner::keptDepth && double(bytes) >= VolumeUsageScanner::keepFloor)
            frames_.back().push_back({shownName(decode(path)), decode(path), double(bytes), false, {}});
    }
    void leave(std::string_view path, int depth, std::int64_t bytes, bool listed) override {
        QList<UsageNode> children = std::move(frames_.back());
        frames_.pop_back();
        std::stable_sort(children.begin(), children.end(),
                         [](const UsageNode& a, const UsageNode& b) { return a.bytes > b.bytes; });
        const QString p = decode(path);
        UsageNode node{depth == 0 && listed ? VolumeUsageScanner::rootName : shownName(p), p, double(bytes), true,
                       std::move(children)};
        if (depth == 0) {
            result = std::move(node);
        } else if (depth - 1 < VolumeUsageScanner::keptDepth && node.bytes >= VolumeUsageScanner::keepFloor) {
            frames_.back().push_back(std::move(node));
        }
    }

    UsageNode result;

private:
    // Paths keep their exact bytes; names are for showing.
    static QString decode(std::string_view path) {
        return NativePath::decode(QByteArrayView(path.data(), path.size()));
    }
    static QString shownName(const QString& path) { return NativePath::displayed(lastComponent(path)); }

    const QSet<QString>& skipped_;
    const std::function<void(const QString&)>& report_;
    std::vector<QList<UsageNode>> frames_;
};

}  // namespace

VolumeUsageScanner::Places VolumeUsageScanner::Places::current() {
    // The kernel's and the runtime's own trees, scratch space and other mounts; /home is walked.
    // The folder of the file is made when a tree is first saved.
    return {QStringLiteral("/"),
            {"/proc", "/sys", "/dev", "/run", "/tmp", "/mnt", "/media", "/snap"},
            URL::applicationSupportBase() + "/DaveRovaz/volumeUsage.json"};
}

VolumeUsageScanner::StoreAccess VolumeUsageScanner::StoreAccess::real() {
    return {[](const QString& path) {
                FileError error;
                auto bytes = SafeFile::readRegular(path, Places::largestStore, &error);
                if (!bytes && !error.isMissing())
                    qCWarning(lcVolumeUsage) << "Cannot read the last volume walk:" << error.message();
                return bytes;
            },
            [](const QString& path, const QByteArray& bytes) {
                // A failure shows in the write.
                (void)FileWriter::shared().makeFolder(QFileInfo(path).absolutePath(), 0777);
                return FileWriter::shared().write(path, bytes, 0600);
            }};
}

VolumeUsageScanner& VolumeUsageScanner::shared() {
    static VolumeUsageScanner* scanner = new VolumeUsageScanner(Places::current());
    return *scanner;
}

VolumeUsageScanner::VolumeUsageScanner(Places places, StoreAccess store, QObject* parent)
    : QObject(parent), places_(std::move(places)), store_(std::move(store)),
      cancel_(std::make_shared<std::atomic<bool>>(false)),
      queue_(std::make_unique<SerialQueue>("com.merovane.volumeusage", QueuePriority::utility)) {
    QPointer<VolumeUsageScanner> self(this);
    queue_->async([self, path = places_.storePath, store = store_] {
        auto stored = restore(path, store);
        if (!stored) return;
        Dispatch::main([self, stored = std::move(*stored)]() mutable {
            if (self) self->showRestored(std::move(stored));
        });
    });
}

VolumeUsageScanner::~VolumeUsageScanner() {
    cancel_->store(true);
    queue_.reset();
}

UsageNode VolumeUsageScanner::walk(const QString& root, const QSet<QString>& skipped, const std::atomic<bool>& cancelled,
                                   const std::function<void(const QString&)>& report, qint64* unreadable) {
    TreeBuilder builder(skipped, report);
    const auto totals =
        DirectoryWalker::walk(root, {.oneFileSystem = true, .cancel = &cancelled, .visitor = &builder});
    if (unreadable) *unreadable += totals.unreadable;
    if (builder.result.path.isEmpty()) builder.result = {NativePath::displayed(lastComponent(root)), root, 0, true, {}};
    return builder.result;
}

void VolumeUsageScanner::setState(State state) {
    if (state_ == state) return;
    state_ = std::move(state);
    emit stateChanged();
}

void VolumeUsageScanner::scan() {
    if (state_.phase == Phase::scanning) return;
    // Each walk has a flag of its own, so a cancelled walk still unwinding never reads a new one's.
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    setState({Phase::scanning, places_.root, {}});
    QPointer<VolumeUsageScanner> self(this);
    const auto flag = cancel_;
    queue_->async([self, flag, root = places_.root, skipped = places_.skipped] {
        auto report = [self, flag](const QString& path) {
            Dispatch::main([self, flag, path] {
                if (self && !flag->load() && self->state_.phase == Phase::scanning)
                    self->setState({Phase::scanning, path, {}});
            });
        };
        qint64 unreadable = 0;
        UsageNode node = walk(root, skipped, *flag, report, &unreadable);
        Dispatch::main([self, flag, node = std::move(node), unreadable]() mutable {
            if (!self || flag->load()) return;  // a cancelled walk's tree is never shown or saved
            const QDateTime now = Clock::shared().now();
            // Freeing a big tree takes a while: the queue drops the one replaced.
            if (self->root_) self->queue_->async([old = std::move(*self->root_)] {});
            self->root_ = std::move(node);
            self->rootDate_ = now;
            emit self->rootChanged();
            self->unreadable_ = unreadable;
            emit self->unreadableChanged();
            self->setState({Phase::complete, {}, now});
            self->persist(*self->root_, unreadable, now);
        });
    });
}

void VolumeUsageScanner::cancel() {
    cancel_->store(true);
    if (state_.phase != Phase::scanning) return;
    setState(root_ ? State{Phase::complete, {}, rootDate_} : State{Phase::idle, {}, {}});
}

void VolumeUsageScanner::persist(const UsageNode& root, qint64 unreadable, const QDateTime& at) {
    // The copy shares the tree's storage; nothing changes it in place, so the queue can encode it.
    queue_->async([root, unreadable, at, path = places_.storePath, write = store_.write] {
        const QJsonObject stored{
            {"scannedAt", ReferenceDate::seconds(at)}, {"root", root.toJson()}, {"unreadable", unreadable}};
        if (auto error = write(path, QJsonDocument(stored).toJson(QJsonDocument::Compact)))
            qCWarning(lcVolumeUsage) << "Cannot save the volume usage:" << error->message();
    });
}

std::optional<VolumeUsageScanner::Stored> VolumeUsageScanner::restore(const QString& storePath,
                                                                     const StoreAccess& store) {
    const auto bytes = store.read(storePath);
    if (!bytes || !JsonText::isOneValue(*bytes)) return std::nullopt;
    const QJsonObject stored = QJsonDocument::fromJson(*bytes).object();
    const QJsonValue at = stored.value("scannedAt"), unreadable = stored.value("unreadable");
    if (!at.isDouble() || !unreadable.isDouble() || !stored.value("root").isObject()) return std::nullopt;
    auto root = UsageNode::fromJson(stored.value("root").toObject());
    if (!root) return std::nullopt;
    return Stored{std::move(*root), qint64(unreadable.toDouble()), ReferenceDate::date(at.toDouble())};
}

void VolumeUsageScanner::showRestored(Stored stored) {
    // A walk that finished first made a newer tree; one still running keeps its state and
    // replaces this tree when done, and a cancel falls back to it.
    if (root_) return;
    root_ = std::move(stored.root);
    rootDate_ = stored.date;
    emit rootChanged();
    unreadable_ = stored.unreadable;
    emit unreadableChanged();
    if (state_.phase == Phase::idle) setState({Phase::complete, {}, rootDate_});
}
