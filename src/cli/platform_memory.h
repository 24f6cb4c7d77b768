#pragma once

namespace lumenpull {

// Asks the C library to keep large freed blocks for the next texture instead
// of handing them back to the system after every one. Each texture takes a
// few buffers of several megabytes (stored bytes, inflated bytes, packets);
// returned to the system, every one of their pages faults in afresh for the
// next texture, which costs more than the conversion of the page itself.
// The peak is unchanged: the memory kept is what an earlier texture needed.
// Does nothing where the library has no such setting.
void keepFreedMemoryForReuse();

// With several jobs, undoes most of that: each worker thread gets a heap of
// its own, and what each keeps of its textures' buffers, in pieces that the
// next texture's sizes do not fit, adds up beyond the jobs' live buffers
// (two jobs over the benchmark corpus: up to 207 MiB, against twice the
// one-job peak of 68 MiB). Large blocks are returned to the system when
// freed, so the peak stays near what the jobs use at once. The unpacking's
// large buffers, which every texture needs, are kept by each worker's own
// pool instead (unpack/buffer_pool.h), so they do not fault in again for
// every file. Does nothing where the library has no such setting.
void returnLargeBlocksToTheSystem();

}  // namespace lumenpull
