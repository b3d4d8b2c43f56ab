// Marks a function that a library of ours offers to other modules. The
// Windows builds name their exports in module-definition files, or link the
// platform layer into each library; the Linux builds hide every symbol by
// default and show these.
#pragma once

#if defined(_WIN32)
#define KAV_EXPORT
#else
#define KAV_EXPORT __attribute__((visibility("default")))
#endif
