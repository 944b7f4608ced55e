#pragma once
// TLightStrings: the compact ordered list of CP932 text lines behind the
// terminal views, the replacement font list and the list grid. One pointer
// per line in one contiguous array; an empty line is a null slot and each
// other line is one heap block holding its length and bytes.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "text/Errors.h"

class TLightStrings {
 public:
  // The largest count and capacity a store accepts.
  static constexpr int32_t MaxListSize = 0x7FFFFFF;
  // The message of the index error (UTF-8).
  static const char* const IndexErrorMessage;

  TLightStrings() = default;
  TLightStrings(const TLightStrings&) = delete;
  TLightStrings& operator=(const TLightStrings&) = delete;
  virtual ~TLightStrings();

  // Appends S and returns its index. Grows the array by 32 slots when full.
  int32_t Add(std::string_view S);
  // Appends Head followed by Tail as one line, without joining them first.
  int32_t Add(std::string_view Head, std::string_view Tail);
  // Inserts S before Index; Index may equal Count (append).
  void Insert(int32_t Index, std::string_view S);
  void Delete(int32_t Index);
  // Removes Count lines from Index on, moving the lines after them once.
  void DeleteRange(int32_t Index, int32_t Count);
  void Exchange(int32_t Index1, int32_t Index2);
  // A copy of line Index.
  std::string Get(int32_t Index) const;
  // Line Index without a copy; valid until that line is changed or removed.
  std::string_view View(int32_t Index) const;
  void Put(int32_t Index, std::string_view S);
  // Replaces line Index by Head followed by Tail.
  void Put(int32_t Index, std::string_view Head, std::string_view Tail);
  // Removes every line and frees the array.
  void Clear();
  // The first line equal to S byte for byte, or -1.
  virtual int32_t IndexOf(std::string_view S) const;

  // Appends every line of Strings (capacity set to exactly Count + their count first).
  void AddStrings(const std::vector<std::string>& Strings);
  // Clear, then AddStrings.
  void Assign(const std::vector<std::string>& Strings);
  // Replaces Dest's content by this store's lines.
  void AssignTo(std::vector<std::string>& Dest) const;

  int32_t Count() const { return FCount; }
  virtual void SetCount(int32_t NewCount);
  int32_t Capacity() const { return FCapacity; }
  virtual void SetCapacity(int32_t NewCapacity);

  // Every line followed by CR LF.
  virtual std::string GetText() const;
  // Replaces the lines by those of Text: CR LF, CR and LF each end a line,
  // a NUL byte ends the text.
  virtual void SetText(std::string_view Text);
  std::string Text() const { return GetText(); }

  // The lines separated by commas; a line with a space or comma is quoted.
  virtual std::string GetCommaText() const;
  virtual void SetCommaText(std::string_view Text);
  std::string CommaText() const { return GetCommaText(); }

  // Raises EListError with IndexErrorMessage.
  [[noreturn]] virtual void Error() const;

  // File names are UTF-8 paths. Lines end at CR (one LF after it skipped), a
  // lone LF stays in the line, a byte 0x1A ends the file. Failures raise
  // EInOutError; after a failed load the store keeps the lines read so far.
  virtual void LoadFromFile(const std::string& FileName);
  // Writes every line followed by CR LF, replacing the file as a whole: a
  // failure leaves the old file as it was.
  virtual void SaveToFile(const std::string& FileName) const;
  // Writes Text at the stream's position.
  virtual void SaveToStream(std::ostream& Stream) const;
  // Reads from the stream's position to its end and applies SetText.
  virtual void LoadFromStream(std::istream& Stream);

 private:
  using TLine = char*;  // length-prefixed block, or null for an empty line
  void CheckIndex(int32_t Index, int32_t Limit) const;
  void Grow();

  TLine* FList = nullptr;
  int32_t FCount = 0;
  int32_t FCapacity = 0;
};
