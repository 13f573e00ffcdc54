// fontconfig font source.

#include "platform/fcfonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>

#include "support/encoding.h"

namespace qubo::platform {
namespace {

class FontconfigSource : public FontSource {
 public:
  FontconfigSource() : config_(FcInitLoadConfigAndFonts()) {}
  ~FontconfigSource() override {
    if (config_) FcConfigDestroy(config_);
  }
  FontconfigSource(const FontconfigSource&) = delete;
  FontconfigSource& operator=(const FontconfigSource&) = delete;

  std::vector<FontFamily> Families() override {
    std::vector<FontFamily> out;
    if (!config_) return out;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_SPACING, FC_OUTLINE, FC_LANG, nullptr);
    FcFontSet* set = pattern && objects ? FcFontList(config_, pattern, objects) : nullptr;
    std::map<std::string, FontFamily> byName;
    if (set) {
      for (int i = 0; i < set->nfont; ++i) {
        FcPattern* font = set->fonts[i];
        int spacing = FC_PROPORTIONAL;
        FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
        FcBool outline = FcTrue;
        FcPatternGetBool(font, FC_OUTLINE, 0, &outline);
        FcLangSet* langs = nullptr;
        const bool japanese = FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch && langs &&
                              FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangDifferentLang;
        FcChar8* name = nullptr;
        for (int n = 0; FcPatternGetString(font, FC_FAMILY, n, &name) == FcResultMatch; ++n) {
          auto cp = Utf8ToCp932(reinterpret_cast<const char*>(name));
          if (!cp || cp->empty()) continue;
          auto [it, added] = byName.try_emplace(*cp);
          FontFamily& f = it->second;
          if (added) {
            f.name = *cp;
            f.scalable = outline != FcFalse;
          } else {
            f.scalable = f.scalable || outline != FcFalse;
          }
          f.fixedPitch = f.fixedPitch || spacing >= FC_DUAL;
          f.japanese = f.japanese || japanese;
        }
      }
      FcFontSetDestroy(set);
    }
    if (objects) FcObjectSetDestroy(objects);
    if (pattern) FcPatternDestroy(pattern);
    out.reserve(byName.size());
    for (auto& [name, family] : byName) out.push_back(std::move(family));
    return out;
  }

  std::optional<FontFile> FindFile(const std::string& familyCp932, bool bold, bool italic) override {
    if (!config_) return std::nullopt;
    const std::string family = Cp932ToUtf8(familyCp932);
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(config_, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config_, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::nullopt;
    std::optional<FontFile> out;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
      FontFile f;
      f.path = reinterpret_cast<const char*>(file);
      int index = 0;
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) f.index = index;
      FcChar8* name = nullptr;
      for (int n = 0; FcPatternGetString(match, FC_FAMILY, n, &name) == FcResultMatch; ++n) {
        if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) f.exactFamily = true;
      }
      out = std::move(f);
    }
    FcPatternDestroy(match);
    return out;
  }

 private:
  FcConfig* config_;
};

}  // namespace

std::unique_ptr<FontSource> MakeFontconfigSource() { return std::make_unique<FontconfigSource>(); }

}  // namespace qubo::platform
