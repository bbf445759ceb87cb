#pragma once
// A growable run of bytes that, unlike std::vector<uint8_t>, leaves new room uninitialised: a
// deflate or inflate engine writes every byte it hands back, so clearing the room first would only
// cost a second pass over memory the size of each piece or entry.

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace vantrel::ziplib {

template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <typename U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    // Default-initialisation: nothing for bytes.
    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

}  // namespace vantrel::ziplib
