// The configuration reader against the reading rules: which lines, at which level, and where the
// reading stops; and a tree that was read saves and reads back to the same nodes.

#include "ConfigFile.h"
#include "ConfigTree.h"
#include "FuzzCheck.h"

#include <vector>

namespace {

struct Node {
    int level;
    QByteArray text;
    bool operator==(const Node&) const = default;
};

struct ModelResult {
    std::vector<Node> nodes;
    bool levelError = false;
    QByteArray message;
    int stoppedAt = 0;
};

// The rules: NUL ends the text; lines end at CR LF, CR or LF, and a last line needs no ending; each
// leading TAB or blank is one level; the first line is a root; every further line is compared with the
// level of the node the previous line became: the same or less is a sibling there, one more a child,
// two or more an error that stops the reading and says at which line.
ModelResult model(const QByteArray& input) {
    ModelResult r;
    const QByteArray bytes = input.left(input.indexOf('\0') < 0 ? input.size() : input.indexOf('\0'));
    std::vector<QByteArray> lines;
    QByteArray current;
    bool pending = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            pending = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            current.append(c);
            pending = true;
        }
    }
    if (pending)
        lines.push_back(current);

    int previousLevel = -1;
    int lineNumber = 0;
    for (const QByteArray& line : lines) {
        ++lineNumber;
        int depth = 0;
        while (depth < line.size() && (line[depth] == '\t' || line[depth] == ' '))
            ++depth;
        const QByteArray text = line.mid(depth);
        int level;
        if (previousLevel < 0)
            level = 0;
        else if (depth <= previousLevel + 1)
            level = depth;
        else {
            r.levelError = true;
            r.message = "Invalid level (" + QByteArray::number(depth) + ") for item \"" + text + "\"";
            r.stoppedAt = lineNumber;
            break;
        }
        r.nodes.push_back({level, text});
        previousLevel = level;
    }
    return r;
}

std::vector<Node> flatten(const ConfigTree& tree) {
    std::vector<Node> out;
    tree.forEachDepthFirst([&](ConfigNode& n, int depth) { out.push_back({depth, n.text.toLatin1()}); });
    return out;
}

QByteArray describe(const std::vector<Node>& nodes) {
    QByteArray s;
    for (const Node& n : nodes)
        s += QByteArray::number(n.level) + ":" + n.text + "|";
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ensureApplication();
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const ModelResult want = model(input);

    ConfigTree tree;
    const ConfigReadResult got = parseConfig(tree, input);
    const std::vector<Node> nodes = flatten(tree);
    if (nodes != want.nodes)
        fuzz::fail("nodes read", describe(nodes), describe(want.nodes));
    if (want.levelError) {
        fuzz::expect(!got.ok, "a level error stops the reading");
        fuzz::expectEqual(got.errorMessage, want.message, "level error message");
        fuzz::expect(got.stoppedAtLine == want.stoppedAt, "stopped at the line too deep");
    } else if (!input.contains('\0')) {
        // A NUL may be reported (the nodes after it are lost); anything else reads cleanly.
        fuzz::expect(got.ok, "no error without a level fault");
    } else {
        fuzz::expect(got.ok && got.errorMessage.isEmpty(), "a NUL byte ends the text without a message");
    }

    // Texts read never begin with a TAB or blank and hold no line end or NUL, so they survive a save.
    ConfigTree again;
    const ConfigReadResult back = parseConfig(again, serializeConfig(tree));
    fuzz::expect(back.ok, "a saved tree reads back without error");
    if (flatten(again) != nodes)
        fuzz::fail("saved and read back", describe(flatten(again)), describe(nodes));
    return 0;
}
