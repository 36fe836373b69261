// The documents users read name every settings key the program reads, and quote each source's
// message as the program says it: README.md and the manual (data/manual.html) are checked
// against the core's own tables, so that a key or a message added later cannot be left out.
#include "app/settings.h"
#include "sources/registrations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace veltaro;

namespace {

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs of blanks and line breaks as one blank: a quote may be wrapped across lines.
std::string joinedLines(const std::string& text) {
    std::string joined;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (!blank)
            joined += c;
        else if (!joined.empty() && joined.back() != ' ')
            joined += ' ';
    }
    return joined;
}

// The keys the program reads from its settings, and the sections that hold them.
std::vector<std::string> settingsKeys() {
    std::vector<std::string> keys;
    for (const auto& k : startUpKeys())
        keys.push_back(k.name);
    for (const auto& r : sourceRegistrations())
        if (r.addressKey)
            keys.push_back(r.addressKey);
    keys.push_back(key::FrequencyFilePath);
    keys.push_back(key::N1MMRadio);
    for (const char* k :
         {key::Protocol, key::Baud, key::Direction, key::InterlockPort, key::InterlockLine,
          key::InterlockPermit, key::InterlockHoldMs, key::FeedAddress})
        keys.push_back(k);
    return keys;
}

// Named as a key: marked as code (`Key` or <code>Key</code>) or given a value in an example
// (a line that starts "Key=").
bool namesKey(const std::string& text, const std::string& key) {
    return text.find('`' + key + '`') != std::string::npos ||
           text.find("<code>" + key + "</code>") != std::string::npos ||
           text.find('\n' + key + '=') != std::string::npos;
}

TEST(Docs, TheReadmeAndTheManualNameEverySettingsKeyAndSectionAndQuoteEachSourceMessage) {
    const auto keys = settingsKeys();
    EXPECT_GE(keys.size(), 14u);
    for (const char* path : {VELTARO_README, VELTARO_MANUAL}) {
        const std::string text = readFile(path);
        ASSERT_FALSE(text.empty()) << path << " cannot be read";
        for (const auto& key : keys)
            EXPECT_TRUE(namesKey(text, key)) << path << " does not name the key " << key;
        for (const char* section : {Settings::Section, Settings::FilesSection,
                                    Settings::AddressesSection, Settings::ControllerSection,
                                    Settings::InterlockSection, Settings::FeedSection, "Ports"})
            EXPECT_NE(text.find('[' + std::string(section) + ']'), std::string::npos)
                << path << " does not name the section [" << section << "]";
        for (const auto& r : sourceRegistrations())
            if (r.unavailableText) {
                EXPECT_NE(joinedLines(text).find(r.unavailableText), std::string::npos)
                    << path << " does not quote " << r.unavailableText;
            }
    }
}

} // namespace
