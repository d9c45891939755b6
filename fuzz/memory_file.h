#pragma once

// A file in memory, reachable by name through /proc: fuzz targets hand their
// input to code that reads files by name without touching the disk.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

class MemoryFile {
public:
    MemoryFile() : descriptor_(::memfd_create("kestrix_fuzzer", 0)) {
        if (descriptor_ < 0)
            __builtin_trap();
        name_ = "/proc/self/fd/" + std::to_string(descriptor_);
    }
    void fill(std::span<const std::uint8_t> bytes) const {
        if (::ftruncate(descriptor_, 0) != 0 ||
            ::pwrite(descriptor_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
            __builtin_trap();
    }
    const std::string& name() const { return name_; }

private:
    int descriptor_;
    std::string name_;
};
