#pragma once

// How the program's heap is set up at start, before anything large is allocated.

namespace platform {

// glibc otherwise moves its mmap threshold up to each large block freed and hands memory
// back whenever the heap's top grows free: the list's multi-megabyte arrays (30,000 rows)
// and every decoded picture (8 MiB at 1920 x 1080) are then mapped, unmapped and faulted
// in again page by page, more or less of them depending on what was freed before. Fixed
// thresholds keep blocks up to 32 MiB (a 4K picture) in the heap, where the next picture
// reuses their pages; up to 64 MiB of freed memory stays for that.
//
// And the heap's first tens of megabytes are asked for in huge pages where the system
// allows it: on virtual machines a page fault can cost ~15 µs, and a large list built at
// start faults in thousands of 4 KiB pages, more than the list itself costs to build. One
// fault per 2 MiB instead.
void setUpHeap();

// Hands the pages of freed memory back to the system, in every thread's arena. Each thread
// allocates from an arena of its own, which keeps what it freed for the threads that come
// to it later: after a reading of 100,000 names its working lists (tens of megabytes) would
// stay resident beside the next job's, which runs in another arena. For the end of a large
// piece of work on a thread, not for a loop: the next allocations there fault in again.
void returnFreedMemory();

}  // namespace platform
