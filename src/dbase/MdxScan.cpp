#include "MdxScan.h"

#include "MdxTree.h"

#include <array>
#include <cstring>

namespace dbase {

using namespace mdx;

void scanTag(MdxFile& index, int tag, const std::function<bool(std::uint32_t recno)>& visit)
{
    TagLayout& layout = index.layout(tag);
    MdxPages& pages = index.pages();
    MdxTree tree(pages, layout);
    const KeyOrder& order = tree.order();
    const auto keyLength = std::size_t(layout.keyLength);
    const auto itemLength = std::size_t(layout.itemLength);

    Path path;
    bool found = tree.first(path);
    // The last entry of the leaf before, copied: the cache may drop its block.
    std::array<std::uint8_t, kMaxKeyLength> previousKey{};
    std::uint32_t previousRecno = 0;
    bool havePrevious = false;
    while (found) {
        // first() and advance() have read and checked this leaf; it stays cached until trim().
        const std::uint8_t* data = pages.read(path.leaf().page);
        const int count = int(get32(data));
        const std::uint8_t* previous = havePrevious ? previousKey.data() : nullptr;
        for (int i = path.leaf().index; i < count; ++i) {
            const std::uint8_t* item = data + kNodeItems + std::size_t(i) * itemLength;
            const std::uint32_t recno = get32(item);
            if (previous) {
                const Probe from = order.probe(previous, previousRecno);
                const int step = order.compare(item + 4, from);
                if (step < 0 || (step == 0 && recno == previousRecno)) {
                    path.leaf().index = i;
                    tree.checkStep(path, from, true); // throws, naming the page
                }
            }
            if (!visit(recno)) {
                pages.trim();
                return;
            }
            previous = item + 4;
            previousRecno = recno;
        }
        if (previous && previous != previousKey.data()) {
            std::memcpy(previousKey.data(), previous, keyLength);
            havePrevious = true;
        }
        path.leaf().index = count - 1;
        found = tree.advance(path);
        pages.trim();
    }
    pages.trim();
}

} // namespace dbase
