#pragma once
// Reads a fuzzer's input front to back. The seed corpus files are written by
// hand, so every harness reads its input in the order the bytes stand. Past
// the end every read gives zero or an empty text, so any input is complete.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

class TFuzzInput {
 public:
  TFuzzInput(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

  bool AtEnd() const { return FPos >= FSize; }

  uint8_t Byte() { return AtEnd() ? 0 : FData[FPos++]; }

  // Two bytes, low byte first.
  uint16_t Word() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }

  // Four bytes, low byte first.
  int32_t Int() {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= uint32_t{Byte()} << shift;
    return static_cast<int32_t>(value);
  }

  // A value from 0 to count - 1 (0 when count is 0), read from one byte.
  int Below(int count) { return count <= 0 ? 0 : Byte() % count; }

  // A length byte, then that many bytes (fewer at the end of the input).
  std::string Text() { return Take(Byte()); }

  // Everything not read yet.
  std::string Rest() { return Take(FSize - FPos); }

 private:
  std::string Take(size_t count) {
    const size_t taken = std::min(count, FSize - std::min(FPos, FSize));
    std::string text(reinterpret_cast<const char*>(FData + FPos), taken);
    FPos += taken;
    return text;
  }

  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
};
