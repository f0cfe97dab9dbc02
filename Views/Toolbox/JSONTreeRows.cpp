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
        rows_ = visibleRows(root_.get(), expanded_);
    }
    endResetModel();
    emit expandedChanged();
}

void JSONTreeRows::clear() { setRoot(nullptr); }

void JSONTreeRows::appendOpen(std::vector<JSONNode*>& out, JSONNode* node, const QSet<const JSONNode*>& expanded) {
    // An explicit stack: deep documents must not exhaust the thread's own.
    std::vector<std::pair<JSONNode*, qsizetype>> stack;
    if (!expanded.contains(node) || !node->children()) return;
    stack.emplace_back(node, 0);
    while (!stack.empty()) {
        auto& [parent, next] = stack.back();
        const QList<JSONNode*>& children = *parent->children();
        if (next >= children.size()) {
            stack.pop_back();
            continue;
        }
        JSONNode* child = children[next++];
        out.push_back(child);
        if (child->children() && expanded.contains(child)) stack.emplace_back(child, 0);
    }
}

std::vector<JSONNode*> JSONTreeRows::visibleRows(JSONNode* root, const QSet<const JSONNode*>& expanded) {
    std::vector<JSONNode*> rows;
    if (!root) return rows;
    rows.push_back(root);
    appendOpen(rows, root, expanded);
    return rows;
}

void JSONTreeRows::toggle(int row) {
    JSONNode* n = node(row);
    if (!n || !n->isContainer()) return;
    if (expanded_.contains(n)) {
        expanded_.remove(n);
        size_t end = size_t(row) + 1;
        while (end < rows_.size() && rows_[end]->depth() > n->depth()) ++end;
        if (end > size_t(row) + 1) {
            beginRemoveRows(QModelIndex(), row + 1, int(end) - 1);
            rows_.erase(rows_.begin() + row + 1, rows_.begin() + qsizetype(end));
            endRemoveRows();
        }
    } else {
        n->loadChildrenIfNeeded();
        expanded_.insert(n);
        std::vector<JSONNode*> added;
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
    rows_ = visibleRows(root_.get(), expanded_);
    endResetModel();
    emit expandedChanged();
}

int JSONTreeRows::rowOf(const JSONNode* n) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i] == n) return int(i);
    }
    return -1;
}

int JSONTreeRows::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

QModelIndex JSONTreeRows::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || row >= int(rows_.size())) return {};
    return createIndex(row, 0, rows_[size_t(row)]);
}

QVariant JSONTreeRows::data(const QModelIndex& index, int role) const {
    const JSONNode* n = node(index);
    if (!n) return {};
    switch (role) {
    case Qt::DisplayRole: return n->key() ? *n->key() + QStringLiteral(": ") + n->displayValue() : n->displayValue();
    case keyRole: return n->key() ? QVariant(*n->key()) : QVariant();
    case valueRole: return n->displayValue();
    case typeRole: return n->typeName();
    case depthRole: return n->depth();
    case expandedRole: return expanded_.contains(n);
    default: return {};
    }
}

Qt::ItemFlags JSONTreeRows::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}
