#include "service/GumboDocument.h"

#include "store/Error.h"

#include <QString>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

namespace kova {

// Gumbo makes a great many small allocations (tens of megabytes for a long result page),
// and the heap of a worker thread hands that memory back to the system after every page,
// so each parse paid for it again in page faults. The arena takes it in large blocks,
// frees nothing until the document goes, and keeps a few blocks per thread for the next
// page.
class GumboDocument::Arena {
public:
    Arena() = default;
    ~Arena()
    {
        for (Block& block : m_blocks) {
            if (block.size == BlockSize && spare().size() < MaxSpareBlocks)
                spare().push_back(block.data);
            else
                std::free(block.data);
        }
    }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    static void* allocate(void* self, size_t size) { return static_cast<Arena*>(self)->take(size); }
    static void deallocate(void*, void*) {}

private:
    static constexpr size_t BlockSize = size_t{1} << 20;
    static constexpr size_t MaxSpareBlocks = 16;
    static constexpr size_t Alignment = alignof(std::max_align_t);

    struct Block {
        char* data;
        size_t size;
    };

    static std::vector<char*>& spare()
    {
        thread_local std::vector<char*> blocks;
        thread_local struct Release {
            ~Release()
            {
                for (char* b : blocks)
                    std::free(b);
            }
        } release;
        return blocks;
    }

    // Out of memory is thrown through the parser's C frames (they carry unwind tables on
    // this platform); the arena still frees every block.
    void* take(size_t size)
    {
        size = (size + Alignment - 1) & ~(Alignment - 1);
        if (size > BlockSize / 4) {
            char* data = static_cast<char*>(std::malloc(size));
            if (!data)
                throw std::bad_alloc();
            // Keep the current block in front so later small pieces still go there.
            m_blocks.insert(m_blocks.end() - (m_blocks.empty() ? 0 : 1), Block{data, size});
            return data;
        }
        if (m_blocks.empty() || m_used + size > BlockSize) {
            char* data = nullptr;
            if (!spare().empty()) {
                data = spare().back();
                spare().pop_back();
            } else {
                data = static_cast<char*>(std::malloc(BlockSize));
                if (!data)
                    throw std::bad_alloc();
            }
            m_blocks.push_back(Block{data, BlockSize});
            m_used = 0;
        }
        void* p = m_blocks.back().data + m_used;
        m_used += size;
        return p;
    }

    std::vector<Block> m_blocks; // the current block is the last one
    size_t m_used = 0;
};

GumboDocument::GumboDocument(const QByteArray& utf8) : m_input(utf8), m_arena(std::make_unique<Arena>())
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
