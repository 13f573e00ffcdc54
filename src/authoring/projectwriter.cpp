#include "authoring/projectwriter.h"

#include <cstdio>

#include "support/errors.h"
#include "support/record.h"

namespace qubo::authoring {

void WriteProjectFile(const TProjectFile& p, TStream& out) {
  RecordWriter w(out);
  const int32_t v = p.version;
  w.I32(v);
  w.String(p.title);
  w.I32(p.screenWidth);
  w.I32(p.screenHeight);
  w.I32(p.fullScreenWidth);
  w.I32(p.fullScreenHeight);
  w.String(p.startPage);
  if (v >= kProjectExitPageSince) w.String(p.exitPage);
  w.String(p.registryKey);
  w.I32(p.identification);
  if (v >= kProjectWriteStatusSince) w.U8(p.writeStatus);
  if (v >= kProjectIdleSleepSince) w.U8(p.idleSleep);
  if (v >= kProjectMediaExtSince) w.String(p.mediaExtensions);
  if (v >= kProjectPauseSince) w.U8(p.pauseWhenInactive);
  if (v >= kProjectMultiDiscSince) w.U8(p.multiDisc);
  if (v >= kProjectToolbarSince) w.U8(p.toolbarVisible);
  w.String(p.diskMessage);
  w.String(p.quitMessage);
  w.I32(static_cast<int32_t>(p.initialVars.size()));
  for (const TInitialVar& var : p.initialVars) {
    w.U8(var.type);
    w.String(var.name);
    switch (var.type) {
      case PT_INT: w.I32(var.intValue); break;
      case PT_FLOAT: w.ExtendedRaw(var.realValue); break;
      case PT_BOOL: w.U8(var.flagValue); break;
      case PT_STR: w.String(var.strValue); break;
      default: break;
    }
  }
  p.folderDisks.Save(w);
}

std::vector<uint8_t> ProjectFileBytes(const TProjectFile& project) {
  TKoMemoryStream s;
  WriteProjectFile(project, s);
  return s.Bytes();
}

namespace {

void WriteStringList(RecordWriter& w, const std::vector<std::string>& list) {
  w.I32(static_cast<int32_t>(list.size()));
  for (const std::string& s : list) w.String(s);
}

}  // namespace

void WriteInstallSet(const TQuboInstallSet& s, TStream& out) {
  RecordWriter w(out);
  const int32_t v = s.version;
  if (v < 0 || v > 999) throw QuboError("install record version must be 0-999");
  if (v > 0) {
    char head[16];
    std::snprintf(head, sizeof head, "is%03d", static_cast<int>(v));
    w.Bytes(head, 5);
  }
  const bool wide = v >= kInstallWideNumbersSince;
  auto number = [&](int64_t x) {
    if (wide) {
      w.I64(x);
    } else {
      w.I32(static_cast<int32_t>(x));
    }
  };
  w.I32(s.discIndex);
  w.String(s.projectName);
  w.String(s.text1);
  w.String(s.text2);
  w.String(s.text3);
  w.U8(s.byte1);
  w.String(s.text4);
  w.U8(s.byte2);
  w.I32(static_cast<int32_t>(s.groups.size()));
  w.String(s.text5);
  w.I32(s.number1);
  w.U8(s.byte3);
  w.U8(s.byte4);
  w.String(s.text6);
  w.String(s.text7);
  for (const auto& g : s.groups) {
    for (int64_t x : g) number(x);
  }
  for (int64_t x : s.numbers) number(x);
  w.U8(s.byte5);
  if (v >= kInstallByte6Since) w.U8(s.byte6);
  if (v >= kInstallList1Since) WriteStringList(w, s.list1);
  if (v >= kInstallFullSince) w.U8(s.fullInstall);
  if (v >= kInstallByte7Since) w.U8(s.byte7);
  if (v >= kInstallByte8Since) w.U8(s.byte8);
  if (v >= kInstallList2Since) WriteStringList(w, s.list2);
  if (v >= kInstallText8Since) w.String(s.text8);
  if (v >= kInstallText9Since) {
    w.String(s.text9);
    w.String(s.text10);
  }
}

std::vector<uint8_t> InstallSetBytes(const TQuboInstallSet& install) {
  TKoMemoryStream s;
  WriteInstallSet(install, s);
  return s.Bytes();
}

}  // namespace qubo::authoring
