// The parts of arcset_bench; each returns false when a run failed or gave
// wrong output.
#pragma once

#include <filesystem>
#include <string>

namespace arcsetbench {

// ~100 MB of generated files of 1.5 to 3 MB: extract -j 1 and -j 2 against
// bzip2 -dc of the same streams, create -j 2 against -j 1.
bool RunSyntheticPayload(const std::string& arcset, const std::filesystem::path& work);
// One record of 110 MB: create -j 2 against bzip2 -9 and lbzip2 -9 -n 2,
// extract -j 2 against bzip2 -dc and lbzip2 -d -n 2 of the same stream.
bool RunLargeRecord(const std::string& arcset, const std::filesystem::path& work);
// What an installation medium holds: the first 40 shared libraries over
// 400 KiB in /usr/lib/x86_64-linux-gnu (by name), and tar files of
// /usr/share/doc and /usr/share/perl: extract -j 2 against bzip2 -dc.
bool RunSystemPayload(const std::string& arcset, const std::filesystem::path& work);

}  // namespace arcsetbench
