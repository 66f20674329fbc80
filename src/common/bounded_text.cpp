#include "common/bounded_text.h"

namespace {

template <typename Char>
std::size_t LengthOf(const Char* text, std::size_t max) {
  std::size_t n = 0;
  while (n < max && text[n] != 0) ++n;
  return n;
}

template <typename Char>
bool CopyPart(Char* dst, std::size_t capacity, const Char* src, std::size_t count) {
  if (dst == nullptr || capacity == 0) return false;
  const std::size_t n = LengthOf(src, count);
  if (n >= capacity) {
    dst[0] = 0;
    return false;
  }
  for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = 0;
  return true;
}

template <typename Char>
bool Append(Char* dst, std::size_t capacity, const Char* src) {
  if (dst == nullptr || capacity == 0) return false;
  const std::size_t used = LengthOf(dst, capacity);
  if (used == capacity || !CopyPart(dst + used, capacity - used, src, capacity - used)) {
    dst[0] = 0;
    return false;
  }
  return true;
}

// The digits of value, most significant first, behind the sign and zeros up to width.
template <typename Char>
bool WriteDecimal(Char* dst, std::size_t capacity, long value, std::size_t width) {
  Char digits[24];
  std::size_t count = 0;
  // Work on the magnitude as unsigned so that the most negative value does not overflow.
  unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value)
                                      : static_cast<unsigned long>(value);
  do {
    digits[count++] = static_cast<Char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  const std::size_t sign = value < 0 ? 1 : 0;
  const std::size_t zeros = width > count + sign ? width - count - sign : 0;
  if (dst == nullptr || capacity == 0) return false;
  if (sign + zeros + count >= capacity) {
    dst[0] = 0;
    return false;
  }
  std::size_t at = 0;
  if (sign != 0) dst[at++] = '-';
  for (std::size_t i = 0; i < zeros; ++i) dst[at++] = '0';
  while (count != 0) dst[at++] = digits[--count];
  dst[at] = 0;
  return true;
}

}  // namespace

std::size_t BoundedLength(const wchar_t* text, std::size_t max) { return LengthOf(text, max); }
std::size_t BoundedLength(const char* text, std::size_t max) { return LengthOf(text, max); }

bool BoundedCopy(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
  return CopyPart(dst, capacity, src, capacity);
}
bool BoundedCopy(char* dst, std::size_t capacity, const char* src) {
  return CopyPart(dst, capacity, src, capacity);
}

bool BoundedCopyPart(wchar_t* dst, std::size_t capacity, const wchar_t* src, std::size_t count) {
  return CopyPart(dst, capacity, src, count);
}
bool BoundedCopyPart(char* dst, std::size_t capacity, const char* src, std::size_t count) {
  return CopyPart(dst, capacity, src, count);
}

bool BoundedAppend(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
  return Append(dst, capacity, src);
}
bool BoundedAppend(char* dst, std::size_t capacity, const char* src) {
  return Append(dst, capacity, src);
}

bool FormatDecimal(long value, wchar_t* dst, std::size_t capacity) {
  return WriteDecimal(dst, capacity, value, 0);
}

bool AppendDecimal(char* dst, std::size_t capacity, long value, std::size_t width) {
  if (dst == nullptr || capacity == 0) return false;
  const std::size_t used = LengthOf(dst, capacity);
  if (used == capacity || !WriteDecimal(dst + used, capacity - used, value, width)) {
    dst[0] = 0;
    return false;
  }
  return true;
}
