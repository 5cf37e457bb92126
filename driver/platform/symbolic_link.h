#pragma once

#include <string>

namespace zarvik12m {

// Symbolic links that name a device for as long as a program serves it
// (Linux only: zarvik12m_linux_support).

// Points path at target. A link already there (left by a run that was
// killed) is replaced in one step, so that the name never leads nowhere;
// any other file there is left alone and refused (EEXIST). Throws
// std::system_error naming the path that failed.
void PlaceSymbolicLink(const std::string& path, const std::string& target);

// Removes the link at path, unless it leads elsewhere than target by now
// (someone has pointed it elsewhere meanwhile).
void RemoveSymbolicLink(const std::string& path, const std::string& target) noexcept;

}  // namespace zarvik12m
