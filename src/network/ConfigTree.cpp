#include "ConfigTree.h"

#include <algorithm>

int ConfigNode::row() const {
    if (!parent)
        return 0;
    const auto& siblings = parent->children;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return int(i);
    return -1;
}

ConfigNode* ConfigNode::nextSibling() const {
    return parent ? parent->child(row() + 1) : nullptr;
}

namespace {

enum CharClass { Punctuation = 0, Digit = 1, Letter = 2 };

struct SortKey {
    int cls;
    int value;
};

bool ignoredInWordSort(QChar c) {
    return c == QLatin1Char('-') || c == QLatin1Char('\'');
}

SortKey primaryKey(QChar c) {
    if (c.isDigit())
        return {Digit, c.unicode()};
    if (c.isLetter()) {
        // Accented letters sort with their base letter; the accent only breaks ties.
        QChar base = c;
        const QString decomposition = c.decomposition();
        if (!decomposition.isEmpty() && decomposition.at(0).isLetter())
            base = decomposition.at(0);
        return {Letter, base.toLower().unicode()};
    }
    return {Punctuation, c.unicode()};
}

int comparePrimary(const QString& a, const QString& b) {
    int i = 0, j = 0;
    for (;;) {
        while (i < a.size() && ignoredInWordSort(a[i]))
            ++i;
        while (j < b.size() && ignoredInWordSort(b[j]))
            ++j;
        if (i == a.size() || j == b.size())
            return (i == a.size() ? 0 : 1) - (j == b.size() ? 0 : 1);
        const SortKey ka = primaryKey(a[i]);
        const SortKey kb = primaryKey(b[j]);
        if (ka.cls != kb.cls)
            return ka.cls < kb.cls ? -1 : 1;
        if (ka.value != kb.value)
            return ka.value < kb.value ? -1 : 1;
        ++i;
        ++j;
    }
}

// Ties: accents, then lower case before upper case at the first difference, then hyphens and
// apostrophes, then the raw character codes.
int compareTies(const QString& a, const QString& b) {
    const int n = int(qMin(a.size(), b.size()));
    for (int k = 0; k < n; ++k) {
        const QChar ca = a[k], cb = b[k];
        if (ca == cb)
            continue;
        if (ca.toLower() == cb.toLower())
            return ca.isLower() ? -1 : 1;
        break;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int raw = a.compare(b);
    return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

} // namespace

int wordSortCompare(const QString& a, const QString& b) {
    const int primary = comparePrimary(a, b);
    return primary != 0 ? primary : compareTies(a, b);
}

bool wordSortLess(const QString& a, const QString& b) {
    return wordSortCompare(a, b) < 0;
}

ConfigTree::ConfigTree(QObject* parent) : QAbstractItemModel(parent) {}

ConfigTree::~ConfigTree() = default;

void ConfigTree::clear() {
    beginResetModel();
    root.children.clear();
    endResetModel();
}

void ConfigTree::beginBulkChange() {
    if (bulkDepth++ == 0)
        beginResetModel();
}

void ConfigTree::endBulkChange() {
    if (bulkDepth > 0 && --bulkDepth == 0)
        endResetModel();
}

ConfigNode* ConfigTree::append(ConfigNode* parent, const QString& text) {
    ConfigNode* p = parent ? parent : &root;
    const int row = p->childCount();
    if (bulkDepth == 0)
        beginInsertRows(p == &root ? QModelIndex() : indexOf(p), row, row);
    auto node = std::make_unique<ConfigNode>();
    node->text = text;
    node->parent = p;
    ConfigNode* raw = node.get();
    p->children.push_back(std::move(node));
    if (bulkDepth == 0)
        endInsertRows();
    return raw;
}

ConfigNode* ConfigTree::appendRoot(const QString& text) {
    return append(&root, text);
}

ConfigNode* ConfigTree::appendChild(ConfigNode* parent, const QString& text) {
    return append(parent ? parent : &root, text);
}

void ConfigTree::removeNode(ConfigNode* node) {
    if (!node || node == &root || !node->parent)
        return;
    ConfigNode* p = node->parent;
    const int row = node->row();
    if (row < 0)
        return;
    if (bulkDepth == 0)
        beginRemoveRows(p == &root ? QModelIndex() : indexOf(p), row, row);
    p->children.erase(p->children.begin() + row);
    if (bulkDepth == 0)
        endRemoveRows();
}

void ConfigTree::removeChildren(ConfigNode* node) {
    if (!node || node->children.empty())
        return;
    if (bulkDepth == 0)
        beginRemoveRows(node == &root ? QModelIndex() : indexOf(node), 0, node->childCount() - 1);
    node->children.clear();
    if (bulkDepth == 0)
        endRemoveRows();
}

void ConfigTree::setText(ConfigNode* node, const QString& text) {
    if (!node || node == &root)
        return;
    node->text = text;
    const QModelIndex idx = indexOf(node);
    emit dataChanged(idx, idx);
    sortChildren(node->parent);
}

void ConfigTree::sortRecursive(ConfigNode* parent, bool recurse) {
    std::stable_sort(parent->children.begin(), parent->children.end(),
                     [](const auto& a, const auto& b) { return wordSortLess(a->text, b->text); });
    if (recurse)
        for (auto& c : parent->children)
            sortRecursive(c.get(), true);
}

void ConfigTree::sortChildren(ConfigNode* parent) {
    ConfigNode* p = parent ? parent : &root;
    if (bulkDepth > 0) {
        sortRecursive(p, false);
        return;
    }
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<ConfigNode*> nodes;
    nodes.reserve(size_t(before.size()));
    for (const QModelIndex& i : before)
        nodes.push_back(nodeAt(i));
    sortRecursive(p, false);
    QModelIndexList after;
    for (int k = 0; k < before.size(); ++k)
        after.append(nodes[size_t(k)]
                         ? createIndex(nodes[size_t(k)]->row(), before[k].column(), nodes[size_t(k)])
                         : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void ConfigTree::sortAll() {
    if (bulkDepth > 0) {
        sortRecursive(&root, true);
        return;
    }
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<ConfigNode*> nodes;
    for (const QModelIndex& i : before)
        nodes.push_back(nodeAt(i));
    sortRecursive(&root, true);
    QModelIndexList after;
    for (int k = 0; k < before.size(); ++k)
        after.append(nodes[size_t(k)]
                         ? createIndex(nodes[size_t(k)]->row(), before[k].column(), nodes[size_t(k)])
                         : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void ConfigTree::resetToStartup() {
    beginBulkChange();
    root.children.clear();
    ConfigNode* settings = appendRoot(QStringLiteral("Communication Settings"));
    appendChild(settings, QStringLiteral("COM1,RS232,9600"));
    appendChild(settings, QStringLiteral("Command Prefix,#"));
    appendChild(settings, QStringLiteral("Data Separator,Tab"));
    endBulkChange();
}

ConfigNode* ConfigTree::nextDepthFirst(const ConfigNode* node) const {
    if (!node)
        return nullptr;
    if (!node->children.empty())
        return node->children.front().get();
    for (const ConfigNode* n = node; n && n != &root; n = n->parent)
        if (ConfigNode* s = n->nextSibling())
            return s;
    return nullptr;
}

int ConfigTree::nodeCount() const {
    int count = 0;
    forEachDepthFirst([&](ConfigNode&, int) { ++count; });
    return count;
}

QModelIndex ConfigTree::indexOf(const ConfigNode* node) const {
    if (!node || node == &root || !node->parent)
        return QModelIndex();
    return createIndex(node->row(), 0, const_cast<ConfigNode*>(node));
}

ConfigNode* ConfigTree::nodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<ConfigNode*>(index.internalPointer()) : nullptr;
}

QModelIndex ConfigTree::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0)
        return QModelIndex();
    const ConfigNode* p = parent.isValid() ? nodeAt(parent) : &root;
    ConfigNode* c = p ? p->child(row) : nullptr;
    return c ? createIndex(row, 0, c) : QModelIndex();
}

QModelIndex ConfigTree::parent(const QModelIndex& child) const {
    const ConfigNode* n = nodeAt(child);
    if (!n || !n->parent || n->parent == &root)
        return QModelIndex();
    return indexOf(n->parent);
}

int ConfigTree::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    const ConfigNode* p = parent.isValid() ? nodeAt(parent) : &root;
    return p ? p->childCount() : 0;
}

int ConfigTree::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ConfigTree::data(const QModelIndex& index, int role) const {
    const ConfigNode* n = nodeAt(index);
    if (!n || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return n->text;
}

bool ConfigTree::setData(const QModelIndex& index, const QVariant& value, int role) {
    ConfigNode* n = nodeAt(index);
    if (!n || role != Qt::EditRole)
        return false;
    // Unchecked, as typed: an empty text included.
    setText(n, value.toString());
    return true;
}

Qt::ItemFlags ConfigTree::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
