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

}  // namespace lumenpull
