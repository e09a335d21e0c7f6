// Flush-to-zero and denormals-are-zero for the whole run: a denormal result
// becomes 0 and a denormal input reads as 0, as on the reference platform.
#include "services/clock.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace soilcal::services {

void SetFlushToZero() {
#if defined(__x86_64__) || defined(__i386__)
  constexpr unsigned kFlushToZero = 0x8000;      // MXCSR FTZ
  constexpr unsigned kDenormalsAreZero = 0x0040; // MXCSR DAZ
  _mm_setcsr(_mm_getcsr() | kFlushToZero | kDenormalsAreZero);
#elif defined(__aarch64__)
  unsigned long fpcr = 0;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
  fpcr |= (1UL << 24);  // FZ: flush denormal inputs and results to zero
  __asm__ __volatile__("msr fpcr, %0" : : "r"(fpcr));
#endif
}

unsigned long FpControlWord() {
#if defined(__x86_64__) || defined(__i386__)
  return _mm_getcsr();
#elif defined(__aarch64__)
  unsigned long fpcr = 0;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
  return fpcr;
#else
  return 0;
#endif
}

void SetFpControlWord(unsigned long word) {
#if defined(__x86_64__) || defined(__i386__)
  _mm_setcsr(static_cast<unsigned>(word));
#elif defined(__aarch64__)
  __asm__ __volatile__("msr fpcr, %0" : : "r"(word));
#else
  (void)word;
#endif
}

}  // namespace soilcal::services
