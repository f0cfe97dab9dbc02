#pragma once

#include <QHash>
#include <QImage>

#include <list>
#include <mutex>
#include <optional>
#include <utility>

// An in-memory image cache bounded by a count and a total cost; the least recently used entries
// leave first. Thread-safe.
template <typename Key>
class ImageCostCache {
public:
    ImageCostCache(int countLimit, qint64 totalCostLimit) : countLimit_(countLimit), totalCostLimit_(totalCostLimit) {}

    std::optional<QImage> object(const Key& key) {
        std::lock_guard lock(mutex_);
        auto it = index_.find(key);
        if (it == index_.end()) return std::nullopt;
        entries_.splice(entries_.begin(), entries_, it.value());
        return it.value()->image;
    }

    // Stores the image with its cost; an image costing more than the whole limit is not kept.
    void setObject(const Key& key, const QImage& image, qint64 cost) {
        std::lock_guard lock(mutex_);
        removeLocked(key);
        if (cost > totalCostLimit_) return;
        entries_.push_front(Entry{key, image, cost});
        index_.insert(key, entries_.begin());
        totalCost_ += cost;
        while (!entries_.empty() && (int(entries_.size()) > countLimit_ || totalCost_ > totalCostLimit_)) {
            index_.remove(entries_.back().key);
            totalCost_ -= entries_.back().cost;
            entries_.pop_back();
        }
    }

    void removeAllObjects() {
        std::lock_guard lock(mutex_);
        entries_.clear();
        index_.clear();
        totalCost_ = 0;
    }

    int count() const {
        std::lock_guard lock(mutex_);
        return int(entries_.size());
    }
    qint64 totalCost() const {
        std::lock_guard lock(mutex_);
        return totalCost_;
    }
    int countLimit() const { return countLimit_; }
    qint64 totalCostLimit() const { return totalCostLimit_; }

private:
    struct Entry {
        Key key;
        QImage image;
        qint64 cost;
    };
    void removeLocked(const Key& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return;
        totalCost_ -= it.value()->cost;
        entries_.erase(it.value());
        index_.erase(it);
    }

    const int countLimit_;
    const qint64 totalCostLimit_;
    mutable std::mutex mutex_;
    std::list<Entry> entries_;
    QHash<Key, typename std::list<Entry>::iterator> index_;
    qint64 totalCost_ = 0;
};
