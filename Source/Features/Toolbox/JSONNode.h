#pragma once

#include "Source/Features/Toolbox/JSONTool.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

// One node of the JSON tree: a value of a parsed document, the key it stands under in its parent
// and its depth. Children are built one level at a time, when the node is first opened, and each child
// node is made when it is first asked for, so an open node of a million members costs only the rows
// that are looked at. The nodes of one tree share the document; a node is the same node only as the
// same object. Main thread only.
class JSONNode : public QObject {
    Q_OBJECT

public:
    // The children of an open node, in display order. A child node is made on first use and then kept.
    class Children {
    public:
        qsizetype size() const { return count_; }
        bool isEmpty() const { return count_ == 0; }
        JSONNode* at(qsizetype i) const;
        JSONNode* operator[](qsizetype i) const { return at(i); }
        JSONNode* first() const { return at(0); }
        // The child at i if it has been made, without making it.
        JSONNode* existing(qsizetype i) const;
        // How many child nodes have been made, and those nodes by index.
        qsizetype made() const { return qsizetype(made_.size()); }
        const std::vector<JSONNode*>& madeNodes() const { return made_; }
        // The child's key and value, without making it.
        QString keyAt(qsizetype i) const;
        const JSONValue& valueAt(qsizetype i) const;

        class const_iterator {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = JSONNode*;
            using difference_type = qsizetype;
            using pointer = JSONNode* const*;
            using reference = JSONNode*;
            const_iterator(const Children* children, qsizetype i) : children_(children), i_(i) {}
            JSONNode* operator*() const { return children_->at(i_); }
            const_iterator& operator++() { return ++i_, *this; }
            bool operator==(const const_iterator& other) const { return i_ == other.i_; }

        private:
            const Children* children_;
            qsizetype i_;
        };
        const_iterator begin() const { return {this, 0}; }
        const_iterator end() const { return {this, count_}; }

    private:
        friend class JSONNode;
        explicit Children(JSONNode* owner);
        qsizetype memberIndex(qsizetype i) const { return order_.empty() ? i : qsizetype(order_[size_t(i)]); }

        JSONNode* owner_;
        qsizetype count_ = 0;
        std::vector<std::uint32_t> order_;  // an object's members by name, unless the document is arranged
        // Rows are mostly drawn in order, so a new node mostly goes at the end.
        mutable std::vector<JSONNode*> made_;
    };

    // The root of a tree: no key, depth 0. An arranged document (see arrange) has its members in display
    // order already.
    explicit JSONNode(JSONValue document, QObject* parent = nullptr);
    JSONNode(JSONValue document, bool arranged, QObject* parent = nullptr);
    JSONNode(std::optional<QString> key, JSONValue value, qint64 depth, QObject* parent = nullptr);

    // Puts the members of every object of a document in display order, so that opening a large object
    // sorts nothing on the GUI thread. For a background thread, before the root is made.
    static void arrange(JSONValue& document);

    const std::optional<QString>& key() const { return key_; }
    const JSONValue& value() const { return *value_; }
    qint64 depth() const { return depth_; }

    bool isContainer() const;
    // Members or elements of a container (0 otherwise), known before the children are built.
    qint64 childCount() const;
    // "null", "true", the string between double quotes (nothing escaped), the number, { 3 } or [ 0 ].
    QString displayValue() const { return displayValue(*value_); }
    // "null", "bool", "string", "number", "object", "array" or "?".
    QString typeName() const { return typeName(*value_); }
    // The same for any value, without a node.
    static bool isContainer(const JSONValue& value) { return value.is_object() || value.is_array(); }
    static QString displayValue(const JSONValue& value);
    static QString typeName(const JSONValue& value);
    // The node's place among its parent's children (0 for the root).
    qsizetype index() const { return index_; }

    // Absent until built, then the children in display order: object members by key (code points of the
    // NFC form), array elements in order. Owned by this node.
    const std::optional<Children>& children() const { return children_; }
    void loadChildrenIfNeeded();

signals:
    void childrenChanged();

private:
    JSONNode(std::optional<QString> key, std::shared_ptr<const JSONValue> document, bool arranged,
             const JSONValue* value, qint64 depth, qsizetype index, QObject* parent);

    std::optional<QString> key_;
    std::shared_ptr<const JSONValue> document_;
    bool arranged_ = false;
    const JSONValue* value_;
    qint64 depth_;
    qsizetype index_ = 0;
    std::optional<Children> children_;
};
