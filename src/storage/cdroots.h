#pragma once
// CD-ROM roots: the mount points of mounted iso9660 and udf file systems.

#include <string>
#include <string_view>
#include <vector>

namespace qubo {

// The mount points (each with a trailing '/') of the iso9660 and udf entries of a mount
// table in the form of /proc/mounts ("\040"-style escapes decoded).
std::vector<std::string> ParseCdRoots(std::string_view mountTable);

// The roots of this machine, read from /proc/mounts once; empty when there are none or the
// table cannot be read.
const std::vector<std::string>& SystemCdRoots();

}  // namespace qubo
