#pragma once

namespace platform {

// Hands memory that the program has freed back to the system. The C library keeps what is freed
// for later use, so after a window has dropped a large part of what it held the memory would stay
// the program's.
void returnFreedMemory();

} // namespace platform
