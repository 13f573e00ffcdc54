// Built-in functions on components: properties, existence, the per-entry states of list-like
// components, listing, coordinate conversion, menus, creation and deletion, and the input
// method of edit components. A component is found by name in the scene; where it does not
// exist a function yields nothing or false.

#include <string>
#include <unordered_set>
#include <vector>

#include "script/numbertext.h"
#include "script/paramcollection.h"
#include "script/scripthost.h"
#include "script/sysfuncfamilies.h"
#include "script/sysfuncman.h"
#include "support/sjis.h"

namespace qubo {
namespace {

using sysfunc::ArgPtr;
using sysfunc::BoolArg;
using sysfunc::IntArg;
using sysfunc::StrArg;

enum : int {
  kGetProp = 2,
  kSetProp = 3,
  kExists = 19,
  kGetCheck = 24,
  kSetCheck = 25,
  kListCompo = 32,
  kToClientX = 33,
  kToClientY = 34,
  kToScreenX = 35,
  kToScreenY = 36,
  kIndexOfMenu = 47,
  kInPrimary = 69,
  kGetEnabled = 131,
  kSetEnabled = 132,
  kGetVisible = 140,
  kSetVisible = 141,
  kGetGroupIndex = 145,
  kGetSelected = 146,
  kSetSelected = 147,
  kInCabinet = 154,
  kCreateObject = 161,
  kDeleteObject = 162,
  kGetItem = 163,
  kGetImeOpened = 166,
  kSetImeOpened = 167,
};

// Kind codes of the component table that the functions look at.
constexpr int32_t kLtPrevMenu = 25;
constexpr int32_t kLtLast = 27;

// The component named by argument k (counting from 1).
TScriptComponent* Compo(TFuncCall& c, int k = 1) {
  const std::string name = StrArg(c, k);
  return name.empty() ? nullptr : c.host.FindComponent(name);
}

// The entry argument 2 names: a text given to a preview menu is integer text or else an
// entry name; otherwise the integer.
int32_t EntryOf(TScriptComponent& compo, const TFuncCall& c) {
  const TCustomParam* a = ArgPtr(c, 2);
  if (a == nullptr) return 0;
  if (compo.TypeCode() == kLtPrevMenu && a->ParamType() == PT_STR) {
    const std::string text = a->AsStr();
    if (const auto n = numtext::ParseInt(text)) return *n;
    return compo.FindEntry(text);
  }
  return a->AsInt();
}

// ListCompo(var, type, parent, deep).
int32_t ListCompo(TFuncCall& c) {
  TCustomParam* var = ArgPtr(c, 1);
  const int32_t type = IntArg(c, 2);
  const bool anyType = type == 0 || type > kLtLast;
  const std::string parentName = c.argCount >= 3 ? StrArg(c, 3) : std::string("ALL");
  const bool deep = BoolArg(c, 4);

  std::vector<std::string> names;
  std::unordered_set<TScriptComponent*> listed;
  std::vector<TScriptComponent*> start;
  bool found = true;
  if (parentName == "ALL") {
    start = c.host.Components(nullptr);
  } else if (TScriptComponent* parent = c.host.FindComponent(parentName)) {
    start = c.host.Components(parent);
  } else {
    found = false;
  }
  if (found) {
    // Breadth first; with deep, the children of every listed component join the search.
    std::vector<TScriptComponent*> queue = std::move(start);
    for (size_t i = 0; i < queue.size(); ++i) {
      TScriptComponent* compo = queue[i];
      if (compo == nullptr || (!anyType && compo->TypeCode() != type)) continue;
      if (!listed.insert(compo).second) continue;
      names.push_back(compo->Name());
      if (deep) {
        for (TScriptComponent* child : c.host.Components(compo)) queue.push_back(child);
      }
    }
  }
  if (var != nullptr) {
    if (names.empty()) {
      // A scalar holding the empty string (a reference's scalar setter writes one element).
      var->SetDims({1});
      var->MakeScalar();
      var->SetStrAt(0, std::string());
    } else {
      var->SetDims({static_cast<int32_t>(names.size())});
      for (size_t i = 0; i < names.size(); ++i) var->SetStrAt(static_cast<int32_t>(i), names[i]);
    }
  }
  return static_cast<int32_t>(names.size());
}

// The menu entry texts, one per line (CR, LF or CR LF).
int32_t IndexOfMenu(TScriptComponent& compo, const std::string& text) {
  const std::string menu = compo.MenuText();
  int32_t index = 0;
  size_t start = 0;
  while (start < menu.size()) {
    size_t end = start;
    while (end < menu.size() && menu[end] != '\r' && menu[end] != '\n') ++end;
    if (sjis::EqualsNoCase(std::string_view(menu).substr(start, end - start), text)) return index;
    ++index;
    if (end < menu.size() && menu[end] == '\r' && end + 1 < menu.size() && menu[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return -1;
}

}  // namespace

bool CallComponentFunction(int index, TFuncCall& c) {
  TFuncResult& r = c.result;
  switch (index) {
    case kGetProp:
      if (TScriptComponent* compo = Compo(c)) compo->GetProperty(IntArg(c, 2) & 0xFF, r);
      return true;
    case kSetProp:
      if (TScriptComponent* compo = Compo(c); compo != nullptr && ArgPtr(c, 3) != nullptr) {
        compo->SetProperty(IntArg(c, 2) & 0xFF, *ArgPtr(c, 3));
      }
      return true;
    case kExists: r.SetBool(Compo(c) != nullptr); return true;

    case kGetCheck:
      if (TScriptComponent* compo = Compo(c)) r.SetBool(compo->GetCheck(IntArg(c, 2)));
      return true;
    case kSetCheck:
      if (TScriptComponent* compo = Compo(c)) compo->SetCheck(IntArg(c, 2), BoolArg(c, 3));
      return true;
    case kGetEnabled:
      if (TScriptComponent* compo = Compo(c)) r.SetBool(compo->GetEnabled(EntryOf(*compo, c)));
      return true;
    case kSetEnabled:
      if (TScriptComponent* compo = Compo(c)) compo->SetEnabled(EntryOf(*compo, c), BoolArg(c, 3));
      return true;
    case kGetVisible:
      if (TScriptComponent* compo = Compo(c)) r.SetBool(compo->GetVisible(EntryOf(*compo, c)));
      return true;
    case kSetVisible:
      if (TScriptComponent* compo = Compo(c)) compo->SetVisible(EntryOf(*compo, c), BoolArg(c, 3));
      return true;
    case kGetGroupIndex:
      if (TScriptComponent* compo = Compo(c)) r.SetInt(compo->GroupIndex(EntryOf(*compo, c)));
      return true;
    case kGetSelected:
      if (TScriptComponent* compo = Compo(c)) r.SetBool(compo->GetSelected(EntryOf(*compo, c)));
      return true;
    case kSetSelected:
      if (TScriptComponent* compo = Compo(c)) compo->SetSelected(EntryOf(*compo, c), BoolArg(c, 3));
      return true;
    case kGetItem:
      r.SetStr(std::string());
      if (TScriptComponent* compo = Compo(c)) r.SetStr(compo->ItemText(IntArg(c, 2)));
      return true;

    case kListCompo: r.SetInt(ListCompo(c)); return true;
    case kToClientX:
    case kToClientY:
    case kToScreenX:
    case kToScreenY: {
      const bool isX = index == kToClientX || index == kToScreenX;
      const int32_t v = IntArg(c, 2);
      int32_t out = v;
      if (TScriptComponent* compo = Compo(c)) {
        const TScriptPoint p = isX ? TScriptPoint{v, 0} : TScriptPoint{0, v};
        const TScriptPoint q = index == kToClientX || index == kToClientY ? compo->ScreenToClient(p) : compo->ClientToScreen(p);
        out = isX ? q.x : q.y;
      }
      r.SetInt(out);
      return true;
    }
    case kIndexOfMenu: {
      TScriptComponent* compo = Compo(c);
      r.SetInt(compo ? IndexOfMenu(*compo, StrArg(c, 2)) : -1);
      return true;
    }
    case kInPrimary: {
      TScriptComponent* compo = Compo(c);
      r.SetBool(compo != nullptr && compo->OnCurrentBase() && !compo->InCabinet());
      return true;
    }
    case kInCabinet: {
      TScriptComponent* compo = Compo(c);
      r.SetBool(compo != nullptr && compo->InCabinet());
      return true;
    }
    case kCreateObject: {
      // A parent that is not named or not found: the current base layer.
      TScriptComponent* parent = c.argCount >= 3 ? Compo(c, 3) : nullptr;
      r.SetBool(c.host.CreateComponent(IntArg(c, 1), StrArg(c, 2), parent));
      return true;
    }
    case kDeleteObject: {
      TScriptComponent* compo = Compo(c);
      r.SetBool(compo != nullptr && !compo->IsBaseLayer() && c.host.DeleteComponent(compo));
      return true;
    }
    case kGetImeOpened: {
      TScriptComponent* compo = Compo(c);
      r.SetBool(compo != nullptr && compo->ImeOpened());
      return true;
    }
    case kSetImeOpened: {
      TScriptComponent* compo = Compo(c);
      const bool want = BoolArg(c, 2);
      if (compo != nullptr) compo->SetImeOpened(want);
      r.SetBool(compo != nullptr && compo->ImeOpened() == want);
      return true;
    }
    default: return false;
  }
}

}  // namespace qubo
