// A cheap stamp of a database file's contents, for caches of what was read
// from it:
//
//   std::uint64_t before = data::changeStamp(path);
//   ... read, build something from what was read ...
//   if (data::changeStamp(path) == before) ... still what the file holds
//
// A stamp taken after a commit to the file has returned (from this thread,
// another thread of this process or another program) differs from every stamp
// taken before that commit began. The converse is not promised: a stamp may
// change without a commit (the first look at a file, a write of this process
// counted twice, a commit that changed nothing), which only costs a cache a
// rebuild. Stamps of this process never repeat, also not across files or for
// a file replaced under the same path.
// Cost: one stat of the file and one pragma on a connection of its own that
// all threads of this process share for the file (under a short lock).
// Errors: data::Error when the file is missing, cannot be opened or is locked
// by someone at that very moment (the call never waits for a lock).
#pragma once

#include <cstdint>
#include <string>

namespace tovi::data {

[[nodiscard]] std::uint64_t changeStamp(const std::string& path);

}  // namespace tovi::data
