// Wait-status macros for the Windows build, where a child's status is its exit code as it is.
// Only what the test helpers shared with the Linux build read.
#pragma once

#ifndef WIFEXITED
#define WIFEXITED(status) ((status) != -1)
#endif
#ifndef WEXITSTATUS
#define WEXITSTATUS(status) (status)
#endif
