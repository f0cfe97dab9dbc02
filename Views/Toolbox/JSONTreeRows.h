#pragma once

#include "Source/Features/Toolbox/JSONNode.h"

#include <QAbstractListModel>
#include <QSet>

#include <memory>
#include <optional>
#include <vector>

// The rows of the JSON tree as a flat list: the root, then, depth first, the children of every open
// node whose children are built. Opening and closing a node inserts or removes just its rows, so a
// list view over it keeps up with large documents. A row is a child's place in its parent: its node is
// made only when the row is drawn or used, and the list view measures rows without one. The nodes a
// closed node had open stay open for the next time. Owns the tree. GUI thread only.
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

    // What a row shows, without making its node.
    struct Description {
        std::optional<QString> key;
        const JSONValue* value = nullptr;
        qint64 depth = 0;
    };
    std::optional<Description> describe(int row) const;

    // The node of a row, made if it was not yet.
    JSONNode* node(int row) const;
    JSONNode* node(const QModelIndex& index) const { return index.isValid() ? node(index.row()) : nullptr; }
    int rowOf(const JSONNode* node) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void expandedChanged();

private:
    // A row: the child at index of parent, or the root where parent is null.
    struct Place {
        JSONNode* parent;
        qsizetype index;
        qint64 depth() const { return parent ? parent->depth() + 1 : 0; }
    };
    static void appendOpen(std::vector<Place>& out, JSONNode* node, const QSet<const JSONNode*>& expanded);
    static std::vector<Place> places(JSONNode* root, const QSet<const JSONNode*>& expanded);

    std::unique_ptr<JSONNode> root_;
    QSet<const JSONNode*> expanded_;
    std::vector<Place> rows_;
};
