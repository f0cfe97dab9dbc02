#include "Source/Features/Toolbox/JSONNode.h"
#include "ToolboxTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<JSONNode> rootOf(const QString& text) {
    return std::make_unique<JSONNode>(succeeded(JSONTool::parse(text)));
}

QStringList keysOf(const JSONNode& node) {
    QStringList keys;
    for (const JSONNode* child : *node.children()) keys << child->key().value_or(QStringLiteral("<none>"));
    return keys;
}

}  // namespace

TEST(JSONNode, DescribesEveryKindOfValue) {
    struct Case {
        QString text;
        QString display;
        QString type;
        bool container;
        qint64 count;
    };
    const Case cases[] = {
        {QStringLiteral("42"), QStringLiteral("42"), QStringLiteral("number"), false, 0},
        {QStringLiteral("1.5"), QStringLiteral("1.5"), QStringLiteral("number"), false, 0},
        {QStringLiteral("1.0"), QStringLiteral("1"), QStringLiteral("number"), false, 0},
        {QStringLiteral("-7"), QStringLiteral("-7"), QStringLiteral("number"), false, 0},
        {QStringLiteral("1e300"), QStringLiteral("1e+300"), QStringLiteral("number"), false, 0},
        {QStringLiteral("1E2"), QStringLiteral("100"), QStringLiteral("number"), false, 0},
        {QStringLiteral("5.10"), QStringLiteral("5.1"), QStringLiteral("number"), false, 0},
        {QStringLiteral("-0"), QStringLiteral("0"), QStringLiteral("number"), false, 0},
        {QStringLiteral("18446744073709551615"), QStringLiteral("18446744073709551615"), QStringLiteral("number"),
         false, 0},
        // Where the plain spelling would name another number, the number as written.
        {QStringLiteral("18446744073709551616"), QStringLiteral("18446744073709551616"), QStringLiteral("number"),
         false, 0},
        {QStringLiteral("-123456789012345678901234567890"), QStringLiteral("-123456789012345678901234567890"),
         QStringLiteral("number"), false, 0},
        {QStringLiteral("0.1000000000000000055511151231257827"), QStringLiteral("0.1000000000000000055511151231257827"),
         QStringLiteral("number"), false, 0},
        {QStringLiteral("1E-400"), QStringLiteral("1E-400"), QStringLiteral("number"), false, 0},
        {QStringLiteral("1E400"), QStringLiteral("1E400"), QStringLiteral("number"), false, 0},
        {QStringLiteral("-1e309"), QStringLiteral("-1e309"), QStringLiteral("number"), false, 0},
        {QStringLiteral("1") + QString(309, u'0'), QStringLiteral("1") + QString(309, u'0'), QStringLiteral("number"),
         false, 0},
        {QStringLiteral("true"), QStringLiteral("true"), QStringLiteral("bool"), false, 0},
        {QStringLiteral("false"), QStringLiteral("false"), QStringLiteral("bool"), false, 0},
        {QStringLiteral("null"), QStringLiteral("null"), QStringLiteral("null"), false, 0},
        {QStringLiteral(R"("say \"hi\"\nnow")"), QStringLiteral("\"say \"hi\"\nnow\""), QStringLiteral("string"), false,
         0},
        {QStringLiteral("{}"), QStringLiteral("{ 0 }"), QStringLiteral("object"), true, 0},
        {QStringLiteral(R"({"a":1,"b":[],"c":{}})"), QStringLiteral("{ 3 }"), QStringLiteral("object"), true, 3},
        {QStringLiteral("[]"), QStringLiteral("[ 0 ]"), QStringLiteral("array"), true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        JSONNode node(succeeded(JSONTool::parse(c.text)));
        EXPECT_FALSE(node.key().has_value());
        EXPECT_EQ(node.depth(), 0);
        EXPECT_EQ(node.displayValue(), c.display);
        EXPECT_EQ(node.typeName(), c.type);
        EXPECT_EQ(node.isContainer(), c.container);
        EXPECT_EQ(node.childCount(), c.count);
        node.loadChildrenIfNeeded();
        // Scalars never get children; containers get a list, empty for an empty one.
        EXPECT_EQ(node.children().has_value(), c.container);
        if (c.container) {
            EXPECT_EQ(node.children()->size(), c.count);
        }
    }
    // A large container counts its members before any child is built.
    QString large = QStringLiteral("[");
    for (int i = 0; i < 12000; ++i) large += i ? QStringLiteral(",0") : QStringLiteral("0");
    auto root = rootOf(large + u']');
    EXPECT_EQ(root->displayValue(), QStringLiteral("[ 12000 ]"));
    EXPECT_FALSE(root->children().has_value());
    // Open, it makes a child node only when that child is asked for.
    root->loadChildrenIfNeeded();
    EXPECT_EQ(root->children()->size(), 12000);
    EXPECT_EQ(root->children()->made(), 0);
    EXPECT_EQ(root->children()->at(11999)->key(), QStringLiteral("11999"));
    EXPECT_EQ(root->children()->at(11999), root->children()->at(11999));
    EXPECT_EQ(root->children()->made(), 1);
}

TEST(JSONNode, ChildrenComeOneLevelAtATimeInDisplayOrder) {
    auto object = rootOf(QStringLiteral(R"({"b":1,"B":2,"a":3,"10":4,"9":5})"));
    EXPECT_FALSE(object->children().has_value());
    object->loadChildrenIfNeeded();
    EXPECT_EQ(keysOf(*object), (QStringList{"10", "9", "B", "a", "b"}));
    EXPECT_EQ(object->children()->at(3)->displayValue(), QStringLiteral("3"));

    // Member names sort by the code points of their NFC form.
    auto names = rootOf(QStringLiteral("{\"f\":0,\"e\u0301\":0,\"d\":0,\"\U0001F600\":0,\"\uFFFD\":0}"));
    names->loadChildrenIfNeeded();
    EXPECT_EQ(keysOf(*names), (QStringList{"d", "f", "e\u0301", "\uFFFD", "\U0001F600"}));
    // A document put in order ahead (off the GUI thread) lists the same, at every level.
    JSONValue document = succeeded(JSONTool::parse(
        QStringLiteral("{\"f\":0,\"e\u0301\":0,\"d\":[{\"y\":1,\"x\":2}],\"\U0001F600\":0,\"\uFFFD\":0}")));
    JSONNode::arrange(document);
    JSONNode arranged(std::move(document), true);
    arranged.loadChildrenIfNeeded();
    EXPECT_EQ(keysOf(arranged), (QStringList{"d", "f", "e\u0301", "\uFFFD", "\U0001F600"}));
    JSONNode* inner = arranged.children()->at(0);
    inner->loadChildrenIfNeeded();
    inner->children()->at(0)->loadChildrenIfNeeded();
    EXPECT_EQ(keysOf(*inner->children()->at(0)), (QStringList{"x", "y"}));

    auto array = rootOf(QStringLiteral(R"([{"x":[true]},"s",null])"));
    array->loadChildrenIfNeeded();
    EXPECT_EQ(keysOf(*array), (QStringList{"0", "1", "2"}));
    JSONNode* first = array->children()->at(0);
    EXPECT_EQ(first->depth(), 1);
    EXPECT_EQ(first->displayValue(), QStringLiteral("{ 1 }"));
    EXPECT_FALSE(first->children().has_value());
    first->loadChildrenIfNeeded();
    JSONNode* x = first->children()->at(0);
    EXPECT_EQ(x->key(), QStringLiteral("x"));
    EXPECT_EQ(x->depth(), 2);
    x->loadChildrenIfNeeded();
    EXPECT_EQ(x->children()->at(0)->depth(), 3);
    EXPECT_EQ(x->children()->at(0)->typeName(), QStringLiteral("bool"));
}

TEST(JSONNode, BuildsChildrenOnceAndTellsObserversOnce) {
    auto root = rootOf(QStringLiteral(R"({"a":[1,2],"b":"t"})"));
    QSignalSpy spy(root.get(), &JSONNode::childrenChanged);
    root->loadChildrenIfNeeded();
    const QList<JSONNode*> first{root->children()->at(0), root->children()->at(1)};
    root->loadChildrenIfNeeded();
    EXPECT_EQ((QList<JSONNode*>{root->children()->at(0), root->children()->at(1)}), first);
    EXPECT_EQ(spy.count(), 1);

    // A scalar child never announces children.
    JSONNode* b = first.at(1);
    QSignalSpy scalarSpy(b, &JSONNode::childrenChanged);
    b->loadChildrenIfNeeded();
    EXPECT_EQ(scalarSpy.count(), 0);
    EXPECT_EQ(b->displayValue(), QStringLiteral("\"t\""));
}

TEST(JSONNode, NodesOutliveTheValueTheyWereMadeFrom) {
    std::unique_ptr<JSONNode> root;
    {
        JSONValue value = succeeded(JSONTool::parse(QStringLiteral(R"({"list":[{"deep":"yes"}]})")));
        root = std::make_unique<JSONNode>(std::move(value));
    }
    root->loadChildrenIfNeeded();
    JSONNode* list = root->children()->at(0);
    list->loadChildrenIfNeeded();
    list->children()->at(0)->loadChildrenIfNeeded();
    EXPECT_EQ(list->children()->at(0)->children()->at(0)->displayValue(), QStringLiteral("\"yes\""));
}
