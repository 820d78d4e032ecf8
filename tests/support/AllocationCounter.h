// Counts heap allocations and frees made on the calling thread while a CountAllocations scope is open
// there: a test opens one around the plug-in's audio callbacks to prove that they allocate
// nothing. A test program gets the counting global operator new / delete by linking
// support/AllocationCounter.cpp (see tests/CMakeLists.txt).
#pragma once

namespace tess::test {

class CountAllocations {
public:
    CountAllocations();
    ~CountAllocations();
    CountAllocations(const CountAllocations&) = delete;
    CountAllocations& operator=(const CountAllocations&) = delete;

    // Allocations on this thread since the scope opened.
    long count() const;
    // Frees (of memory from anywhere) on this thread since the scope opened.
    long frees() const;

private:
    long start_;
    long startFrees_;
};

}  // namespace tess::test
