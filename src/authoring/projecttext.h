#pragma once
// A readable text form of the project file and of the install record, for people and for
// qubo-tool: one "key value" line per field, '#' starts a comment, strings are UTF-8 in
// double quotes (\" \\ \n \r \t, and \xNN for a code-page-932 byte that has no UTF-8 form),
// omitted fields take their defaults. The first line names the record and its version:
//
//   project 117            install 108
//
// Dumping a record and building the dump gives back the same bytes.

#include <string>
#include <string_view>

#include "script/installset.h"
#include "script/projectfile.h"

namespace qubo::authoring {

std::string ProjectToText(const TProjectFile& project);
std::string InstallToText(const TQuboInstallSet& install);

// What a text describes: a project file or an install record.
struct RecordText {
  enum class Kind { Project, Install } kind = Kind::Project;
  TProjectFile project;
  TQuboInstallSet install;
};

// Parses a text form (UTF-8). QuboError with "line N: ..." for a line it cannot take: an
// unknown key, a field the version lacks, a bad number or string.
RecordText ParseRecordText(std::string_view text);

// The quoted form of a code-page-932 string, and back.
std::string QuoteCp932(std::string_view cp932);

}  // namespace qubo::authoring
