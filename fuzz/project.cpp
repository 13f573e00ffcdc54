// Drives the project file reader, the install record reader and the text form parser over
// arbitrary bytes. Any exception other than the player's own errors, any crash and any
// sanitizer report is a finding. What reads is written back and must read the same.
//
// Input: byte 0 picks the reader (0 project, 1 install, 2 text form); the rest is the input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "authoring/projecttext.h"
#include "authoring/projectwriter.h"
#include "script/installset.h"
#include "script/projectfile.h"
#include "support/errors.h"

using namespace qubo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<uint8_t> bytes(data + 1, data + size);
  try {
    switch (data[0] % 3) {
      case 0: {
        const TProjectFile p = ReadProjectFile(bytes);
        for (const auto& e : p.folderDisks.Entries()) p.folderDisks.DiskOf(e.folder + "\\x.qsb");
        if (!(ReadProjectFile(authoring::ProjectFileBytes(p)) == p)) std::abort();
        authoring::ParseRecordText(authoring::ProjectToText(p));
        break;
      }
      case 1: {
        const TQuboInstallSet s = ReadInstallSet(bytes);
        if (!(ReadInstallSet(authoring::InstallSetBytes(s)) == s)) std::abort();
        break;
      }
      default:
        authoring::ParseRecordText(std::string(bytes.begin(), bytes.end()));
        break;
    }
  } catch (const QuboError&) {
    // A damaged record is reported, never more.
  }
  return 0;
}
