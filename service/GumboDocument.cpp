#include "service/GumboDocument.h"

#include "store/Error.h"

#include <QString>

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace kova {

// Gumbo makes a great many small allocations (about fifteen bytes of tree per byte of
// page, 60 MB for a 10,000-row result page) and frees few of them before the document
// goes. The arena takes them from a few large mappings, frees nothing until the document
// goes, and then hands every mapping straight back to the system, so a long page leaves
// nothing behind. The mappings ask for transparent huge pages: touching 60 MB of fresh
// 4 kB pages cost more than the parse itself on a virtual machine, and grew faster than
// the page.
class GumboDocument::Arena {
public:
    Arena() = default;
    ~Arena()
    {
        for (const Block& block : m_blocks) {
            if (block.mapped)
                ::munmap(block.data, block.size);
            else
                std::free(block.data);
        }
    }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    static void* allocate(void* self, size_t size) { return static_cast<Arena*>(self)->take(size); }
    static void deallocate(void*, void*) {}

private:
    static constexpr size_t FirstBlockSize = size_t{2} << 20; // one huge page
    static constexpr size_t MaxBlockSize = size_t{32} << 20;
    static constexpr size_t Alignment = alignof(std::max_align_t);

    struct Block {
        char* data;
        size_t size;
        bool mapped;
    };

    static char* map(size_t size)
    {
        void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (data == MAP_FAILED)
            throw std::bad_alloc();
        ::madvise(data, size, MADV_HUGEPAGE); // only a hint: without huge pages it still works
        return static_cast<char*>(data);
    }

    // Out of memory is thrown through the parser's C frames (they carry unwind tables on
    // this platform); the arena still frees every block.
    void* take(size_t size)
    {
        size = (size + Alignment - 1) & ~(Alignment - 1);
        if (size > FirstBlockSize / 4) {
            // Long texts and the children of a long table: outside the blocks, so the
            // current block keeps taking the small pieces.
            char* data = static_cast<char*>(std::malloc(size));
            if (!data)
                throw std::bad_alloc();
            m_blocks.insert(m_blocks.end() - (m_blocks.empty() ? 0 : 1), Block{data, size, false});
            return data;
        }
        if (m_blocks.empty() || m_used + size > m_blocks.back().size) {
            // Each block twice the one before: a long page needs few mappings, a short one
            // touches one huge page.
            const size_t blockSize = m_blocks.empty() ? FirstBlockSize : std::min(m_nextSize, MaxBlockSize);
            m_blocks.push_back(Block{map(blockSize), blockSize, true});
            m_nextSize = blockSize * 2;
            m_used = 0;
        }
        void* p = m_blocks.back().data + m_used;
        m_used += size;
        return p;
    }

    std::vector<Block> m_blocks; // the current block is the last one
    size_t m_used = 0;
    size_t m_nextSize = FirstBlockSize;
};

GumboDocument::GumboDocument(QByteArray utf8) : m_input(std::move(utf8)), m_arena(std::make_unique<Arena>())
{
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &Arena::allocate;
    options.deallocator = &Arena::deallocate;
    options.userdata = m_arena.get();
    options.max_errors = 0; // nothing reads parse errors; a sloppy page can have thousands
    m_output = gumbo_parse_with_options(&options, m_input.constData(), static_cast<size_t>(m_input.size()));
    if (!m_output || !m_output->root)
        throw Error(QStringLiteral("无法解析网页内容"));
}

// The whole tree lives in the arena: it goes with it, without a walk over every node.
GumboDocument::~GumboDocument() = default;

const GumboNode* GumboDocument::body() const
{
    const GumboNode* root = m_output->root;
    if (root->type != GUMBO_NODE_ELEMENT)
        return nullptr;
    const GumboVector& children = root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_BODY)
            return child;
    }
    return nullptr;
}

} // namespace kova
