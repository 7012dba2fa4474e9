// Line sources and the tokenizer of text documents.
//
// A line is split into tokens: runs of bytes separated by tabs and spaces, quoted strings (quotes
// removed, nothing escaped), and the single-character separators ( ) , : ; = [ ] { } standing alone.
// Bytes are CP932: a lead byte always takes the next byte with it, so a trail byte that happens to
// equal a separator, a quote or a line end never acts as one.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace mw {

class StringSeparator {
 public:
  StringSeparator();
  virtual ~StringSeparator() = default;

  // Replaces the tokens by those of `line` (up to its NUL, LF or CR) and returns their number.
  int Split(const char* line);
  // Same for a byte range; stops at the first NUL, LF or CR within it.
  int Split(const char* line, std::size_t length);

  // Stores a copy of `text` as token i (growing the line with empty tokens if needed); the count
  // stays as it is.
  void SetToken(int i, const char* text);
  // Token i, NUL-terminated. Callers ask only for i < Count().
  const char* GetToken(int i) const { return arena_.data() + offsets_[static_cast<std::size_t>(i)]; }
  // (The arena always holds at least one byte, so an empty line still has a valid pointer.)
  std::string Token(int i) const { return std::string(GetToken(i), TokenLength(i)); }
  std::size_t TokenLength(int i) const {
    const auto k = static_cast<std::size_t>(i);
    return offsets_[k + 1] - offsets_[k] - 1;
  }
  int Count() const { return count_; }

  // Whole-token comparisons, ASCII case ignored.
  bool IsCommand(const char* word, int minCount) const;
  bool IsToken(int i, const char* word) const;

  // C atoi / atof of token i in the classic locale; 0 when i is not a token of the line.
  int GetInt(int i) const;
  double GetDouble(int i) const;
  float GetFloat(int i) const { return static_cast<float>(GetDouble(i)); }

  void GetSeparators(char out[128]) const;
  void SetSeparators(const char in[128]);
  char GetQuote() const { return quote_; }
  void SetQuote(char q) {
    quote_ = q;
    BuildClasses();
  }
  // Whether bytes are read as CP932 (a lead byte takes the next byte with it; the default) or as
  // UTF-8 (every byte stands for itself: no UTF-8 byte can look like a separator or a quote).
  void SetCp932(bool cp932) {
    cp932_ = cp932;
    BuildClasses();
  }

 protected:
  int count_ = 0;

 private:
  // Every token of the line, each followed by a NUL, back to back; token i starts at offsets_[i]
  // and offsets_ has one more entry marking the end. Both keep their capacity from line to line.
  std::vector<char> arena_;
  std::vector<std::size_t> offsets_{0};
  char separators_[128];
  char quote_ = '"';
  bool cp932_ = true;
  unsigned char classes_[256];  // what each byte does to the scan, from separators_ and quote_
  void BuildClasses();
};

// A tokenizer fed from a stdio stream it does not own. ReadLine returns the token count of the
// next line (0 for a blank one) or -1 once the input is exhausted (read errors count as the end).
// This base reader goes character by character and accepts LF, CR LF and a lone CR, with no limit
// on the length of a line.
class FileStringSeparator : public StringSeparator {
 public:
  explicit FileStringSeparator(std::FILE* file) : file_(file) {}
  virtual int ReadLine();

 protected:
  std::FILE* file_;
};

// Lines ending in LF or CR LF, handed out in pieces of at most 8190 bytes as a fixed-size line
// reader gives them: a longer physical line arrives as several lines. Text after a lone CR up to
// the next LF is ignored.
class AsciiFileString : public FileStringSeparator {
 public:
  explicit AsciiFileString(std::FILE* file) : FileStringSeparator(file) {}
  ~AsciiFileString() override;
  int ReadLine() override;

  // The stream position just after the last piece delivered (a long line read whole is handed
  // out in pieces, so the stream itself may already be further on).
  long Tell() const;
  // Moves the stream to `position`, dropping any pieces not yet delivered. False on failure.
  bool Seek(long position);
  // The number of the physical line the last piece came from, counting from 1 (binary blocks
  // passed over by Seek are not counted).
  long LineNumber() const { return lineNumber_; }
  // Where the physical line being handed out starts in the stream.
  long LineStart() const;

  // Whether lines read from now on are handed out whole, whatever their length (a version 1.1
  // document's face lines), instead of in 8190-byte pieces. A line already being handed out in
  // pieces goes on in pieces.
  void SetWholeLines(bool whole) { wholeLines_ = whole; }

  // Called once, just before the first piece holding a byte of 0x80 or more is split, so that its
  // owner can decide how such bytes are read (SetCp932) while every line before was plain ASCII.
  // The callback may read the stream if it puts the position back. Cleared when called.
  std::function<void()> beforeFirstHighByte;

 private:
  // The physical line read last, handed out in pieces of at most 8190 bytes from `offset_`.
  char* line_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t length_ = 0;
  std::size_t offset_ = 0;
  std::size_t pieceLimit_ = 8190;  // for the line being handed out
  bool wholeLines_ = false;
  long lineNumber_ = 0;
};

// The character-by-character reader under its own name, for files with CR line ends.
class MacFileString : public FileStringSeparator {
 public:
  explicit MacFileString(std::FILE* file) : FileStringSeparator(file) {}
  int ReadLine() override { return FileStringSeparator::ReadLine(); }
};

// Exactly what C atoi / atof give for `text` in the classic locale, whatever the process locale,
// with a fast path for plain decimal numbers.
int ParseInt(const char* text);
double ParseDouble(const char* text);
double ParseDouble(const char* text, std::size_t length);  // text[length] must be NUL

}  // namespace mw
