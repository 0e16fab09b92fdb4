#pragma once

namespace vmc {

// On SIGINT, SIGTERM or SIGHUP, removes the temporary files of every output
// file that is still open and ends the program with status 128 + the signal
// number, so an interrupted run leaves the previous run's files as they were.
// A signal ignored when the program started (nohup, trap '') stays ignored.
void remove_temporaries_on_interrupt();

// A line to write to standard error when a signal ends the program (none
// unless set): a process of a parallel job is ended by its launcher with
// SIGTERM when another process of the job fails, and says so. The line is
// copied; at most 255 characters are kept.
void set_interrupt_message(const char* line) noexcept;

// Records path as a temporary to remove on interruption; returns its slot,
// or -1 when every slot is taken (the file is then only removed by its owner).
int register_temporary(const char* path) noexcept;
// Forgets the temporary in slot (no effect for -1).
void unregister_temporary(int slot) noexcept;

}  // namespace vmc
