#include "Source/Features/System/SystemSampler.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/SystemSettings.h"

#include <QPointer>

SystemSampler& SystemSampler::shared() {
    static auto* sampler = new SystemSampler(QStringLiteral("/"), &MetricArchive::shared());
    return *sampler;
}

SystemSampler::SystemSampler(const QString& root, MetricArchive* archive, QObject* parent)
    : QObject(parent),
      archive_(archive),
      pass_(std::make_unique<SamplingPass>(root)),
      scratch_(std::make_unique<SamplingPass::Readings>()) {
    timer_.setParent(this);
    connect(&timer_, &QTimer::timeout, this, [this] { sample(false); });
    setSettings(SystemSettings::shared());
    for (auto* history : {&cpuHistory_, &cpuSystemHistory_, &gpuHistory_, &temperatureHistory_,
                          &gpuTemperatureHistory_})
        history->reserve(historyLength);
}

SystemSampler::~SystemSampler() { queue_.waitUntilIdle(); }

void SystemSampler::start() {
    if (timer_.isActive()) return;
    timer_.start(intervalMilliseconds());
    sample(true);
}

void SystemSampler::stop() { timer_.stop(); }

void SystemSampler::setSettings(SystemSettings& settings) {
    disconnect(settingsConnection_);
    settings_ = &settings;
    settingsConnection_ = connect(&settings.updateInterval, &SettingBase::changed, this, &SystemSampler::restartTimer);
    restartTimer();
}

int SystemSampler::intervalMilliseconds() const {
    return int(UpdateIntervals::rawValue(settings_->updateInterval.value()) * 1000);
}

void SystemSampler::restartTimer() {
    if (!timer_.isActive()) return;
    timer_.start(intervalMilliseconds());
}

void SystemSampler::sample(bool force) {
    if (inFlight_) {
        if (force) pendingForced_ = true;
        return;
    }
    inFlight_ = true;
    QPointer<SystemSampler> guard(this);
    SamplingPass* pass = pass_.get();
    // The readings travel in one buffer owned by the sampler: only one pass is ever in flight.
    SamplingPass::Readings* readings = scratch_.get();
    queue_.async([guard, pass, readings] {
        pass->run(*readings);
        Dispatch::main([guard, readings] {
            if (guard) guard->publish(*readings);
        });
    });
}

void SystemSampler::append(std::vector<double>& history, double value) {
    if (int(history.size()) >= historyLength) history.erase(history.begin(), history.end() - (historyLength - 1));
    history.push_back(value);
}

namespace {
template <typename T, typename Signal>
void update(SystemSampler* sampler, T& field, const T& value, Signal signal) {
    if (field == value) return;
    field = value;
    emit(sampler->*signal)();
}
}  // namespace

void SystemSampler::publish(const SamplingPass::Readings& r) {
    // inFlight_ stays set until the readings have been consumed: a slot that asks for a pass
    // meanwhile must not start one that overwrites them.
    ++passCount_;

    if (r.cpu >= 0) {
        update(this, cpu_, r.cpu, &SystemSampler::cpuChanged);
        append(cpuHistory_, r.cpu);
        emit cpuHistoryChanged();
    }
    if (r.cpuUser >= 0) update(this, cpuUser_, r.cpuUser, &SystemSampler::cpuUserChanged);
    if (r.cpuSystem >= 0) {
        update(this, cpuSystem_, r.cpuSystem, &SystemSampler::cpuSystemChanged);
        append(cpuSystemHistory_, r.cpuSystem);
        emit cpuSystemHistoryChanged();
    }
    if (r.coresRead) {
        update(this, cores_, r.cores, &SystemSampler::coresChanged);
        for (const CoreUsage& core : r.cores) {
            auto& history = coreHistory_[core.index];
            if (history.capacity() < size_t(historyLength)) history.reserve(historyLength);
            append(history, core.usage);
        }
        emit coreHistoryChanged();
    }
    if (r.memory >= 0) update(this, memory_, r.memory, &SystemSampler::memoryChanged);
    if (r.disk >= 0) update(this, disk_, r.disk, &SystemSampler::diskChanged);
    if (r.gpu >= 0) {
        update(this, gpu_, r.gpu, &SystemSampler::gpuChanged);
        append(gpuHistory_, r.gpu);
        emit gpuHistoryChanged();
    }
    // Sensors are read on every pass: a reading this pass did not get is gone, not kept.
    const auto hottest = [](const auto& t) { return t ? std::optional<double>(t->hottest) : std::nullopt; };
    const auto average = [](const auto& t) { return t ? std::optional<double>(t->average) : std::nullopt; };
    update(this, temperature_, hottest(r.cpuTemperature), &SystemSampler::temperatureChanged);
    update(this, temperatureAverage_, average(r.cpuTemperature), &SystemSampler::temperatureAverageChanged);
    if (r.cpuTemperature) {
        append(temperatureHistory_, r.cpuTemperature->hottest);
        emit temperatureHistoryChanged();
    }
    update(this, gpuTemperature_, hottest(r.gpuTemperature), &SystemSampler::gpuTemperatureChanged);
    update(this, gpuTemperatureAverage_, average(r.gpuTemperature), &SystemSampler::gpuTemperatureAverageChanged);
    if (r.gpuTemperature) {
        append(gpuTemperatureHistory_, r.gpuTemperature->hottest);
        emit gpuTemperatureHistoryChanged();
    }
    update(this, fans_, r.fans, &SystemSampler::fansChanged);
    if (!fans_.empty() || !fanHistory_.empty()) {
        fanHistory_.resize(fans_.size());
        for (size_t i = 0; i < fans_.size(); ++i) {
            if (fanHistory_[i].capacity() < size_t(historyLength)) fanHistory_[i].reserve(historyLength);
            append(fanHistory_[i], fans_[i].rpm);
        }
        emit fanHistoryChanged();
    }

    emit didSample();

    if (archive_ && cpu_ >= 0 && memory_ >= 0 && disk_ >= 0) {
        archive_->record(MetricSample{Clock::shared().now(), cpu_, memory_, disk_, temperature_});
    }

    inFlight_ = false;
    if (pendingForced_) {
        pendingForced_ = false;
        sample(false);
    }
}
