// A vector of trivially copyable values that keeps up to N of them inline.
//
// Vertices carry their face references and faces their corners and texture coordinates; with
// millions of them a heap block each would dominate both memory and load time. Most lists are
// short (a grid vertex has four faces, a face four corners), so they live inside the record.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <type_traits>

namespace mw {

template <typename T, std::uint32_t N>
class SmallVector {
  static_assert(std::is_trivially_copyable_v<T>, "SmallVector holds plain values only");
  static_assert(N > 0);

 public:
  using value_type = T;
  static constexpr std::uint32_t kInline = N;  // a vector that never grew past this has data() inline
  using iterator = T*;
  using const_iterator = const T*;

  SmallVector() = default;
  SmallVector(std::initializer_list<T> values) { assign(values.begin(), values.end()); }
  SmallVector(const SmallVector& other) { assign(other.begin(), other.end()); }
  SmallVector(SmallVector&& other) noexcept { steal(other); }
  ~SmallVector() { release(); }

  SmallVector& operator=(const SmallVector& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  SmallVector& operator=(SmallVector&& other) noexcept {
    if (this != &other) {
      release();
      steal(other);
    }
    return *this;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return capacity_; }

  T* data() { return capacity_ > N ? heap_ : reinterpret_cast<T*>(inlineBytes_); }
  const T* data() const { return capacity_ > N ? heap_ : reinterpret_cast<const T*>(inlineBytes_); }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }
  T& back() { return data()[size_ - 1]; }
  const T& back() const { return data()[size_ - 1]; }

  void clear() { size_ = 0; }

  void reserve(std::size_t n) {
    if (n <= capacity_) return;
    if (n > UINT32_MAX) throw std::bad_alloc();
    T* block = static_cast<T*>(std::malloc(n * sizeof(T)));
    if (!block) throw std::bad_alloc();
    const std::uint32_t keep = size_;
    if (keep) std::memcpy(block, data(), keep * sizeof(T));
    release();
    heap_ = block;
    size_ = keep;
    capacity_ = static_cast<std::uint32_t>(n);
  }

  // New elements are value-initialised (zero for numbers).
  void resize(std::size_t n) {
    if (n > capacity_) reserve(n);
    T* d = data();
    for (std::size_t i = size_; i < n; ++i) d[i] = T();
    size_ = static_cast<std::uint32_t>(n);
  }

  void push_back(const T& value) {
    if (size_ == capacity_) {
      T copy = value;  // value may live in this vector
      reserve(std::max<std::size_t>(capacity_ * 2, N * 2));
      data()[size_++] = copy;
      return;
    }
    data()[size_++] = value;
  }

  void erase(std::size_t index) {
    T* d = data();
    std::memmove(d + index, d + index + 1, (size_ - index - 1) * sizeof(T));
    --size_;
  }

  template <typename It>
  void assign(It first, It last) {
    std::size_t n = static_cast<std::size_t>(last - first);
    size_ = 0;
    reserve(n);
    T* d = data();
    for (std::size_t i = 0; i < n; ++i) d[i] = first[i];
    size_ = static_cast<std::uint32_t>(n);
  }

  friend bool operator==(const SmallVector& a, const SmallVector& b) {
    return a.size_ == b.size_ && std::equal(a.begin(), a.end(), b.begin());
  }

 private:
  void release() {
    if (capacity_ > N) std::free(heap_);
    capacity_ = N;
    size_ = 0;
  }
  void steal(SmallVector& other) {
    if (other.capacity_ > N) {
      heap_ = other.heap_;
      capacity_ = other.capacity_;
    } else {
      std::memcpy(inlineBytes_, other.inlineBytes_, other.size_ * sizeof(T));
      capacity_ = N;
    }
    size_ = other.size_;
    other.capacity_ = N;
    other.size_ = 0;
  }

  // Raw storage: T may have default member initialisers, which a union member cannot.
  union {
    alignas(T) unsigned char inlineBytes_[N * sizeof(T)];
    T* heap_;
  };
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = N;
};

}  // namespace mw
