#include "protocols/xml_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

namespace veltaro {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool startsName(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u == ':' || u >= 0x80;
}

bool continuesName(char c) {
    return startsName(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The characters XML allows, as code points.
bool isXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::uint32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point of a character reference's digits ("38", "x26"); 0 when there is none.
std::uint32_t characterReference(std::string_view ref) {
    const bool hex = !ref.empty() && ref[0] == 'x';
    if (hex)
        ref.remove_prefix(1);
    if (ref.empty())
        return 0;
    std::uint32_t c = 0;
    for (const char d : ref) {
        std::uint32_t v = 0;
        if (d >= '0' && d <= '9')
            v = std::uint32_t(d - '0');
        else if (hex && d >= 'a' && d <= 'f')
            v = std::uint32_t(d - 'a' + 10);
        else if (hex && d >= 'A' && d <= 'F')
            v = std::uint32_t(d - 'A' + 10);
        else
            return 0;
        c = c * (hex ? 16 : 10) + v;
        if (c > 0x10FFFF)
            return 0;
    }
    return c;
}

// Whether the bytes are UTF-8 of characters that XML allows.
bool isXmlUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || i + length > s.size())
            return false;
        std::uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (b & 0x3F);
        }
        // Shortest form only; surrogates and other non-characters are refused by isXmlChar.
        static constexpr std::uint32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < Least[length] || !isXmlChar(c))
            return false;
        i += length;
    }
    return true;
}

std::string quoted(std::string_view s) {
    return "\"" + std::string(s.substr(0, 20)) + (s.size() > 20 ? "...\"" : "\"");
}

} // namespace

XmlReader::XmlReader(std::string_view document, std::size_t maxDepth)
    : doc_(document), maxDepth_(maxDepth) {
    if (doc_.substr(0, 3) == "\xEF\xBB\xBF")
        pos_ = bom_ = 3;
}

XmlReader::Event XmlReader::fail(std::string why) {
    failed_ = true;
    text_ = std::move(why);
    return Event::Error;
}

XmlReader::Event XmlReader::next() {
    if (failed_)
        return Event::Error;
    if (!checked_ && !(checked_ = isXmlUtf8(doc_)))
        return fail("characters that are not UTF-8 or not allowed in XML");
    if (pendingEnd_) {
        pendingEnd_ = false;
        name_ = open_.back();
        open_.pop_back();
        return Event::End;
    }
    for (;;) {
        if (pos_ == doc_.size()) {
            if (!open_.empty())
                return fail("cut short inside <" + std::string(open_.back()) + ">");
            if (!rootSeen_)
                return fail("no document element");
            return Event::Done;
        }
        if (doc_[pos_] != '<') {
            const Event e = characters();
            if (e != Event::Done)
                return e;
            continue; // blanks outside the document element
        }
        const std::string_view rest = doc_.substr(pos_);
        if (rest.starts_with("<?")) {
            if (!instruction())
                return Event::Error;
        } else if (rest.starts_with("<!--")) {
            if (!skipPast("<!--", "-->"))
                return fail("an unfinished comment");
        } else if (rest.starts_with("<![CDATA[")) {
            if (open_.empty())
                return fail("a CDATA section outside the document element");
            const std::size_t from = pos_ + 9;
            if (!skipPast("<![CDATA[", "]]>"))
                return fail("an unfinished CDATA section");
            text_.clear();
            if (!decodeText(doc_.substr(from, pos_ - 3 - from), text_, false))
                return Event::Error;
            return Event::Text;
        } else if (rest.starts_with("<!")) {
            return fail(rest.starts_with("<!DOCTYPE") ? "a document type declaration"
                                                      : "unknown markup");
        } else if (rest.starts_with("</")) {
            return endTag();
        } else {
            return startTag();
        }
    }
}

bool XmlReader::skipPast(std::string_view start, std::string_view end) {
    const std::size_t at = doc_.find(end, pos_ + start.size());
    if (at == doc_.npos)
        return false;
    pos_ = at + end.size();
    return true;
}

// A processing instruction, or at the very start the XML declaration.
bool XmlReader::instruction() {
    const std::size_t start = pos_;
    pos_ += 2;
    const std::string_view target = readName();
    const bool isDeclaration = target == "xml";
    if (target.empty() || (isDeclaration && start != bom_) ||
        (doc_.substr(pos_, 2) != "?>" && (pos_ == doc_.size() || !isBlank(doc_[pos_])))) {
        fail(isDeclaration ? "a misplaced XML declaration" : "a bad processing instruction");
        return false;
    }
    const std::size_t from = pos_;
    if (!skipPast("", "?>")) {
        fail("an unfinished processing instruction");
        return false;
    }
    if (isDeclaration && !declaration(doc_.substr(from, pos_ - 2 - from))) {
        fail("a bad XML declaration");
        return false;
    }
    return true;
}

// The XML declaration's pseudo-attributes, each after a blank: version 1.0, then optionally the
// encoding (UTF-8, or its subset US-ASCII) and the standalone flag, in that order.
bool XmlReader::declaration(std::string_view rest) {
    static constexpr std::string_view Names[] = {"version", "encoding", "standalone"};
    const auto skipBlanksIn = [](std::string_view& s) {
        const std::size_t n = std::min(s.find_first_not_of(" \t\r\n"), s.size());
        s.remove_prefix(n);
        return n;
    };
    std::size_t allowed = 0; // the first name still allowed
    for (;;) {
        const std::size_t blanks = skipBlanksIn(rest);
        if (rest.empty())
            return allowed > 0;
        std::size_t length = 0;
        while (length < rest.size() && continuesName(rest[length]))
            ++length;
        const auto* name =
            std::find(std::begin(Names) + allowed, std::end(Names), rest.substr(0, length));
        if (blanks == 0 || name == std::end(Names) || (allowed == 0 && name != Names))
            return false;
        allowed = std::size_t(name - Names) + 1;
        rest.remove_prefix(length);
        skipBlanksIn(rest);
        if (rest.empty() || rest[0] != '=')
            return false;
        rest.remove_prefix(1);
        skipBlanksIn(rest);
        const char quote = rest.empty() ? '\0' : rest[0];
        const std::size_t close = rest.find(quote, 1);
        if ((quote != '"' && quote != '\'') || close == rest.npos)
            return false;
        std::string value(rest.substr(1, close - 1));
        for (char& c : value)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        const bool good = allowed == 1   ? value == "1.0"
                          : allowed == 2 ? value == "utf-8" || value == "us-ascii"
                                         : value == "yes" || value == "no";
        if (!good)
            return false;
        rest.remove_prefix(close + 1);
    }
}

std::string_view XmlReader::readName() {
    const std::size_t from = pos_;
    if (pos_ < doc_.size() && startsName(doc_[pos_]))
        while (++pos_ < doc_.size() && continuesName(doc_[pos_])) {
        }
    return doc_.substr(from, pos_ - from);
}

void XmlReader::skipBlanks() {
    while (pos_ < doc_.size() && isBlank(doc_[pos_]))
        ++pos_;
}

XmlReader::Event XmlReader::startTag() {
    ++pos_;
    const std::string_view name = readName();
    if (name.empty())
        return fail("a bad tag");
    if (open_.empty() && rootSeen_)
        return fail("a second document element <" + std::string(name) + ">");
    bool empty = false;
    for (;;) {
        const std::size_t before = pos_;
        skipBlanks();
        if (pos_ == doc_.size())
            return fail("cut short inside a tag");
        if (doc_[pos_] == '>') {
            ++pos_;
            break;
        }
        if (doc_.substr(pos_, 2) == "/>") {
            pos_ += 2;
            empty = true;
            break;
        }
        // An attribute: checked, then left aside.
        if (pos_ == before || readName().empty())
            return fail("a bad tag <" + std::string(name) + ">");
        skipBlanks();
        if (pos_ == doc_.size() || doc_[pos_] != '=')
            return fail("a bad attribute in <" + std::string(name) + ">");
        ++pos_;
        skipBlanks();
        const char quote = pos_ < doc_.size() ? doc_[pos_] : '\0';
        const std::size_t end = doc_.find(quote, pos_ + 1);
        if ((quote != '"' && quote != '\'') || end == doc_.npos)
            return fail("a bad attribute in <" + std::string(name) + ">");
        const std::string_view value = doc_.substr(pos_ + 1, end - pos_ - 1);
        std::string decoded;
        if (value.find('<') != value.npos)
            return fail("a '<' in an attribute");
        if (!decodeText(value, decoded, true))
            return Event::Error;
        pos_ = end + 1;
    }
    if (open_.size() >= maxDepth_)
        return fail("elements nested deeper than " + std::to_string(maxDepth_));
    open_.push_back(name);
    rootSeen_ = true;
    name_ = name;
    pendingEnd_ = empty;
    return Event::Start;
}

XmlReader::Event XmlReader::endTag() {
    pos_ += 2;
    const std::string_view name = readName();
    skipBlanks();
    if (pos_ == doc_.size() || doc_[pos_] != '>')
        return fail("a bad end tag");
    ++pos_;
    if (open_.empty() || open_.back() != name)
        return fail(
            "</" + std::string(name) + "> closes " +
            (open_.empty() ? std::string("nothing") : "<" + std::string(open_.back()) + ">"));
    open_.pop_back();
    name_ = name;
    return Event::End;
}

// Text up to the next markup: an event inside the document element; outside it only blanks,
// which give Done to go on.
XmlReader::Event XmlReader::characters() {
    const std::size_t end = std::min(doc_.find('<', pos_), doc_.size());
    const std::string_view raw = doc_.substr(pos_, end - pos_);
    pos_ = end;
    if (open_.empty()) {
        for (const char c : raw)
            if (!isBlank(c))
                return fail("text outside the document element");
        return Event::Done;
    }
    if (raw.find("]]>") != raw.npos)
        return fail("\"]]>\" in text");
    text_.clear();
    if (!decodeText(raw, text_, true))
        return Event::Error;
    return Event::Text;
}

// Line ends become '\n', and outside CDATA sections entity and character references are
// replaced.
bool XmlReader::decodeText(std::string_view raw, std::string& out, bool references) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else if (c == '&' && references) {
            const std::size_t semi = raw.find(';', i);
            const std::string_view ref =
                raw.substr(i + 1, semi == raw.npos ? raw.npos : semi - i - 1);
            static constexpr std::pair<std::string_view, char> Predefined[] = {
                {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
            bool known = false;
            for (const auto& [entity, ch] : Predefined)
                if (ref == entity) {
                    out += ch;
                    known = true;
                }
            if (!known && !ref.empty() && ref[0] == '#') {
                const std::uint32_t code = characterReference(ref.substr(1));
                known = isXmlChar(code);
                if (known)
                    appendUtf8(code, out);
            }
            if (semi == raw.npos || !known) {
                fail("an unknown entity " +
                     quoted(raw.substr(i, semi == raw.npos ? 8 : semi - i + 1)));
                return false;
            }
            i = semi;
        } else {
            out += c;
        }
    }
    return true;
}

} // namespace veltaro
