#pragma once
// Writers of the project file qubo.qpb and of the install record install.dat, at every
// version their readers take. Fields a version lacks are not written.

#include <cstdint>
#include <vector>

#include "script/installset.h"
#include "script/projectfile.h"
#include "support/stream.h"

namespace qubo::authoring {

void WriteProjectFile(const TProjectFile& project, TStream& out);
std::vector<uint8_t> ProjectFileBytes(const TProjectFile& project);

// Version 0 is written without the "is" header; other versions must be 0-999 (QuboError).
void WriteInstallSet(const TQuboInstallSet& install, TStream& out);
std::vector<uint8_t> InstallSetBytes(const TQuboInstallSet& install);

}  // namespace qubo::authoring
