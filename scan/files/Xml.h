#pragma once
// The engine's one XML parser, for files from outside: a document parsed whole into a
// read-only tree of elements. No DTD is read (one refuses the document), so no entity
// but the five predefined ones and character references is ever expanded; nesting is
// bounded. Parse throws nothing; Text() may throw std::bad_alloc. Any thread; a document
// and its elements belong to one.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// Elements nested deeper than this refuse the document (the root is at depth 1).
inline constexpr std::size_t kMaxXmlDepth = 256;

enum class XmlError {
    None,
    NotXml,   // not well-formed, a NUL byte, no single root element, or an unknown reference
    Doctype,  // a <!DOCTYPE or <!ENTITY anywhere, even in a comment
    TooDeep,  // elements nested deeper than kMaxXmlDepth
    NoMemory, // the tree did not fit in memory
};

// An element of a parsed document, valid while the document lives; false when none.
class XmlElement {
public:
    XmlElement() = default;
    explicit operator bool() const { return m_node != nullptr; }

    // The name without its namespace prefix: "Polygon" for <kml:Polygon>. On an element
    // that is none, each of these gives nothing.
    std::string_view Name() const;
    // Child elements in document order; with localName, only those of that local name.
    XmlElement FirstChild(std::string_view localName = {}) const;
    XmlElement Next(std::string_view localName = {}) const;
    // The attribute named exactly name, its references resolved; nothing when absent.
    std::optional<std::string_view> Attribute(std::string_view name) const;
    // The element's own character data and CDATA sections, in order, references
    // resolved; the text of child elements is left out.
    std::string Text() const;

private:
    friend class CXmlDocument;
    explicit XmlElement(const void* node) : m_node(node) {}
    static XmlElement ElementFrom(const void* node, std::string_view localName);
    const void* m_node = nullptr;
};

class CXmlDocument {
public:
    CXmlDocument();
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Parses a copy of text (a UTF-8 byte order mark is skipped). On an error the
    // document is empty.
    XmlError Parse(std::string_view text);
    XmlElement Root() const;

private:
    struct Parsed;
    std::unique_ptr<Parsed> m_parsed;
};

} // namespace vantrell
