#include "ConfigTree.h"

#include "TypedText.h"

#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QTreeView>

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

bool ignoredInWordSort(QChar c) {
    return c == QLatin1Char('-') || c == QLatin1Char('\'');
}

// Rank of the symbols as the word sort orders them: not by character code. The arithmetic signs come
// after the other punctuation, and all of them before the digits.
int symbolRank(QChar c) {
    static const QString order = QStringLiteral(" !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>");
    const auto i = order.indexOf(c);
    if (i >= 0)
        return int(i) + 1;
    // Control characters first, other symbols after the listed ones, by code.
    return c.unicode() < 32 ? 0 : int(order.size()) + 1 + c.unicode();
}

QChar baseLetter(QChar c) {
    // Accented letters sort with their base letter; the accent only breaks ties.
    const QString decomposition = c.decomposition();
    if (!decomposition.isEmpty() && decomposition.at(0).isLetter())
        return decomposition.at(0);
    return c;
}

// Primary weight: symbols, then digits, then letters without regard to case or accent.
int primaryWeight(QChar c) {
    if (c.isDigit())
        return 0x100000 + c.unicode();
    if (c.isLetter())
        return 0x200000 + baseLetter(c).toLower().unicode();
    return symbolRank(c);
}

QString withoutIgnored(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        if (!ignoredInWordSort(c))
            out.append(c);
    return out;
}

int sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

} // namespace

// Compares in the levels of the word sort: characters (case and accents aside), then accents, then
// case (lower before upper), then the ignored hyphens and apostrophes, then the raw codes so that
// only equal texts compare equal.
int wordSortCompare(const QString& a, const QString& b) {
    const QString fa = withoutIgnored(a);
    const QString fb = withoutIgnored(b);
    const int n = int(qMin(fa.size(), fb.size()));
    for (int k = 0; k < n; ++k)
        if (const int d = primaryWeight(fa[k]) - primaryWeight(fb[k]))
            return sign(d);
    if (fa.size() != fb.size())
        return fa.size() < fb.size() ? -1 : 1;
    for (int k = 0; k < n; ++k) {
        const QChar ba = baseLetter(fa[k]), bb = baseLetter(fb[k]);
        const bool accentA = ba != fa[k], accentB = bb != fb[k];
        if (accentA != accentB)
            return accentA ? 1 : -1;
    }
    for (int k = 0; k < n; ++k) {
        const bool lowerA = fa[k].isLower(), lowerB = fb[k].isLower();
        if (fa[k].isLetter() && fb[k].isLetter() && lowerA != lowerB)
            return lowerA ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return sign(a.compare(b));
}

bool wordSortLess(const QString& a, const QString& b) {
    return wordSortCompare(a, b) < 0;
}

namespace nodetext {

namespace {
// Wider than any screen in the narrowest font; the view elides the rest itself.
constexpr qsizetype ShownLength = 1000;
} // namespace

QString shown(const QString& text) {
    return text.size() <= ShownLength ? text : text.left(ShownLength) + QChar(0x2026);
}

} // namespace nodetext

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

void ConfigTree::setChildTexts(ConfigNode* parent, const QStringList& texts) {
    if (!parent)
        return;
    const int keep = qMin(parent->childCount(), int(texts.size()));
    for (int i = 0; i < keep; ++i) {
        ConfigNode* c = parent->child(i);
        removeChildren(c);
        if (c->text != texts.at(i)) {
            c->text = texts.at(i);
            if (bulkDepth == 0) {
                const QModelIndex idx = indexOf(c);
                emit dataChanged(idx, idx);
            }
        }
    }
    if (parent->childCount() > keep) {
        if (bulkDepth == 0)
            beginRemoveRows(parent == &root ? QModelIndex() : indexOf(parent), keep,
                            parent->childCount() - 1);
        parent->children.erase(parent->children.begin() + keep, parent->children.end());
        if (bulkDepth == 0)
            endRemoveRows();
    }
    for (int i = keep; i < texts.size(); ++i)
        append(parent, texts.at(i));
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

void ConfigTree::sortKeepingIndexes(ConfigNode* parent, bool recurse) {
    if (bulkDepth > 0) {
        sortRecursive(parent, recurse);
        return;
    }
    // The view keeps its selection, expansion and any open editor on the same nodes.
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<ConfigNode*> nodes;
    nodes.reserve(size_t(before.size()));
    for (const QModelIndex& i : before)
        nodes.push_back(nodeAt(i));
    sortRecursive(parent, recurse);
    QModelIndexList after;
    for (qsizetype k = 0; k < before.size(); ++k) {
        ConfigNode* n = nodes[size_t(k)];
        after.append(n ? createIndex(n->row(), before[k].column(), n) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void ConfigTree::sortChildren(ConfigNode* parent) {
    sortKeepingIndexes(parent ? parent : &root, false);
}

void ConfigTree::sortAll() {
    sortKeepingIndexes(&root, true);
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
    if (!n)
        return QVariant();
    if (role == Qt::DisplayRole)
        return nodetext::shown(n->text);
    if (role == Qt::EditRole)
        return n->text;
    return QVariant();
}

bool ConfigTree::setData(const QModelIndex& index, const QVariant& value, int role) {
    ConfigNode* n = nodeAt(index);
    if (!n || role != Qt::EditRole)
        return false;
    // Stored exactly as typed, an empty text included; what the file cannot hold (or would read back
    // as another line) is refused, as the editor has already refused it and said why.
    const QString text = value.toString();
    if (typedtext::refusedChange(n->text, text, true))
        return false;
    setText(n, text);
    return true;
}

Qt::ItemFlags ConfigTree::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

namespace {

// Draws the dotted connecting lines and boxed plus and minus buttons of the classic tree look; the
// rest of the view keeps the application's style.
class TreeLinesStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorBranch) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const QRect r = option->rect;
        const int midX = r.x() + r.width() / 2;
        const int midY = r.y() + r.height() / 2;
        const QBrush dots(option->palette.color(QPalette::Dark), Qt::Dense4Pattern);
        const auto state = option->state;
        if (state & State_Item)
            painter->fillRect(QRect(midX, midY, r.right() - midX + 1, 1), dots);
        if (state & State_Sibling)
            painter->fillRect(QRect(midX, midY, 1, r.bottom() - midY + 1), dots);
        if (state & (State_Item | State_Sibling | State_Children | State_Open))
            painter->fillRect(QRect(midX, r.y(), 1, midY - r.y()), dots);
        if (!(state & State_Children))
            return;
        const QRect box(midX - 4, midY - 4, 9, 9);
        painter->save();
        painter->fillRect(box, option->palette.base());
        painter->setPen(option->palette.color(QPalette::Dark));
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        painter->setPen(option->palette.color(QPalette::Text));
        painter->drawLine(midX - 2, midY, midX + 2, midY);
        if (!(state & State_Open))
            painter->drawLine(midX, midY - 2, midX, midY + 2);
        painter->restore();
    }
};

// Hot tracking: the node under the mouse pointer is drawn underlined in the link colour.
class HotTrackDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(option->state & QStyle::State_MouseOver))
            return;
        option->font.setUnderline(true);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Link));
    }
};

class NodeDelegate : public HotTrackDelegate {
public:
    using HotTrackDelegate::HotTrackDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = HotTrackDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setValidator(new typedtext::Validator(line, true));
        return editor;
    }
};

} // namespace

void setUpConfigView(QTreeView* view, ConfigTree* tree) {
    if (!view)
        return;
    view->setModel(tree);
    view->setHeaderHidden(true);
    view->setIndentation(19);
    view->setRootIsDecorated(true);
    view->setItemsExpandable(true);
    view->setUniformRowHeights(true);
    auto* style = new TreeLinesStyle;
    style->setParent(view);
    view->setStyle(style);
    view->setItemDelegate(new NodeDelegate(view));
    view->setMouseTracking(true);
    view->setAttribute(Qt::WA_Hover);
    view->viewport()->setAttribute(Qt::WA_Hover);
    view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
}
