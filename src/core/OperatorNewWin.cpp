// The agent's allocations come from the C runtime's heap. When it is exhausted the process
// ends, as an uncaught bad_alloc would end it, without the exception machinery that throwing
// one pulls in.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block)
        std::abort();
    return block;
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
