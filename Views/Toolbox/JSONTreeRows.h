#pragma once

#include "Source/Features/Toolbox/JSONNode.h"

#include <QAbstractListModel>
#include <QSet>

#include <memory>
#include <vector>

// The rows of the JSON tree as a flat list: the root, then, depth first, the children of every open
// node whose children are built. Opening and closing a node inserts or removes just its rows, so a
// list view over it keeps up with large documents. The nodes a closed node had open stay open for
// the next time. Owns the tree. GUI thread only.
class JSONTreeRows : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { keyRole = Qt::UserRole + 1, valueRole, typeRole, depthRole, expandedRole };

    explicit JSONTreeRows(QObject* parent = nullptr);
    ~JSONTreeRows() override;

    // A new tree, with only its root open (its children are built here).
    void setRoot(std::unique_ptr<JSONNode> root);
    void clear();
    JSONNode* root() const { return root_.get(); }

    const QSet<const JSONNode*>& expanded() const { return expanded_; }
    bool isExpanded(const JSONNode* node) const { return expanded_.contains(node); }
    // Opens (building its children) or closes the node at a row; other rows do nothing.
    void toggle(int row);
    // Closes every node: only the root row stays, closed.
    void collapseAll();
    // Opens exactly these nodes (their children must be built) and lists the rows afresh.
    void setExpanded(QSet<const JSONNode*> expanded);

    // The rows for a root and a set of open nodes, in order.
    static std::vector<JSONNode*> visibleRows(JSONNode* root, const QSet<const JSONNode*>& expanded);

    JSONNode* node(int row) const { return row >= 0 && row < int(rows_.size()) ? rows_[size_t(row)] : nullptr; }
    JSONNode* node(const QModelIndex& index) const { return index.isValid() ? node(index.row()) : nullptr; }
    int rowOf(const JSONNode* node) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void expandedChanged();

private:
    static void appendOpen(std::vector<JSONNode*>& out, JSONNode* node, const QSet<const JSONNode*>& expanded);

    std::unique_ptr<JSONNode> root_;
    QSet<const JSONNode*> expanded_;
    std::vector<JSONNode*> rows_;
};
