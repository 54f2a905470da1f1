#pragma once

// Marks the symbols a host may use; everything else stays hidden when the
// library is built as a shared object.
#if defined(_WIN32)
#define TAVRINO_EXPORT
#else
#define TAVRINO_EXPORT __attribute__((visibility("default")))
#endif
