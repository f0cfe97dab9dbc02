#include "Views/Toolbox/JSONTreeRows.h"

JSONTreeRows::JSONTreeRows(QObject* parent) : QAbstractListModel(parent) {}

JSONTreeRows::~JSONTreeRows() = default;

void JSONTreeRows::setRoot(std::unique_ptr<JSONNode> root) {
    beginResetModel();
    rows_.clear();
    expanded_.clear();
    root_ = std::move(root);
    if (root_) {
        root_->loadChildrenIfNeeded();
        expanded_.insert(root_.get());
        rows_ = places(root_.get(), expanded_);
    }
    endResetModel();
    emit expandedChanged();
}

void JSONTreeRows::clear() { setRoot(nullptr); }

void JSONTreeRows::appendOpen(std::vector<Place>& out, JSONNode* node, const QSet<const JSONNode*>& expanded) {
    // An explicit stack: deep documents must not exhaust the thread's own. Only children that have been
    // made can be open, so each level adds its other rows as one run.
    struct Level {
        JSONNode* parent;
        qsizetype next;
        std::vector<JSONNode*> open;  // made and open, by index
        size_t nextOpen = 0;
    };
    const auto level = [&expanded](JSONNode* parent) {
        Level l{parent, 0, {}};
        for (JSONNode* child : parent->children()->madeNodes()) {
            if (child->children() && expanded.contains(child)) l.open.push_back(child);
        }
        return l;
    };
    if (!expanded.contains(node) || !node->children()) return;
    std::vector<Level> stack;
    stack.push_back(level(node));
    while (!stack.empty()) {
        Level& top = stack.back();
        const qsizetype count = top.parent->children()->size();
        const qsizetype runEnd = top.nextOpen < top.open.size() ? top.open[top.nextOpen]->index() + 1 : count;
        for (; top.next < runEnd; ++top.next) out.push_back({top.parent, top.next});
        if (top.nextOpen < top.open.size()) {
            JSONNode* child = top.open[top.nextOpen++];
            stack.push_back(level(child));  // invalidates top
        } else {
            stack.pop_back();
        }
    }
}

std::vector<JSONTreeRows::Place> JSONTreeRows::places(JSONNode* root, const QSet<const JSONNode*>& expanded) {
    std::vector<Place> rows;
    if (!root) return rows;
    rows.push_back({nullptr, 0});
    appendOpen(rows, root, expanded);
    return rows;
}

std::vector<JSONNode*> JSONTreeRows::visibleRows(JSONNode* root, const QSet<const JSONNode*>& expanded) {
    std::vector<JSONNode*> rows;
    for (const Place& place : places(root, expanded)) {
        rows.push_back(place.parent ? place.parent->children()->at(place.index) : root);
    }
    return rows;
}

JSONNode* JSONTreeRows::node(int row) const {
    if (row < 0 || row >= int(rows_.size())) return nullptr;
    const Place& place = rows_[size_t(row)];
    return place.parent ? place.parent->children()->at(place.index) : root_.get();
}

std::optional<JSONTreeRows::Description> JSONTreeRows::describe(int row) const {
    if (row < 0 || row >= int(rows_.size())) return std::nullopt;
    const Place& place = rows_[size_t(row)];
    if (!place.parent) return Description{std::nullopt, &root_->value(), 0};
    const JSONNode::Children& children = *place.parent->children();
    if (const JSONNode* made = children.existing(place.index))
        return Description{made->key(), &made->value(), made->depth()};
    return Description{children.keyAt(place.index), &children.valueAt(place.index), place.depth()};
}

void JSONTreeRows::toggle(int row) {
    JSONNode* n = node(row);
    if (!n || !n->isContainer()) return;
    if (expanded_.contains(n)) {
        expanded_.remove(n);
        size_t end = size_t(row) + 1;
        while (end < rows_.size() && rows_[end].depth() > n->depth()) ++end;
        if (end > size_t(row) + 1) {
            beginRemoveRows(QModelIndex(), row + 1, int(end) - 1);
            rows_.erase(rows_.begin() + row + 1, rows_.begin() + qsizetype(end));
            endRemoveRows();
        }
    } else {
        n->loadChildrenIfNeeded();
        expanded_.insert(n);
        std::vector<Place> added;
        appendOpen(added, n, expanded_);
        if (!added.empty()) {
            beginInsertRows(QModelIndex(), row + 1, row + int(added.size()));
            rows_.insert(rows_.begin() + row + 1, added.begin(), added.end());
            endInsertRows();
        }
    }
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {expandedRole});
    emit expandedChanged();
}

void JSONTreeRows::collapseAll() { setExpanded({}); }

void JSONTreeRows::setExpanded(QSet<const JSONNode*> expanded) {
    beginResetModel();
    expanded_ = std::move(expanded);
    rows_ = places(root_.get(), expanded_);
    endResetModel();
    emit expandedChanged();
}

int JSONTreeRows::rowOf(const JSONNode* n) const {
    if (!n) return -1;
    const auto* parent = qobject_cast<const JSONNode*>(n->parent());
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].parent == parent && (!parent || rows_[i].index == n->index())) return int(i);
    }
    return -1;
}

int JSONTreeRows::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

QModelIndex JSONTreeRows::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || row >= int(rows_.size())) return {};
    return createIndex(row, 0);
}

QVariant JSONTreeRows::data(const QModelIndex& index, int role) const {
    const std::optional<Description> row = index.isValid() ? describe(index.row()) : std::nullopt;
    if (!row) return {};
    switch (role) {
    case Qt::DisplayRole: {
        const QString value = JSONNode::displayValue(*row->value);
        return row->key ? *row->key + QStringLiteral(": ") + value : value;
    }
    case keyRole: return row->key ? QVariant(*row->key) : QVariant();
    case valueRole: return JSONNode::displayValue(*row->value);
    case typeRole: return JSONNode::typeName(*row->value);
    case depthRole: return row->depth;
    case expandedRole: {
        const Place& place = rows_[size_t(index.row())];
        const JSONNode* made = place.parent ? place.parent->children()->existing(place.index) : root_.get();
        return made && expanded_.contains(made);
    }
    default: return {};
    }
}

Qt::ItemFlags JSONTreeRows::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}
