#include "Source/Features/System/ProcessHistory.h"

#include <QHashFunctions>

#include <cstdlib>

namespace {

// Counted in full even where the text is shared with the live list.
size_t textBytes(const QString& s) { return size_t(s.capacity()) * sizeof(QChar); }
size_t textBytes(const std::optional<QString>& s) { return s ? textBytes(*s) : 0; }

size_t hashOf(const AppProcessInfo& p) {
    return qHashMulti(0, p.pid, p.name, p.processName, p.startDate ? p.startDate->toMSecsSinceEpoch() : -1);
}

size_t bytesOf(const AppProcessInfo& p) {
    return textBytes(p.name) + textBytes(p.processName) + textBytes(p.bundlePath) + textBytes(p.bundleID);
}

}  // namespace

// MARK: shared values

template <typename T>
uint32_t ProcessHistory::SharedTable<T>::retain(const T& value, size_t hash) {
    auto [first, last] = index_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        Slot& slot = slots_[it->second];
        if (slot.value == value) {
            ++slot.uses;
            return it->second;
        }
    }
    uint32_t id;
    if (!free_.empty()) {
        id = free_.back();
        free_.pop_back();
    } else {
        id = uint32_t(slots_.size());
        slots_.emplace_back();
    }
    slots_[id] = Slot{value, 1, hash};
    index_.emplace(hash, id);
    return id;
}

template <typename T>
void ProcessHistory::SharedTable<T>::release(uint32_t id) {
    Slot& slot = slots_[id];
    if (--slot.uses > 0) return;
    auto [first, last] = index_.equal_range(slot.hash);
    for (auto it = first; it != last; ++it) {
        if (it->second != id) continue;
        index_.erase(it);
        break;
    }
    slot.value = T{};
    free_.push_back(id);
}

template <typename T>
size_t ProcessHistory::SharedTable<T>::bytesHeld() const {
    size_t bytes = slots_.capacity() * sizeof(Slot) + free_.capacity() * sizeof(uint32_t) +
                   index_.bucket_count() * sizeof(void*) + index_.size() * (sizeof(void*) + 2 * sizeof(size_t));
    for (const Slot& slot : slots_) {
        if (slot.uses == 0) continue;
        if constexpr (std::is_same_v<T, AppProcessInfo>) bytes += bytesOf(slot.value);
        else bytes += textBytes(slot.value.name) + textBytes(slot.value.bundlePath);
    }
    return bytes;
}

template <typename T>
void ProcessHistory::SharedTable<T>::clear() {
    // Fresh containers: clearing would keep their storage.
    std::vector<Slot>().swap(slots_);
    std::vector<uint32_t>().swap(free_);
    std::unordered_multimap<size_t, uint32_t>().swap(index_);
}

// MARK: refreshes

void ProcessHistory::append(const QDateTime& at, const std::vector<GroupedProcessInfo>& groups) {
    if (capacity_ == 0) return;
    while (snapshots_.size() >= capacity_) {
        release(snapshots_.front());
        snapshots_.pop_front();
    }
    Snapshot snapshot;
    snapshot.at = at;
    size_t children = 0;
    for (const GroupedProcessInfo& g : groups) children += g.children.size();
    snapshot.groups.reserve(groups.size());
    snapshot.children.reserve(children);
    for (const GroupedProcessInfo& g : groups) {
        GroupIdentity identity{g.name, g.bundlePath};
        const uint32_t id = groups_.retain(identity, qHash(g.name));
        snapshot.groups.push_back(Group{id, int32_t(g.count), uint32_t(g.children.size()), g.totalCPU, g.totalMemory});
        for (const AppProcessInfo& p : g.children) {
            AppProcessInfo process = p;
            process.cpuUsage = 0;
            process.memoryBytes = 0;
            snapshot.children.push_back(
                Child{processes_.retain(process, hashOf(process)), float(p.cpuUsage), p.memoryBytes});
        }
    }
    snapshots_.push_back(std::move(snapshot));
}

void ProcessHistory::release(const Snapshot& snapshot) {
    for (const Group& g : snapshot.groups) groups_.release(g.identity);
    for (const Child& c : snapshot.children) processes_.release(c.identity);
}

std::vector<GroupedProcessInfo> ProcessHistory::expand(const Snapshot& snapshot) const {
    std::vector<GroupedProcessInfo> out;
    out.reserve(snapshot.groups.size());
    size_t next = 0;
    for (const Group& g : snapshot.groups) {
        const GroupIdentity& identity = groups_[g.identity];
        GroupedProcessInfo group;
        group.name = identity.name;
        group.bundlePath = identity.bundlePath;
        group.totalCPU = g.totalCPU;
        group.totalMemory = g.totalMemory;
        group.count = g.count;
        group.children.reserve(g.childCount);
        for (uint32_t i = 0; i < g.childCount; ++i, ++next) {
            const Child& c = snapshot.children[next];
            AppProcessInfo process = processes_[c.identity];
            process.cpuUsage = double(c.cpuUsage);
            process.memoryBytes = c.memoryBytes;
            group.children.push_back(std::move(process));
        }
        out.push_back(std::move(group));
    }
    return out;
}

std::optional<std::vector<GroupedProcessInfo>> ProcessHistory::groupsClosestTo(const QDateTime& date) const {
    const Snapshot* best = nullptr;
    qint64 bestDistance = 0;
    const qint64 target = date.toMSecsSinceEpoch();
    for (const Snapshot& s : snapshots_) {
        const qint64 distance = std::abs(s.at.toMSecsSinceEpoch() - target);
        if (!best || distance < bestDistance) {
            best = &s;
            bestDistance = distance;
        }
    }
    if (!best) return std::nullopt;
    return expand(*best);
}

void ProcessHistory::clear() {
    std::deque<Snapshot>().swap(snapshots_);
    processes_.clear();
    groups_.clear();
}

size_t ProcessHistory::bytesHeld() const {
    size_t bytes = processes_.bytesHeld() + groups_.bytesHeld();
    for (const Snapshot& s : snapshots_)
        bytes += sizeof(Snapshot) + s.groups.capacity() * sizeof(Group) + s.children.capacity() * sizeof(Child);
    return bytes;
}
