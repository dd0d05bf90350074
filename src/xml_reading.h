// A workbook's XML parts read with Windows' own XML reader (XmlLite), one node at a time, so a sheet of 100,000
// rows is never held as a tree; a document type declaration and nesting deeper than any workbook needs are refused.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

enum class XmlNodeKind { Start, End, Text };

struct XmlAttribute {
    std::string name;   // local name, without its prefix
    std::string value;  // UTF-8, entities replaced
};

// One node as the reader meets it. An empty element (<a/>) is met as its Start and then its End.
struct XmlNode {
    XmlNodeKind kind = XmlNodeKind::Start;
    std::string name;                      // Start and End: the element's local name, without its prefix
    std::vector<XmlAttribute> attributes;  // Start only
    std::string text;                      // Text only: text, CDATA or white space, in UTF-8
};

// Deeper than this is refused: an .xlsx sheet nests 7 levels, an .ods content.xml about 12.
constexpr size_t XML_DEPTH_LIMIT = 100;

// What reading a part came to: empty when it was read to its end (or `visit` stopped it), otherwise why not.
struct XmlReading {
    std::string problem;
};

// Reads an XML document's bytes, handing every node to `visit` in document order until it returns false. The node
// handed over is reused from call to call.
XmlReading ReadXml(const std::string& bytes, const std::function<bool(const XmlNode&)>& visit);

// The value of the attribute of `node` with local name `name`, or nullptr.
const std::string* FindAttribute(const XmlNode& node, const char* name);
