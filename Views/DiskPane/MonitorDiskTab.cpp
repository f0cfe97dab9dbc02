#include "Views/DiskPane/MonitorDiskTab.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/SystemStats.h"
#include "Views/Shared/CircularStatView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

std::unique_ptr<MonitorDiskTab>& provider() {
    static std::unique_ptr<MonitorDiskTab> instance;
    return instance;
}

// The start-up volume's capacity: a ring of the used share and the total, used and free figures,
// read again every 30 s while shown.
class VolumeCapacityView : public QWidget {
public:
    static constexpr int refreshMs = 30'000;

    explicit VolumeCapacityView(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TranslucentBackground);
        ring_ = new CircularStatView(QStringLiteral("Disk"), SystemColors::cyan(), this);
        ring_->setFixedSize(96, 116);
        ring_->setFocusPolicy(Qt::NoFocus);
        auto* figures = new QGridLayout;
        figures->setHorizontalSpacing(12);
        figures->setVerticalSpacing(6);
        figures->setRowStretch(0, 1);
        figures->setRowStretch(4, 1);
        const char* names[] = {"Total", "Used", "Free"};
        QLabel** values[] = {&total_, &used_, &free_};
        for (int i = 0; i < 3; ++i) {
            auto* name = new QLabel(QString::fromLatin1(names[i]), this);
            name->setFont(SystemFont::font(11, QFont::Medium));
            QPalette pal = name->palette();
            pal.setColor(QPalette::WindowText, SystemColors::secondary(palette()));
            name->setPalette(pal);
            *values[i] = new QLabel(this);
            (*values[i])->setFont(SystemFont::monospacedDigits(13, QFont::DemiBold));
            figures->addWidget(name, i + 1, 0);
            figures->addWidget(*values[i], i + 1, 1);
        }
        figures->setColumnStretch(2, 1);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(4, 8, 4, 8);
        row->setSpacing(18);
        row->addWidget(ring_);
        row->addLayout(figures, 1);
        connect(&timer_, &QTimer::timeout, this, [this] { refresh(); });
        refresh();
    }

protected:
    void showEvent(QShowEvent*) override {
        refresh();
        timer_.start(refreshMs);
    }
    void hideEvent(QHideEvent*) override { timer_.stop(); }

private:
    void refresh() {
        const auto capacity = SystemStats::getDiskCapacity();
        auto line = [](std::optional<double> bytes) {
            return bytes ? SystemStats::DiskCapacity::format(*bytes) : QStringLiteral("—");
        };
        ring_->setValue(capacity && capacity->total > 0 ? capacity->used / capacity->total * 100.0 : -1);
        total_->setText(line(capacity ? std::optional<double>(capacity->total) : std::nullopt));
        used_->setText(line(capacity ? std::optional<double>(capacity->used) : std::nullopt));
        free_->setText(line(capacity ? std::optional<double>(capacity->free) : std::nullopt));
    }

    CircularStatView* ring_ = nullptr;
    QLabel* total_ = nullptr;
    QLabel* used_ = nullptr;
    QLabel* free_ = nullptr;
    QTimer timer_;
};

QWidget* emptyContent(QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setAttribute(Qt::WA_TranslucentBackground);
    return w;
}

}  // namespace

MonitorDiskTab::~MonitorDiskTab() = default;

MonitorDiskTab& MonitorDiskTab::shared() {
    if (!provider()) provider() = std::make_unique<MonitorDiskTab>();
    return *provider();
}

void MonitorDiskTab::install(std::unique_ptr<MonitorDiskTab> replacement) { provider() = std::move(replacement); }

QWidget* MonitorDiskTab::makeHeader(QWidget* parent) { return new VolumeCapacityView(parent); }
QWidget* MonitorDiskTab::makeMiddle(QWidget* parent) { return emptyContent(parent); }
QWidget* MonitorDiskTab::makeBody(QWidget* parent) { return emptyContent(parent); }
QWidget* MonitorDiskTab::makeDetail(DetailPart, std::function<void()>, QWidget* parent) { return emptyContent(parent); }
