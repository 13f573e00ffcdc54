// Dispatch of the table functions. Arguments are read with the value operations; where the
// active table, a current record or a named table is missing the function answers false, 0,
// 0.0, "" or -1 (the default argument for the direct reads).

#include "data/dbfuncs.h"

#include <cstring>

#include "storage/vrfiles.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo {

namespace {

enum : int {
  kCreateTable = 87, kSetActive, kAddField, kSetRecNo, kInsert, kDelete,
  kGetInt, kSetInt, kGetFloat, kSetFloat, kGetBool, kSetBool, kGetStr, kSetStr,
  kRecordCount, kFindFirst, kFindLast, kFindNext, kFindPrior, kLocate, kLoadTsvFile,
  kDirectGetInt, kDirectSetInt, kDirectGetFloat, kDirectSetFloat, kDirectGetBool, kDirectSetBool,
  kDirectGetStr, kDirectSetStr, kCopyTable, kDeleteTable, kInsertTable, kCopy, kClearTable, kSort,
  kGetActive, kGetRecNo, kClearRecord,
};
static_assert(kClearRecord == kDBFuncLast);

class Args {
 public:
  Args(TCustomParam* const* args, int count) : args_(args), count_(count < 0 ? 0 : count) {}
  int Count() const { return count_; }
  TCustomParam* operator[](int i) const { return i < count_ ? args_[i] : nullptr; }
  std::string Str(int i) const { return i < count_ ? args_[i]->AsStr() : std::string(); }
  int32_t Int(int i, int32_t def = 0) const { return i < count_ ? args_[i]->AsInt() : def; }
  Real Float(int i, Real def = 0) const { return i < count_ ? args_[i]->AsFloat() : def; }
  bool Bool(int i, bool def = false) const { return i < count_ ? args_[i]->AsBool() : def; }

 private:
  TCustomParam* const* args_;
  int count_;
};

// Writes argument value v into field k of the record with the write of v's own type.
void WriteByValueType(TDBTable& t, int32_t record, int field, const TCustomParam& v) {
  switch (v.ParamType()) {
    case PT_FLOAT: t.SetFloat(record, field, v.AsFloat()); break;
    case PT_BOOL: t.SetBool(record, field, v.AsBool()); break;
    case PT_STR: t.SetStr(record, field, v.AsStr()); break;
    default: t.SetInt(record, field, v.AsInt()); break;
  }
}

}  // namespace

bool TDBFunctions::LoadTsvFile(TDBManager& m, const std::string& name) {
  TDBTable* t = m.Active();
  if (!t || name.empty()) return false;
  TVrFileManager* vfs = TVrFileManager::Instance();
  const bool available = fileAvailable ? fileAvailable(name) : (vfs && vfs->Exists(name));
  if (!available || !vfs) return false;
  TKoMemoryStream bytes;
  try {
    vfs->Read(bytes, name);
  } catch (const QuboError&) {
    return false;
  }
  if (bytes.GetSize() == 0) return false;
  const std::string_view text(reinterpret_cast<const char*>(bytes.Memory()), bytes.Bytes().size());
  return t->LoadTsv(SplitTextLines(text));
}

void TDBFunctions::Call(int index, TCustomParam* const* args, int argCount, TFuncResult& result) {
  if (!Handles(index)) throw QuboError("table functions: not a table function index " + std::to_string(index));
  TDBManager absent;
  TDBManager* managed = Manager();
  if (!managed && (index == kCreateTable || index == kClearTable)) {
    result.SetBool(false);
    return;
  }
  TDBManager& m = managed ? *managed : absent;
  const Args a(args, argCount);
  TDBTable* active = m.Active();
  const bool current = active && active->RecNo() >= 0;
  // The table named by argument 0, or the active one without it.
  auto namedOrActive = [&]() { return a.Count() >= 1 ? m.Find(a.Str(0)) : active; };

  switch (index) {
    case kCreateTable: result.SetBool(m.CreateTable(a.Str(0), a.Bool(1)) >= 0); break;
    case kSetActive: result.SetBool(m.SetActive(a.Str(0))); break;
    case kAddField: {
      const int32_t type = a.Int(1);
      const bool ok = active && type >= DB_INT && type <= DB_STR &&
                      active->AddField(a.Str(0), static_cast<uint8_t>(type), a.Int(2, 0)) >= 0;
      result.SetBool(ok);
      break;
    }
    case kSetRecNo: result.SetBool(active && active->SetRecNo(a.Int(0))); break;
    case kInsert: {
      if (!active || !active->Append()) {
        result.SetBool(false);
        break;
      }
      const int n = std::min(a.Count(), active->Fields().Count());
      for (int k = 0; k < n; ++k) WriteByValueType(*active, active->RecNo(), k, *a[k]);
      result.SetBool(true);
      break;
    }
    case kDelete: result.SetBool(current && active->Delete()); break;

    case kGetInt: {
      int32_t v = 0;
      if (!active || !active->GetInt(a.Str(0), v)) v = 0;
      result.SetInt(v);
      break;
    }
    case kGetFloat: {
      Real v = 0;
      if (!active || !active->GetFloat(a.Str(0), v)) v = 0;
      result.SetFloat(v);
      break;
    }
    case kGetBool: {
      bool v = false;
      if (!active || !active->GetBool(a.Str(0), v)) v = false;
      result.SetBool(v);
      break;
    }
    case kGetStr: {
      std::string v;
      if (!active || !active->GetStr(a.Str(0), v)) v.clear();
      result.SetStr(std::move(v));
      break;
    }
    case kSetInt: result.SetBool(current && active->SetInt(a.Str(0), a.Int(1))); break;
    case kSetFloat: result.SetBool(current && active->SetFloat(a.Str(0), a.Float(1))); break;
    case kSetBool: result.SetBool(current && active->SetBool(a.Str(0), a.Bool(1))); break;
    case kSetStr: result.SetBool(current && active->SetStr(a.Str(0), a.Str(1))); break;

    case kRecordCount: {
      const TDBTable* t = namedOrActive();
      result.SetInt(t ? t->RecordCount() : -1);
      break;
    }
    case kFindFirst: result.SetBool(active && active->First()); break;
    case kFindLast: result.SetBool(active && active->Last()); break;
    case kFindNext: result.SetBool(active && active->Next()); break;
    case kFindPrior: result.SetBool(active && active->Prior()); break;
    case kLocate: {
      bool ok = false;
      if (active) {
        std::vector<int32_t> found;
        active->Find(found, a[0], a.Bool(3), a.Bool(2), a[1]);
        ok = !found.empty() && active->SetRecNo(found.front());
      }
      result.SetBool(ok);
      break;
    }
    case kLoadTsvFile: result.SetBool(LoadTsvFile(m, a.Str(0))); break;

    // table, names, values, ignoreCase, partial, field, default or value
    case kDirectGetInt: {
      int32_t v = 0;
      m.DirectGetInt(a.Str(0), a[1], a[2], a.Bool(3), a.Bool(4), a.Str(5), a.Int(6), v);
      result.SetInt(v);
      break;
    }
    case kDirectGetFloat: {
      Real v = 0;
      m.DirectGetFloat(a.Str(0), a[1], a[2], a.Bool(3), a.Bool(4), a.Str(5), a.Float(6), v);
      result.SetFloat(v);
      break;
    }
    case kDirectGetBool: {
      bool v = false;
      m.DirectGetBool(a.Str(0), a[1], a[2], a.Bool(3), a.Bool(4), a.Str(5), a.Bool(6), v);
      result.SetBool(v);
      break;
    }
    case kDirectGetStr: {
      std::string v;
      m.DirectGetStr(a.Str(0), a[1], a[2], a.Bool(3), a.Bool(4), a.Str(5), a.Str(6), v);
      result.SetStr(std::move(v));
      break;
    }
    case kDirectSetInt:
      result.SetBool(m.DirectSetInt(a.Str(0), a[1], a[2], a.Bool(3), a.Bool(4), a.Str(5), a.Int(6)));
      break;
    case kDirectSetFloat:
      result.SetBool(m.DirectSetFloat(a.Str(0), a[1], a[2], a.Bool(3), a.Bool(4), a.Str(5), a.Float(6)));
      break;
    case kDirectSetBool:
      result.SetBool(m.DirectSetBool(a.Str(0), a[1], a[2], a.Bool(3), a.Bool(4), a.Str(5), a.Bool(6)));
      break;
    case kDirectSetStr:
      result.SetBool(m.DirectSetStr(a.Str(0), a[1], a[2], a.Bool(3), a.Bool(4), a.Str(5), a.Str(6)));
      break;

    case kCopyTable: {
      bool ok = false;
      if (active) {
        std::vector<int32_t> found;
        active->Find(found, a[1], a.Bool(4), a.Bool(3), a[2]);
        ok = m.CopyRecordsTo(a.Str(0), found);
      }
      result.SetBool(ok);
      break;
    }
    case kDeleteTable:
      result.SetBool(a.Count() >= 1 ? m.DeleteTable(a.Str(0)) : m.DeleteTableAt(m.ActiveIndex()));
      break;
    case kInsertTable: {
      bool ok = false;
      const TDBTable* source = m.Find(a.Str(0));
      if (active && source) {
        std::vector<int32_t> found;
        source->Find(found, a[1], a.Bool(4), a.Bool(3), a[2]);
        ok = m.InsertRecordsFrom(a.Str(0), found);
      }
      result.SetBool(ok);
      break;
    }
    case kCopy: {
      bool ok = false;
      TDBTable* dest = m.Find(a.Str(0));
      if (current && dest && dest->Fields().Equals(active->Fields())) {
        // dest may be the active table: the record is copied out before appending moves it.
        const uint8_t* rec = active->Record(active->RecNo());
        const std::vector<uint8_t> copy(rec, rec + active->Fields().RecordSize());
        ok = dest->AppendCopy(copy.data()) && dest->SetRecNo(dest->RecordCount() - 1);
      }
      result.SetBool(ok);
      break;
    }
    case kClearTable:
      m.Clear();
      result.SetBool(true);
      break;
    case kSort:
      if (active) active->Sort(a[0], a[1]);
      result.SetBool(active != nullptr);
      break;
    case kGetActive: result.SetStr(active ? active->Name() : std::string()); break;
    case kGetRecNo: {
      const TDBTable* t = namedOrActive();
      result.SetInt(t ? t->RecNo() : -1);
      break;
    }
    case kClearRecord: {
      TDBTable* t = namedOrActive();
      if (t) t->ClearRecords();
      result.SetBool(t != nullptr);
      break;
    }
    case kDBFuncGetTableCount: result.SetInt(m.Count()); break;
    case kDBFuncGetTable: {
      const int32_t i = a.Int(0, -1);
      const TDBTable* t = m.Table(i);
      if (t && a.Count() >= 2) {
        a[1]->SetStr(t->Name());
        if (a.Count() >= 3) a[2]->SetBool(t->Status());
      }
      result.SetBool(t != nullptr && a.Count() >= 2);
      break;
    }
    default: break;
  }
}

}  // namespace qubo
