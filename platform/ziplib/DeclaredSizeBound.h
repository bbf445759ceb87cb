#pragma once
// Holds an entry to the size the central directory declares for it. libzip inflates an entry to
// the end of its deflate stream whatever size is declared (and a CRC that matches the longer
// data passes), so an entry that declares 1 KiB and inflates to 1 GiB would be written, and
// tested, whole. The bound sits between the reading loop and the bytes' consumer (the file
// being written, or the test's discard) and stops at the first byte past the declared size.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vantrel::ziplib {

class DeclaredSizeBound {
  public:
    using Consumer = std::function<bool(const char*, size_t)>;

    DeclaredSizeBound(uint64_t declared, Consumer next)
        : declared_(declared), next_(std::move(next)) {}
    // Not copied: a copy taken into a std::function would count on its own. Pass std::ref(bound)
    // where a consumer is wanted.
    DeclaredSizeBound(const DeclaredSizeBound&) = delete;
    DeclaredSizeBound& operator=(const DeclaredSizeBound&) = delete;

    // Passes the bytes on; false, passing on nothing of them, when they would take the entry past
    // its declared size (Exceeded tells that apart) or when the consumer refuses them.
    bool operator()(const char* data, size_t size);

    bool Exceeded() const { return exceeded_; }
    // Whether the entry delivered exactly its declared size: one that ends short is damaged too.
    bool Whole() const { return !exceeded_ && passed_ == declared_; }

  private:
    uint64_t declared_;
    Consumer next_;
    uint64_t passed_ = 0;
    bool exceeded_ = false;
};

}  // namespace vantrel::ziplib
