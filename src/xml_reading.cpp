// A workbook's XML parts read with XmlLite (xmllite.dll, in every Windows since Vista and in Wine), loaded on first
// need as line_breaking.cpp loads its analysis, so the exam and the checker never load it. The reader is pulled one
// node at a time; nothing of a part is kept but what the caller keeps.
#include "xml_reading.h"

#include <windows.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cstdio>

namespace {

using CreateReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateReaderFunction CreateReader() {
    static const CreateReaderFunction function = [] {
        const HMODULE library = LoadLibraryW(L"xmllite.dll");
        return reinterpret_cast<CreateReaderFunction>(
            reinterpret_cast<void (*)()>(library ? GetProcAddress(library, "CreateXmlReader") : nullptr));
    }();
    return function;
}

void AssignUtf8(std::string& out, const WCHAR* text, UINT length) {
    // Names, numbers and most texts are ASCII: copied without the two calls a conversion takes.
    out.resize(length);
    UINT ascii = 0;
    while (ascii < length && text[ascii] < 0x80) {
        out[ascii] = static_cast<char>(text[ascii]);
        ++ascii;
    }
    if (ascii == length) return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
}

// The part as the reader is given it: every character beyond ASCII written as a character reference, and the
// references to tab, LF and CR written as those characters. Wine's reader decodes the part a block at a time and
// turned a character cut between two blocks into U+FFFD; it also read a reference to a line break or a tab as a
// space. Both forms mean the same text to any reader, so the part reads the same on Windows. Attribute values, where
// a literal line break would be read as a space, hold only names and numbers in a workbook; a CDATA section, where
// a reference is not one, is left as it is.
std::string ForTheReader(const std::string& bytes) {
    if (bytes.find("<![CDATA[") != std::string::npos) return bytes;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead >= 0x80) {
            // Well-formed UTF-8, checked by the caller.
            const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            char32_t code = lead & (0x7F >> length);
            for (size_t k = 1; k < length; ++k) code = code << 6 | (static_cast<unsigned char>(bytes[at + k]) & 0x3F);
            char reference[16];
            std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(code));
            out += reference;
            at += length;
        } else if (bytes[at] == '&' && bytes[at + 1] == '#') {
            const size_t end = bytes.find(';', at);
            const std::string name = bytes.substr(at + 2, end == std::string::npos ? 0 : end - at - 2);
            const char literal = name == "10" || name == "xA" || name == "xa" || name == "x0A" || name == "x0a" ? '\n'
                                 : name == "9" || name == "x9" || name == "x09"                                  ? '\t'
                                 : name == "13" || name == "xD" || name == "xd" || name == "x0D" || name == "x0d" ? '\r'
                                                                                                                   : 0;
            if (literal) {
                out += literal;
                at = end + 1;
            } else {
                out += bytes[at++];
            }
        } else {
            out += bytes[at++];
        }
    }
    return out;
}

// Releases a COM object when the reading ends, however it ends.
template <typename T>
struct Released {
    T* object = nullptr;
    ~Released() {
        if (object) object->Release();
    }
};

}  // namespace

const std::string* FindAttribute(const XmlNode& node, const char* name) {
    for (const XmlAttribute& attribute : node.attributes) {
        if (attribute.name == name) return &attribute.value;
    }
    return nullptr;
}

XmlReading ReadXml(const std::string& bytes, const std::function<bool(const XmlNode&)>& visit) {
    const CreateReaderFunction create = CreateReader();
    if (!create) return {"Windows' XML reader (xmllite.dll) could not be loaded"};
    if (bytes.size() > 0x7FFFFFFFu) return {"the part is over 2 GB"};
    // Both formats keep their parts in UTF-8, and XML allows no control character but tab, CR and LF. A part that
    // is otherwise is refused before the reader sees it: Wine's reader, guessing another encoding from such bytes,
    // stops the whole program on an assertion (a NUL among the first bytes does it).
    const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (bytes.size() <= start || bytes[start] != '<') return {"its XML does not start with a tag"};
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return {"its XML holds a control character, which XML does not allow"};
        }
    }
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                            0) == 0) {
        return {"its XML is not in UTF-8"};
    }
    const std::string given = ForTheReader(bytes);
    if (given.size() > 0x7FFFFFFFu) return {"the part is over 2 GB"};
    Released<IStream> stream{SHCreateMemStream(reinterpret_cast<const BYTE*>(given.data()),
                                               static_cast<UINT>(given.size()))};
    if (!stream.object) return {"not enough memory to read the part"};
    Released<IXmlReader> reader;
    if (FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader.object), nullptr)) ||
        FAILED(reader.object->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader.object->SetInput(stream.object))) {
        return {"Windows' XML reader could not be started"};
    }

    XmlNode node;
    size_t depth = 0;
    size_t nodes = 0;
    XmlNodeType type = XmlNodeType_None;
    HRESULT hr = S_OK;
    while ((hr = reader.object->Read(&type)) == S_OK) {
        // Wine's reader, at the end of a document cut inside its elements, answers an empty text (or a node of no
        // kind) again and again instead of an error. Windows' reader never hands out either, and every node takes
        // at least one byte of the part, so these guards are right on both and cannot end a well-formed part.
        if (type == XmlNodeType_None || ++nodes > bytes.size()) {
            return {"its XML ends before its elements are closed"};
        }
        const WCHAR* text = nullptr;
        UINT length = 0;
        switch (type) {
        case XmlNodeType_Element: {
            // The depth is counted here rather than left to the reader's own limit, which Wine does not keep.
            if (++depth > XML_DEPTH_LIMIT) {
                return {"its XML is nested more than " + std::to_string(XML_DEPTH_LIMIT) + " levels deep"};
            }
            node.kind = XmlNodeKind::Start;
            reader.object->GetLocalName(&text, &length);
            AssignUtf8(node.name, text, length);
            const bool empty = reader.object->IsEmptyElement();
            node.attributes.clear();
            for (HRESULT at = reader.object->MoveToFirstAttribute(); at == S_OK;
                 at = reader.object->MoveToNextAttribute()) {
                node.attributes.emplace_back();
                reader.object->GetLocalName(&text, &length);
                AssignUtf8(node.attributes.back().name, text, length);
                reader.object->GetValue(&text, &length);
                AssignUtf8(node.attributes.back().value, text, length);
            }
            reader.object->MoveToElement();
            if (!visit(node)) return {};
            if (empty) {
                --depth;
                node.kind = XmlNodeKind::End;
                if (!visit(node)) return {};
            }
            break;
        }
        case XmlNodeType_EndElement:
            if (depth) --depth;
            node.kind = XmlNodeKind::End;
            reader.object->GetLocalName(&text, &length);
            AssignUtf8(node.name, text, length);
            if (!visit(node)) return {};
            break;
        case XmlNodeType_Text:
        case XmlNodeType_CDATA:
        case XmlNodeType_Whitespace:
            node.kind = XmlNodeKind::Text;
            node.name.clear();
            reader.object->GetValue(&text, &length);
            if (length == 0) return {"its XML ends before its elements are closed"};
            AssignUtf8(node.text, text, length);
            if (!visit(node)) return {};
            break;
        case XmlNodeType_DocumentType:
            // Entities a DTD declares can expand without bound; no workbook part has one.
            return {"its XML declares a document type, which no workbook has"};
        default:
            break;
        }
    }
    if (depth != 0 && SUCCEEDED(hr)) return {"its XML ends before its elements are closed"};
    if (hr == static_cast<HRESULT>(WC_E_DTDPROHIBITED)) {
        return {"its XML declares a document type, which no workbook has"};
    }
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
        return {std::string("its XML is not well-formed (XmlLite error 0x") + code + ")"};
    }
    return {};
}
