#pragma once

// What the utility asks of the system about its standard streams.

namespace zarvik12m {

// Whether the descriptor is a terminal: the user's console, where the
// progress bar is drawn, rather than a file, a pipe or a socket.
bool IsTerminal(int descriptor) noexcept;

// A write to a pipe whose reader has gone fails, and is told as any failed
// write, instead of ending the process.
void KeepRunningWhenOutputCloses() noexcept;

}  // namespace zarvik12m
