#include "Source/Features/System/VolumeUsageScanner.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Files/DirectoryWalker.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ApplicationSupport.h"

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
        return skipped_.isEmpty() || !skipped_.contains(QString::fromUtf8(path.data(), qsizetype(path.size())));
    }
    void enter(std::string_view path, int depth) override {
        frames_.push_back({});
        if (depth <= 1 && report_) report_(decode(path));
    }
    void file(std::string_view path, int depth, std::int64_t bytes) override {
        if (depth - 1 < VolumeUsageScanner::keptDepth && double(bytes) >= VolumeUsageScanner::keepFloor)
            frames_.back().push_back({lastComponent(decode(path)), decode(path), double(bytes), false, {}});
    }
    void leave(std::string_view path, int depth, std::int64_t bytes, bool listed) override {
        QList<UsageNode> children = std::move(frames_.back());
        frames_.pop_back();
        std::stable_sort(children.begin(), children.end(),
                         [](const UsageNode& a, const UsageNode& b) { return a.bytes > b.bytes; });
        const QString p = decode(path);
        UsageNode node{depth == 0 && listed ? VolumeUsageScanner::rootName : lastComponent(p), p, double(bytes), true,
                       std::move(children)};
        if (depth == 0) {
            result = std::move(node);
        } else if (depth - 1 < VolumeUsageScanner::keptDepth && node.bytes >= VolumeUsageScanner::keepFloor) {
            frames_.back().push_back(std::move(node));
        }
    }

    UsageNode result;

private:
    static QString decode(std::string_view path) {
        return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
    }

    const QSet<QString>& skipped_;
    const std::function<void(const QString&)>& report_;
    std::vector<QList<UsageNode>> frames_;
};

}  // namespace

VolumeUsageScanner::Places VolumeUsageScanner::Places::current() {
    // The kernel's and the runtime's own trees, scratch space and other mounts; /home is walked.
    return {QStringLiteral("/"),
            {"/proc", "/sys", "/dev", "/run", "/tmp", "/mnt", "/media", "/snap"},
            URL::applicationSupport("DaveRovaz") + "/volumeUsage.json"};
}

VolumeUsageScanner& VolumeUsageScanner::shared() {
    static VolumeUsageScanner* scanner = new VolumeUsageScanner(Places::current());
    return *scanner;
}

VolumeUsageScanner::VolumeUsageScanner(Places places, QObject* parent)
    : QObject(parent), places_(std::move(places)), cancel_(std::make_shared<std::atomic<bool>>(false)),
      queue_(std::make_unique<SerialQueue>("com.merovane.volumeusage", QueuePriority::utility)) {
    restore();
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
    if (builder.result.path.isEmpty()) builder.result = {lastComponent(root), root, 0, true, {}};
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
    const QJsonObject stored{
        {"scannedAt", ReferenceDate::seconds(at)}, {"root", root.toJson()}, {"unreadable", unreadable}};
    if (auto error =
            FileWriter::shared().write(places_.storePath, QJsonDocument(stored).toJson(QJsonDocument::Compact), 0600))
        qCWarning(lcVolumeUsage) << "Cannot save the volume usage:" << error->message();
}

void VolumeUsageScanner::restore() {
    const auto bytes = SafeFile::readRegular(places_.storePath);
    if (!bytes) return;
    const QJsonObject stored = QJsonDocument::fromJson(*bytes).object();
    const QJsonValue at = stored.value("scannedAt"), unreadable = stored.value("unreadable");
    if (!at.isDouble() || !unreadable.isDouble() || !stored.value("root").isObject()) return;
    auto root = UsageNode::fromJson(stored.value("root").toObject());
    if (!root) return;
    root_ = std::move(root);
    unreadable_ = qint64(unreadable.toDouble());
    rootDate_ = ReferenceDate::date(at.toDouble());
    state_ = {Phase::complete, {}, rootDate_};
}
