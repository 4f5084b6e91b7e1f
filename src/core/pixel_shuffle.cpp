#include "core/pixel_shuffle.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zwp {

#if defined(__x86_64__)
namespace {
__attribute__((target("ssse3"))) size_t shuffleFours(const uint8_t* from, size_t fromStep, uint8_t* to, size_t toStep,
                                                     size_t count, const ByteOrder& order) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(order.data()));
  size_t x = 0;
  for (; fromStep * x + 16 <= fromStep * count && toStep * x + 16 <= toStep * count; x += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + fromStep * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + toStep * x), _mm_shuffle_epi8(in, bytes));
  }
  return x;
}
}  // namespace
#endif

size_t shufflePixels(const uint8_t* from, size_t fromStep, uint8_t* to, size_t toStep, size_t count,
                     const ByteOrder& order) {
#if defined(__x86_64__)
  static const bool shuffles = __builtin_cpu_supports("ssse3");
  if (shuffles) return shuffleFours(from, fromStep, to, toStep, count, order);
#endif
  (void)from, (void)fromStep, (void)to, (void)toStep, (void)count, (void)order;
  return 0;
}

}  // namespace zwp
