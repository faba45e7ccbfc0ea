#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTreeView;

// One line of the configuration: a text and its ordered children.
struct ConfigNode {
    QString text;
    ConfigNode* parent = nullptr;
    std::vector<std::unique_ptr<ConfigNode>> children;

    int row() const;
    int childCount() const { return int(children.size()); }
    ConfigNode* child(int i) const {
        return i >= 0 && i < childCount() ? children[size_t(i)].get() : nullptr;
    }
    ConfigNode* nextSibling() const;
};

// What a node text may hold: the in-place editor takes what typedtext (TypedText.h) allows in a tree
// node, and stores it exactly as typed.
namespace nodetext {
// What the tree view shows of a text: a very long one is cut short, so that painting stays quick.
QString shown(const QString& text);
} // namespace nodetext

// The word-sort order of the configuration tree: letter case ignored except as a final tie-break,
// blanks and punctuation before digits before letters, hyphen and apostrophe ignored except as a
// tie-break.
bool wordSortLess(const QString& a, const QString& b);
int wordSortCompare(const QString& a, const QString& b);

// The network configuration: the only copy, shown by the main window's tree view. Nodes are found
// by position and fixed text (see Positional.h), never by stored identifiers.
class ConfigTree : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit ConfigTree(QObject* parent = nullptr);
    ~ConfigTree() override;

    // Roots in order; the first is the communication settings group.
    int rootCount() const { return root.childCount(); }
    ConfigNode* rootAt(int i) const { return root.child(i); }
    ConfigNode* firstRoot() const { return root.child(0); }
    const ConfigNode& invisibleRoot() const { return root; }

    void clear();
    ConfigNode* appendRoot(const QString& text);
    ConfigNode* appendChild(ConfigNode* parent, const QString& text);
    void removeNode(ConfigNode* node);
    void removeChildren(ConfigNode* node);
    // Makes the node's children hold exactly these texts, in this order and without their own
    // children, keeping the nodes that are already there (so a view keeps their state): texts are
    // replaced in place, missing rows appended, extra rows removed. Nothing is sorted.
    void setChildTexts(ConfigNode* parent, const QStringList& texts);
    // Replaces the text and re-sorts the node's siblings.
    void setText(ConfigNode* node, const QString& text);
    // Every level, ascending by wordSortLess; stable for equal texts.
    void sortAll();
    void sortChildren(ConfigNode* parent);

    // The start-up content: the settings group with COM1,RS232,9600, prefix # and separator Tab.
    void resetToStartup();

    // Depth-first pre-order: a node, then its children each followed by its descendants.
    template <typename F> void forEachDepthFirst(F&& visit) const { walk(root, -1, visit); }
    // The node after this one in depth-first pre-order, or null.
    ConfigNode* nextDepthFirst(const ConfigNode* node) const;
    int nodeCount() const;

    QModelIndex indexOf(const ConfigNode* node) const;
    ConfigNode* nodeAt(const QModelIndex& index) const;

    // Model interface for the tree view; in-place editing stores the typed text exactly as typed
    // (refusing what typedtext refuses in a tree node) and re-sorts the siblings.
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Bulk loading: callers that append many nodes wrap them in begin/endBulkChange so the view is
    // reset once instead of told about every row.
    void beginBulkChange();
    void endBulkChange();

private:
    template <typename F> static void walk(const ConfigNode& node, int depth, F& visit) {
        if (depth >= 0)
            visit(const_cast<ConfigNode&>(node), depth);
        for (const auto& c : node.children)
            walk(*c, depth + 1, visit);
    }
    ConfigNode* append(ConfigNode* parent, const QString& text);
    void sortRecursive(ConfigNode* parent, bool recurse);
    void sortKeepingIndexes(ConfigNode* parent, bool recurse);

    ConfigNode root;
    int bulkDepth = 0;
};

// Gives the tree view its look and behaviour: connecting lines and expand buttons down to the roots,
// a 19-pixel indent, the node under the mouse highlighted, and in-place editing of the selected node
// (F2 or a click on it; Enter confirms, Escape cancels). The editor refuses characters outside Latin-1,
// control characters and a leading blank as they are typed, saying why; a very long text is shown cut
// short, and stays whole in the tree.
void setUpConfigView(QTreeView* view, ConfigTree* tree);
