// Responsibilities: reads the small XML documents that rig-control programs send (XML-RPC
// responses, RadioInfo datagrams) as a stream of events: element starts and ends, and text with
// the predefined entities, character references and CDATA sections decoded. Checks that the
// document is well formed (matching tags, one document element, no stray text, valid
// characters) and refuses document type declarations and nesting beyond a limit, so that a
// hostile document costs no more than one pass over its bytes. Attributes are checked and
// skipped; namespaces and encodings other than UTF-8 are not interpreted.
// Collaborations: used by the protocol parsers in sources/rig_protocols; owns nothing but a view
// of the document, which must outlive the reader.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro {

class XmlReader {
public:
    enum class Event {
        Start, // an element begins: name()
        End,   // an element ends (also right after the Start of an empty element): name()
        Text,  // character data inside the document element: text(), decoded
        Done,  // the document ended well formed
        Error, // the document is not acceptable: text() says why; stays at Error
    };

    XmlReader(std::string_view document, std::size_t maxDepth);

    Event next();
    std::string_view name() const { return name_; }
    const std::string& text() const { return text_; }
    // Elements open around the current position (a Start counts its own element).
    std::size_t depth() const { return open_.size(); }

private:
    Event fail(std::string why);
    bool instruction();
    bool declaration(std::string_view rest);
    Event startTag();
    Event endTag();
    Event characters();
    bool decodeText(std::string_view raw, std::string& out, bool references);
    // Moves past `end`, searching after `start` (where the reader is).
    bool skipPast(std::string_view start, std::string_view end);
    std::string_view readName();
    void skipBlanks();

    std::string_view doc_;
    std::size_t pos_ = 0;
    std::size_t bom_ = 0; // where the document starts, after a byte order mark
    std::size_t maxDepth_;
    std::vector<std::string_view> open_;
    bool checked_ = false; // the characters, once
    bool rootSeen_ = false;
    bool pendingEnd_ = false; // an empty element's End is due
    bool failed_ = false;
    std::string_view name_;
    std::string text_;
};

} // namespace veltaro
