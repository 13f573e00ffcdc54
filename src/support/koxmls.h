#pragma once
// A small reader and writer of code-page-932 XML documents: one tag never spans lines,
// attributes in double quotes, text content, the four predefined entities and numeric
// character references. No comments, processing instructions or CDATA are kept.
//
// The reader is line based: each line is cut into tokens (tags and text), and elements are
// built from the tokens. A closing or empty tag named like the element being read ends it,
// so an empty child named like its parent ends the parent (stored files rely on this).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/stream.h"

namespace qubo {

class TKoXmlTags;

// Called with the token list, the current index and the last index (line indexes while
// tokenizing, token indexes while building elements).
using TKoXmlProgress = std::function<void(const TKoXmlTags& tags, int index, int last)>;

// Nesting deeper than this is refused while loading, so a crafted document cannot exhaust
// the stack.
inline constexpr int kXmlMaxDepth = 256;

// The escaped form of text and attribute values, and its inverse.
std::string XmlEscape(std::string_view text);
std::string XmlUnescape(std::string_view text);

struct TKoXmlValue {
  std::string name;
  std::string value;
};

// One token of a document: a declaration ("<?..."), a tag ("<...") or text.
class TKoXmlTag {
 public:
  explicit TKoXmlTag(std::string text);

  const std::string& Text() const { return text_; }
  const std::string& Name() const { return name_; }
  // Attribute values as written (still escaped).
  const std::vector<TKoXmlValue>& Attrs() const { return attrs_; }

  bool IsDeclaration() const { return text_.size() >= 2 && text_[0] == '<' && text_[1] == '?'; }
  bool IsTag() const { return !text_.empty() && text_[0] == '<'; }
  bool IsText() const { return !IsTag(); }
  // A closing tag ("</a>") or an empty one ("<a/>").
  bool IsClosing() const;
  // The first attribute of that name (ASCII case ignored), or nullptr.
  const TKoXmlValue* FindAttr(std::string_view name) const;

 private:
  void Parse();
  std::string text_;
  std::string name_;
  std::vector<TKoXmlValue> attrs_;
};

class TKoXmlTags {
 public:
  // Cuts text into tokens, line by line (CR LF, LF or CR end a line).
  void Tokenize(std::string_view text);
  int Count() const { return static_cast<int>(tags_.size()); }
  const TKoXmlTag& operator[](int i) const { return tags_[static_cast<size_t>(i)]; }
  void Clear() { tags_.clear(); }

  TKoXmlProgress progress;

 private:
  void TokenizeLine(std::string_view line);
  std::vector<TKoXmlTag> tags_;
};

class TKoXmlElement {
 public:
  TKoXmlElement() = default;
  virtual ~TKoXmlElement() = default;
  TKoXmlElement(const TKoXmlElement&) = delete;
  TKoXmlElement& operator=(const TKoXmlElement&) = delete;

  // Building.
  TKoXmlElement* AddChild(const std::string& name);
  TKoXmlElement* AddChildText(const std::string& name, const std::string& text);
  int AddAttr(const std::string& name, const std::string& value);
  int AddAttrInt(const std::string& name, int32_t value) { return AddAttr(name, std::to_string(value)); }
  int AddAttrByte(const std::string& name, uint8_t value) { return AddAttr(name, std::to_string(value)); }

  // Reading.
  int ChildCount() const { return static_cast<int>(children_.size()); }
  TKoXmlElement* Child(int i) const;
  int IndexOfChild(std::string_view name) const;
  // With the strict flag set, a missing child raises "<name>がありません".
  TKoXmlElement* FindChild(std::string_view name) const;
  int AttrCount() const { return static_cast<int>(attrs_.size()); }
  const TKoXmlValue* Attr(int i) const;
  int32_t AttrInt(std::string_view name, int32_t def) const;
  std::string AttrStr(std::string_view name, const std::string& def) const;
  bool AttrBool(std::string_view name, bool def) const;
  int32_t ChildInt(std::string_view name, int32_t def) const;
  std::string ChildStr(std::string_view name, const std::string& def) const;
  bool ChildBool(std::string_view name, bool def) const;
  int Depth() const;
  bool NameIs(std::string_view name) const;
  void Clear();

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  TKoXmlElement* Parent() const { return parent_; }
  TKoXmlElement* Document() const { return document_; }
  virtual bool IsDocument() const { return false; }

  virtual void SaveToStream(TStream& stream) const;
  // Reads the rest of the stream.
  virtual void LoadFromStream(TStream& stream);

  bool strict = false;
  TKoXmlProgress progress;

 protected:
  void WriteElement(std::string& out) const;
  // Builds this element from the tag at index p; answers the index after the element.
  int ParseElement(const TKoXmlTags& tags, int p, int depth, const TKoXmlProgress& progress);
  // The first tag token at or after from, or -1.
  static int FirstTag(const TKoXmlTags& tags, int from);
  static std::string ReadAllText(TStream& stream);

  TKoXmlElement* document_ = nullptr;

 private:
  const TKoXmlValue* FindAttr(std::string_view name) const;
  std::vector<std::unique_ptr<TKoXmlElement>> children_;
  std::vector<TKoXmlValue> attrs_;
  TKoXmlElement* parent_ = nullptr;
  std::string name_;
  std::string text_;
};

// The document: it is also the file's root element.
class TKoXml : public TKoXmlElement {
 public:
  TKoXml() { document_ = this; }
  bool IsDocument() const override { return true; }
  // Declaration line, then the root element.
  void SaveToStream(TStream& stream) const override;
  // Checks the declaration; raises "未対応のファイル形式です", "未対応のXML形式です" or
  // "未対応の文字セットです".
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qubo
