#include "Xml.h"

#include <rapidxml.hpp>

#include <array>
#include <charconv>
#include <cstdint>
#include <exception>
#include <new>
#include <utility>
#include <vector>

namespace vantrell {
namespace {

using Node = rapidxml::xml_node<char>;

const Node* NodeOf(const void* node) { return static_cast<const Node*>(node); }

std::string_view LocalName(std::string_view name)
{
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix)
{
    return text.compare(at, prefix.size(), prefix) == 0;
}

bool StartsWithCaseless(std::string_view text, std::size_t at, std::string_view upper)
{
    if (text.size() - at < upper.size())
        return false;
    for (std::size_t i = 0; i < upper.size(); ++i) {
        char c = text[at + i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return true;
}

// The length of the reference starting at '&' text[at], or 0 when it is none that XML
// defines without a DTD: the five named ones, or a character reference to a character.
std::size_t ReferenceLength(std::string_view text, std::size_t at)
{
    const std::size_t semicolon = text.find(';', at);
    if (semicolon == std::string_view::npos || semicolon - at > 12)
        return 0;
    const std::string_view name = text.substr(at + 1, semicolon - at - 1);
    static constexpr std::array<std::string_view, 5> kNamed = {"amp", "lt", "gt", "quot", "apos"};
    for (const std::string_view named : kNamed) {
        if (name == named)
            return name.size() + 2;
    }
    if (name.size() < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t code = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || code == 0 ||
        code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return name.size() + 2;
}

// What the parser must never meet, found before it runs: a DTD, a NUL, an unknown
// reference (the parser would keep it as text), a '<' in an attribute value, a markup
// declaration, and nesting deeper than kMaxXmlDepth, since the parser recurses once per
// level. Counts the levels the way the parser opens them, or more.
XmlError Screen(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos)
        return XmlError::NotXml;
    for (std::size_t at = text.find("<!"); at != std::string_view::npos; at = text.find("<!", at + 2)) {
        if (StartsWithCaseless(text, at + 2, "DOCTYPE") || StartsWithCaseless(text, at + 2, "ENTITY"))
            return XmlError::Doctype;
    }
    const auto skipPast = [&](std::size_t& at, std::string_view end) {
        const std::size_t found = text.find(end, at);
        at = found == std::string_view::npos ? found : found + end.size();
        return found != std::string_view::npos;
    };
    std::size_t depth = 0;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (c == '&') {
            const std::size_t length = ReferenceLength(text, at);
            if (length == 0)
                return XmlError::NotXml;
            at += length;
            continue;
        }
        if (c != '<') {
            ++at;
            continue;
        }
        bool closed = true;
        if (StartsWith(text, at, "<!--"))
            closed = skipPast(at, "-->");
        else if (StartsWith(text, at, "<![CDATA["))
            closed = skipPast(at, "]]>");
        else if (StartsWith(text, at, "<?"))
            closed = skipPast(at, "?>");
        else if (StartsWith(text, at, "<!"))
            return XmlError::NotXml;
        else if (StartsWith(text, at, "</")) {
            if (depth == 0)
                return XmlError::NotXml;
            --depth;
            closed = skipPast(at, ">");
        } else {
            // A start tag: to its '>', over quoted attribute values.
            std::size_t end = at + 1;
            char quote = 0;
            for (; end < text.size(); ++end) {
                const char t = text[end];
                if (quote != 0 && t == quote) {
                    quote = 0;
                } else if (quote != 0 && t == '&') {
                    const std::size_t length = ReferenceLength(text, end);
                    if (length == 0)
                        return XmlError::NotXml;
                    end += length - 1;
                } else if (t == '<') {
                    return XmlError::NotXml;
                } else if (quote == 0 && (t == '"' || t == '\'')) {
                    quote = t;
                } else if (quote == 0 && t == '>') {
                    break;
                }
            }
            if (end == text.size())
                return XmlError::NotXml;
            if (text[end - 1] != '/' && ++depth > kMaxXmlDepth)
                return XmlError::TooDeep;
            at = end + 1;
        }
        if (!closed)
            return XmlError::NotXml;
    }
    return XmlError::None;
}

} // namespace

struct CXmlDocument::Parsed {
    std::vector<char> text; // parsed in place, so it lives as long as the tree
    rapidxml::xml_document<char> document;
};

CXmlDocument::CXmlDocument() = default;
CXmlDocument::~CXmlDocument() = default;

XmlError CXmlDocument::Parse(std::string_view text)
{
    m_parsed.reset();
    if (const XmlError screened = Screen(text); screened != XmlError::None)
        return screened;
    try {
        auto parsed = std::make_unique<Parsed>();
        parsed->text.reserve(text.size() + 1);
        parsed->text.assign(text.begin(), text.end());
        parsed->text.push_back('\0');
        parsed->document.parse<rapidxml::parse_validate_closing_tags>(parsed->text.data());
        // One root element, and no text or CDATA beside it.
        int elements = 0;
        for (const Node* node = parsed->document.first_node(); node != nullptr; node = node->next_sibling()) {
            if (node->type() != rapidxml::node_element || ++elements > 1)
                return XmlError::NotXml;
        }
        if (elements != 1)
            return XmlError::NotXml;
        m_parsed = std::move(parsed);
        return XmlError::None;
    } catch (const rapidxml::parse_error&) {
        return XmlError::NotXml;
    } catch (const std::bad_alloc&) {
        return XmlError::NoMemory;
    }
}

XmlElement CXmlDocument::Root() const
{
    return XmlElement(m_parsed ? m_parsed->document.first_node() : nullptr);
}

std::string_view XmlElement::Name() const
{
    const Node* node = NodeOf(m_node);
    if (node == nullptr)
        return {};
    return LocalName(std::string_view(node->name(), node->name_size()));
}

XmlElement XmlElement::FirstChild(std::string_view localName) const
{
    return m_node == nullptr ? XmlElement() : ElementFrom(NodeOf(m_node)->first_node(), localName);
}

XmlElement XmlElement::Next(std::string_view localName) const
{
    return m_node == nullptr ? XmlElement() : ElementFrom(NodeOf(m_node)->next_sibling(), localName);
}

// The first element named localName (any name for "") from node on along its siblings.
XmlElement XmlElement::ElementFrom(const void* from, std::string_view localName)
{
    for (const Node* node = NodeOf(from); node != nullptr; node = node->next_sibling()) {
        const XmlElement element(node);
        if (node->type() == rapidxml::node_element && (localName.empty() || element.Name() == localName))
            return element;
    }
    return XmlElement();
}

std::optional<std::string_view> XmlElement::Attribute(std::string_view name) const
{
    const rapidxml::xml_attribute<char>* attribute =
        m_node == nullptr ? nullptr : NodeOf(m_node)->first_attribute(name.data(), name.size());
    if (attribute == nullptr)
        return std::nullopt;
    return std::string_view(attribute->value(), attribute->value_size());
}

std::string XmlElement::Text() const
{
    std::string text;
    if (m_node == nullptr)
        return text;
    for (const Node* child = NodeOf(m_node)->first_node(); child != nullptr; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_data || child->type() == rapidxml::node_cdata)
            text.append(child->value(), child->value_size());
    }
    return text;
}

} // namespace vantrell
