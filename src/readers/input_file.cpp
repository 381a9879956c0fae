#include "readers/input_file.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "base/run_failure.h"

namespace zumtal {

namespace {

constexpr const char* kBeyondTheEnd = "data beyond the end of the file";

// First reads of files in this process, and those of them whose bytes were
// not all in the system's cache. The files count as cold once a quarter of
// the first reads, and at least eight, had to wait for the disk.
std::atomic<std::uint64_t> firstReads{0};
std::atomic<std::uint64_t> waitedReads{0};

}  // namespace

bool InputFile::FilesAreCold() {
  const std::uint64_t waited = waitedReads.load(std::memory_order_relaxed);
  return waited >= 8 && waited * 4 >= firstReads.load(std::memory_order_relaxed);
}

namespace {

// One window per thread serves every file that thread reads: a thread has one
// file open at a time.
std::uint8_t* SharedWindow() {
  thread_local const std::unique_ptr<std::uint8_t[]> window(new std::uint8_t[InputFile::kWindow]);
  return window.get();
}

}  // namespace

InputFile::InputFile(std::vector<std::uint8_t> bytes) : length_(bytes.size()), memory_(std::move(bytes)) {
  window_ = memory_.data();
  windowLength_ = length_;
}

InputFile::InputFile(std::span<const std::uint8_t> bytes) : length_(bytes.size()) {
  window_ = bytes.data();
  windowLength_ = length_;
}

InputFile::InputFile(FileHandle handle, const FileFacts& facts)
    : handle_(handle), open_(true), length_(facts.length), modifiedNs_(facts.modifiedNs) {}

std::unique_ptr<InputFile> InputFile::Open(const std::string& path, std::intptr_t directory) {
  FileHandle handle;
  FileFacts facts;
  if (!OpenForReading(path, directory, handle, facts)) {
    return nullptr;
  }
  return std::unique_ptr<InputFile>(new InputFile(handle, facts));
}

InputFile::~InputFile() {
  if (open_) {
    CloseFile(handle_);
  }
}

void InputFile::Close() {
  if (!open_) {
    return;
  }
  open_ = false;
  if (const int error = CloseFile(handle_); error != 0) {
    FailSystem(error);
  }
}

std::uint8_t InputFile::ReadByteSlow() {
  Fill();
  return window_[position_++ - windowStart_];
}

void InputFile::Fill() {
  if (position_ >= length_ || !open_) {
    FailRead(kBeyondTheEnd);
  }
  std::uint8_t* window = SharedWindow();
  // A small file is read whole; a large one from the page that holds the
  // position, so that sequential reads go in large steps.
  const std::uint64_t start = length_ <= kWindow ? 0 : position_ & ~std::uint64_t{4095};
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, length_ - start));
  std::size_t got = 0;
  // A file's first read asks the cache alone first: whether that had the
  // bytes tells a warm collection from a cold one, at no extra call when
  // it had.
  if (start == 0 && windowLength_ == 0 && want > 0) {
    const std::int64_t count = ReadCachedAt(handle_, 0, window, want);
    firstReads.fetch_add(1, std::memory_order_relaxed);
    if (count == kNotCached || (count >= 0 && static_cast<std::size_t>(count) < want)) {
      waitedReads.fetch_add(1, std::memory_order_relaxed);
    }
    got = count > 0 ? static_cast<std::size_t>(count) : 0;
  }
  while (got < want) {
    const std::int64_t count = ReadAt(handle_, start + got, window + got, want - got);
    if (count < 0) {
      FailRead("read error");
    }
    if (count == 0) {
      break;  // the file is shorter now than when it was opened
    }
    got += static_cast<std::size_t>(count);
  }
  window_ = window;
  windowStart_ = start;
  windowLength_ = got;
  if (position_ - windowStart_ >= windowLength_) {
    FailRead(kBeyondTheEnd);
  }
}

std::uint16_t InputFile::ReadWord() {
  const std::uint8_t low = ReadByte();
  const std::uint8_t high = ReadByte();
  return static_cast<std::uint16_t>(low | (high << 8));
}

std::uint32_t InputFile::ReadLong() {
  const std::uint32_t low = ReadWord();
  return low | std::uint32_t{ReadWord()} << 16;
}

std::string InputFile::ReadText(std::size_t count) {
  std::string text(count, '\0');
  for (auto& character : text) {
    character = static_cast<char>(ReadByte());
  }
  return text;
}

void InputFile::ReadInto(std::uint8_t* destination, std::size_t count) {
  while (count > 0) {
    std::uint64_t inWindow = position_ - windowStart_;
    if (inWindow >= windowLength_) {
      Fill();
      inWindow = position_ - windowStart_;
    }
    const auto run = static_cast<std::size_t>(std::min<std::uint64_t>(count, windowLength_ - inWindow));
    std::memcpy(destination, window_ + inWindow, run);
    destination += run;
    position_ += run;
    count -= run;
  }
}

std::uint32_t InputFile::SumBytes(std::uint64_t count) {
  std::uint32_t sum = 0;
  while (count > 0) {
    std::uint64_t inWindow = position_ - windowStart_;
    if (inWindow >= windowLength_) {
      Fill();
      inWindow = position_ - windowStart_;
    }
    const std::uint64_t run = std::min(count, windowLength_ - inWindow);
    const std::uint8_t* bytes = window_ + inWindow;
    for (std::uint64_t i = 0; i < run; ++i) {
      sum += bytes[i];
    }
    if (sink_ != nullptr) {
      sink_->Take(bytes, static_cast<std::size_t>(run));
    }
    position_ += run;
    count -= run;
  }
  return sum;
}

}  // namespace zumtal
