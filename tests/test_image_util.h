// An image owned for the length of a test, made by the library's create
// call and released with it.
#ifndef TEST_IMAGE_UTIL_H
#define TEST_IMAGE_UTIL_H

#include "zvek.h"

#include <cstdint>
#include <vector>

namespace imgtest {

struct Img {
    ZVEKHDR *h;
    Img(const char *type, std::vector<int32_t> dims, int structSize = 0)
        : h(Zvekcreate(type, dims.data(), 11, structSize)) {}
    ~Img() { Zvekfree(h, 7); }
    Img(const Img &) = delete;
    Img &operator=(const Img &) = delete;
    template <typename T>
    T *data() { return static_cast<T *>(h->vekptr); }
    uint8_t *bytes() { return static_cast<uint8_t *>(h->vekptr); }
};

}  // namespace imgtest

#endif  // TEST_IMAGE_UTIL_H
