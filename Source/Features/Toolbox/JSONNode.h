#pragma once

#include "Source/Features/Toolbox/JSONTool.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// One node of the JSON tree: a value of a parsed document, the key it stands under in its parent
// and its depth. Children are built one level at a time, when the node is first opened. The nodes of
// one tree share the document; a node is the same node only as the same object. Main thread only.
class JSONNode : public QObject {
    Q_OBJECT

public:
    // The root of a tree: no key, depth 0.
    explicit JSONNode(JSONValue document, QObject* parent = nullptr);
    JSONNode(std::optional<QString> key, JSONValue value, qint64 depth, QObject* parent = nullptr);

    const std::optional<QString>& key() const { return key_; }
    const JSONValue& value() const { return *value_; }
    qint64 depth() const { return depth_; }

    bool isContainer() const;
    // Members or elements of a container (0 otherwise), known before the children are built.
    qint64 childCount() const;
    // "null", "true", the string between double quotes (nothing escaped), the number, { 3 } or [ 0 ].
    QString displayValue() const;
    // "null", "bool", "string", "number", "object", "array" or "?".
    QString typeName() const;

    // Absent until built, then the child nodes in display order: object members by key (code points of the
    // NFC form), array elements in order. Owned by this node.
    const std::optional<QList<JSONNode*>>& children() const { return children_; }
    void loadChildrenIfNeeded();

signals:
    void childrenChanged();

private:
    JSONNode(std::optional<QString> key, std::shared_ptr<const JSONValue> document, const JSONValue* value,
             qint64 depth, QObject* parent);

    std::optional<QString> key_;
    std::shared_ptr<const JSONValue> document_;
    const JSONValue* value_;
    qint64 depth_;
    std::optional<QList<JSONNode*>> children_;
};
