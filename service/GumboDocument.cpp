#include "service/GumboDocument.h"

#include "store/Error.h"

#include <QString>

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
// the page. The first block is a small one each thread keeps for the next document: the
// result reader parses a link cell per row, and a fresh mapping for each would cost more
// than its parse.
class GumboDocument::Arena {
public:
    Arena() = default;
    ~Arena()
    {
        for (const Block& block : m_blocks) {
            if (block.data != m_spare)
                ::munmap(block.data, block.size);
        }
        if (m_spare) {
            char*& slot = spareSlot();
            if (!slot)
                slot = m_spare;
            else
                std::free(m_spare); // another document of the thread gave its block back first
        }
        for (void* data : m_large)
            std::free(data);
    }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    static void* allocate(void* self, size_t size) { return static_cast<Arena*>(self)->take(size); }
    static void deallocate(void* self, void* p) { static_cast<Arena*>(self)->give(p); }

private:
    static constexpr size_t SpareBlockSize = size_t{128} << 10;
    static constexpr size_t HugePage = size_t{2} << 20;
    static constexpr size_t FirstBlockSize = HugePage;
    static constexpr size_t MaxBlockSize = size_t{32} << 20;
    static constexpr size_t MaxAlignment = 8;
    static_assert(alignof(GumboNode) <= MaxAlignment && alignof(GumboAttribute) <= MaxAlignment &&
                  alignof(GumboOutput) <= MaxAlignment && alignof(void*) <= MaxAlignment);

    struct Block {
        char* data;
        size_t size;
    };

    // The thread's spare first block, or null while a document of the thread has it.
    static char*& spareSlot()
    {
        thread_local struct Slot {
            char* block = nullptr;
            ~Slot() { std::free(block); }
        } slot;
        return slot.block;
    }

    // A mapping of `size` bytes (a multiple of HugePage) that starts on a huge-page
    // boundary: only whole aligned huge pages can back it, and older kernels do not align
    // anonymous mappings themselves.
    static char* map(size_t size)
    {
        void* data =
            ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (data == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(data);
        const std::uintptr_t aligned = (start + HugePage - 1) & ~std::uintptr_t{HugePage - 1};
        if (aligned > start)
            ::munmap(data, aligned - start);
        if (const size_t tail = HugePage - (aligned - start); tail > 0)
            ::munmap(reinterpret_cast<char*>(aligned) + size, tail);
        ::madvise(reinterpret_cast<char*>(aligned), size, MADV_HUGEPAGE); // a hint: it works without
        return reinterpret_cast<char*>(aligned);
    }

    // A piece is aligned to the largest power of two, up to 8, that divides its size: an
    // object or array of a type is a whole number of its alignment, and none of gumbo's
    // types needs more than 8. Short strings, most of what gumbo allocates, so take no
    // padding (16-byte alignment cost 6 MB on a 5,000-row page).
    static size_t alignmentFor(size_t size)
    {
        const size_t lowest = size & (~size + 1);
        return lowest == 0 || lowest > MaxAlignment ? MaxAlignment : lowest;
    }

    // Out of memory is thrown through the parser's C frames (they carry unwind tables on
    // this platform); the arena still frees every block.
    void* take(size_t size)
    {
        if (size > FirstBlockSize / 4) {
            // Long texts and the children of a long table: outside the blocks, so the
            // current block keeps taking the small pieces.
            m_large.reserve(m_large.size() + 1);
            void* data = std::malloc(size);
            if (!data)
                throw std::bad_alloc();
            m_large.push_back(data);
            return data;
        }
        const size_t alignment = alignmentFor(size);
        size_t start = (m_used + alignment - 1) & ~(alignment - 1);
        if (m_blocks.empty() || start + size > m_blocks.back().size) {
            // Each block twice the one before: a long page needs few mappings, a short one
            // touches one huge page.
            m_blocks.reserve(m_blocks.size() + 1);
            if (m_blocks.empty()) {
                m_spare = std::exchange(spareSlot(), nullptr);
                if (!m_spare)
                    m_spare = static_cast<char*>(std::malloc(SpareBlockSize));
                if (!m_spare)
                    throw std::bad_alloc();
                m_blocks.push_back(Block{m_spare, SpareBlockSize});
            } else {
                const size_t blockSize = std::min(m_nextSize, MaxBlockSize);
                m_blocks.push_back(Block{map(blockSize), blockSize});
                m_nextSize = blockSize * 2;
            }
            m_used = 0;
            start = 0;
        }
        char* p = m_blocks.back().data + start;
        m_lastStart = m_used;
        m_used = start + size;
        m_last = p;
        return p;
    }

    // Only the newest piece can be taken back (a token's scratch space often is).
    void give(void* p)
    {
        if (p && p == m_last) {
            m_used = m_lastStart;
            m_last = nullptr;
        }
    }

    std::vector<Block> m_blocks; // mapped; the current block is the last one
    std::vector<void*> m_large;  // malloc'd
    size_t m_used = 0;
    char* m_last = nullptr; // the newest piece of the current block
    size_t m_lastStart = 0; // m_used before it was taken
    size_t m_nextSize = FirstBlockSize;
    char* m_spare = nullptr; // the first block: the thread's spare one, or one like it
};

GumboDocument::GumboDocument(QByteArray utf8) : m_input(std::move(utf8)), m_arena(std::make_unique<Arena>())
{
    parse(GUMBO_TAG_LAST, 0); // nothing reads a page's parse errors; a sloppy page can have thousands
}

GumboDocument::GumboDocument(QByteArray utf8, GumboTag context)
    : m_input(std::move(utf8)), m_arena(std::make_unique<Arena>())
{
    parse(context, 1);
}

void GumboDocument::parse(GumboTag context, int maxErrors)
{
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &Arena::allocate;
    options.deallocator = &Arena::deallocate;
    options.userdata = m_arena.get();
    options.max_errors = maxErrors;
    options.fragment_context = context;
    options.fragment_namespace = GUMBO_NAMESPACE_HTML;
    m_output = gumbo_parse_with_options(&options, m_input.constData(), static_cast<size_t>(m_input.size()));
    if (!m_output || !m_output->root)
        throw Error(QStringLiteral("无法解析网页内容"));
}

// The whole tree lives in the arena: it goes with it, without a walk over every node.
GumboDocument::~GumboDocument() = default;

void GumboDocument::releaseInput()
{
    const char* const begin = m_input.constData();
    const char* const end = begin + m_input.size();
    std::vector<GumboNode*> pending{m_output->root};
    while (!pending.empty()) {
        GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        GumboElement& element = node->v.element;
        GumboStringPiece& tag = element.original_tag;
        if ((element.tag == GUMBO_TAG_UNKNOWN || element.tag >= GUMBO_TAG_LAST) && tag.data &&
            tag.length > 0 && tag.data >= begin && tag.data < end) {
            char* copy = static_cast<char*>(Arena::allocate(m_arena.get(), tag.length));
            std::memcpy(copy, tag.data, tag.length);
            tag.data = copy;
        }
        for (unsigned i = 0; i < element.children.length; ++i)
            pending.push_back(static_cast<GumboNode*>(element.children.data[i]));
    }
    m_input = QByteArray();
}

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
