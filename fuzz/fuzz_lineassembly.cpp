// Line assembly of received bytes against the receive rules, over blocks of any size: BS deletes the
// last character of the line being received (never joining lines), LF is ignored, CR completes the
// line (the data log gets it) and starts an empty one, a partial line is shown and continued by the
// next block, and a partial line that backspaces emptied leaves the window as it was.

#include "FuzzCheck.h"
#include "LineAssembly.h"

#include <vector>

namespace {

// Unbounded window that records every completed line.
class Window final : public LineTarget {
public:
    bool hasLines() const override { return !lines.empty(); }
    QByteArray lastLine() const override { return lines.empty() ? QByteArray() : lines.back(); }
    void setLastLine(const QByteArray& line) override {
        if (lines.empty())
            lines.push_back(line);
        else
            lines.back() = line;
    }
    void appendEmptyLine() override { lines.emplace_back(); }
    void lineCompleted(const QByteArray& line) override { completed.push_back(line); }

    std::vector<QByteArray> lines;
    std::vector<QByteArray> completed;
};

struct Model {
    std::vector<QByteArray> lines;
    std::vector<QByteArray> completed;

    void receive(const QByteArray& block) {
        QByteArray current = lines.empty() ? QByteArray() : lines.back();
        for (const char c : block) {
            if (c == '\b') {
                current.chop(1);
            } else if (c == '\n') {
            } else if (c == '\r') {
                if (lines.empty())
                    lines.push_back(current);
                else
                    lines.back() = current;
                completed.push_back(current);
                lines.emplace_back();
                current.clear();
            } else {
                current.append(c);
            }
        }
        if (!current.isEmpty()) {
            if (lines.empty())
                lines.push_back(current);
            else
                lines.back() = current;
        }
    }
};

QByteArray joined(const std::vector<QByteArray>& v) {
    QByteArray s;
    for (const QByteArray& l : v)
        s += l + "|";
    return s;
}

} // namespace

// The first byte of each block is its length (0 to 255), then the block's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Window window;
    Model model;
    // The hidden receive log keeps a bounded window whatever arrives.
    LineBuffer bounded(8, 16);
    size_t i = 0;
    while (i < size) {
        const size_t n = std::min<size_t>(data[i], size - i - 1);
        const QByteArray block(reinterpret_cast<const char*>(data + i + 1), qsizetype(n));
        i += 1 + n;
        AssembleLines(window, block.constData(), block.size());
        model.receive(block);
        AssembleLines(bounded, block.constData(), block.size());
        fuzz::expect(bounded.lines.size() <= 8, "receive log line count bounded");
        for (const QByteArray& l : bounded.lines)
            fuzz::expect(l.size() <= 16, "receive log line length bounded");
        if (window.lines != model.lines)
            fuzz::fail("window lines", joined(window.lines), joined(model.lines));
        if (window.completed != model.completed)
            fuzz::fail("completed lines", joined(window.completed), joined(model.completed));
    }
    return 0;
}
