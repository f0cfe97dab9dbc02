#pragma once

#include "Source/Features/System/GroupedProcessInfo.h"

#include <QDateTime>

#include <cstdint>
#include <deque>
#include <optional>
#include <unordered_map>
#include <vector>

// The process lists of the last refreshes, kept compact: what stays the same from one refresh to
// the next (a process's names, paths and start time; a group's name and path) is stored once and
// shared by every refresh that holds it, so each refresh keeps only its figures and references.
// Not thread-safe.
class ProcessHistory {
public:
    explicit ProcessHistory(size_t capacity) : capacity_(capacity) {}

    // Stores one refresh, dropping the oldest beyond the capacity.
    void append(const QDateTime& at, const std::vector<GroupedProcessInfo>& groups);
    // The groups of the refresh stored nearest in time to date, the earlier one on a tie; none while empty.
    std::optional<std::vector<GroupedProcessInfo>> groupsClosestTo(const QDateTime& date) const;
    // Drops every refresh and gives back the storage.
    void clear();

    size_t size() const { return snapshots_.size(); }
    bool empty() const { return snapshots_.empty(); }
    size_t capacity() const { return capacity_; }
    // Distinct processes and groups referred to by the stored refreshes.
    size_t processCount() const { return processes_.size(); }
    size_t groupCount() const { return groups_.size(); }
    // Heap bytes held, approximately.
    size_t bytesHeld() const;

private:
    struct GroupIdentity {
        QString name;
        std::optional<QString> bundlePath;
        bool operator==(const GroupIdentity&) const = default;
    };

    // Values stored once, each with the number of references to it; a value no longer referred
    // to is freed and its slot reused.
    template <typename T>
    class SharedTable {
    public:
        uint32_t retain(const T& value, size_t hash);
        void release(uint32_t id);
        const T& operator[](uint32_t id) const { return slots_[id].value; }
        size_t size() const { return index_.size(); }
        size_t bytesHeld() const;
        void clear();

    private:
        struct Slot {
            T value;
            uint32_t uses = 0;
            size_t hash = 0;
        };
        std::vector<Slot> slots_;
        std::vector<uint32_t> free_;
        std::unordered_multimap<size_t, uint32_t> index_;
    };

    struct Group {
        uint32_t identity;
        int32_t count;
        uint32_t childCount;
        double totalCPU;
        uint64_t totalMemory;
    };
    // Sixteen bytes for each process of each refresh: the share as a float (seven digits, where
    // the list shows three).
    struct Child {
        uint32_t identity;
        float cpuUsage;
        uint64_t memoryBytes;
    };
    static_assert(sizeof(Child) == 16);
    struct Snapshot {
        QDateTime at;
        std::vector<Group> groups;
        std::vector<Child> children;  // the children of each group in turn
    };

    void release(const Snapshot& snapshot);
    std::vector<GroupedProcessInfo> expand(const Snapshot& snapshot) const;

    size_t capacity_;
    std::deque<Snapshot> snapshots_;
    SharedTable<AppProcessInfo> processes_;  // figures zeroed
    SharedTable<GroupIdentity> groups_;
};
