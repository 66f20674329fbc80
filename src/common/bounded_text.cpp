#include "common/bounded_text.h"

std::size_t BoundedLength(const wchar_t* text, std::size_t max) {
  std::size_t n = 0;
  while (n < max && text[n] != L'\0') ++n;
  return n;
}

bool BoundedCopy(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
  if (dst == nullptr || capacity == 0) return false;
  std::size_t n = BoundedLength(src, capacity);
  if (n == capacity) {
    dst[0] = L'\0';
    return false;
  }
  for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = L'\0';
  return true;
}

bool BoundedAppend(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
  if (dst == nullptr || capacity == 0) return false;
  std::size_t used = BoundedLength(dst, capacity);
  if (used == capacity || !BoundedCopy(dst + used, capacity - used, src)) {
    dst[0] = L'\0';
    return false;
  }
  return true;
}

bool FormatDecimal(long value, wchar_t* dst, std::size_t capacity) {
  wchar_t digits[24];
  std::size_t n = 0;
  // Work on the magnitude as unsigned so that the most negative value does not overflow.
  unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value)
                                      : static_cast<unsigned long>(value);
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[n++] = L'-';
  if (dst == nullptr || capacity == 0) return false;
  if (n + 1 > capacity) {
    dst[0] = L'\0';
    return false;
  }
  for (std::size_t i = 0; i < n; ++i) dst[i] = digits[n - 1 - i];
  dst[n] = L'\0';
  return true;
}
