// What comes from the network: a RadioInfo datagram or an XML-RPC response of any bytes is read
// or refused with a reason, and what is read is what was sent (tens of Hz times ten, escaped text
// as it was).
//
// The input: a byte whose bits 1 and 2 choose the case (0 a datagram, 1 a response, 2 a datagram
// made of four numbers, 3 a response carrying a text), then the bytes.
#include "fuzz_support.h"

#include "protocols/rig_protocols.h"

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

void anyDatagram(std::string_view in) {
    std::string why;
    const auto info = parseRadioInfo(in, &why);
    FUZZ_CHECK(info.has_value() != !why.empty(), show(in) + " gave " + show(why));
    if (!info)
        return;
    FUZZ_CHECK(in.size() <= MaxRadioInfoBytes && in.find("<RadioInfo") != in.npos &&
                   info->radio >= 1 && info->radio <= MaxRadioNumber && info->txHz % 10 == 0 &&
                   info->txHz >= MinRadioHz && info->txHz <= MaxRadioHz,
               show(in));
    // Where the transmit frequency is plain digits in the only TXFreq, it is ten times them.
    const auto at = in.find("<TXFreq>");
    const std::string_view digits =
        at == in.npos ? "" : in.substr(at + 8, in.find('<', at + 8) - at - 8);
    if (in.find("<TXFreq", at + 1) == in.npos && !digits.empty() && digits.size() < 12 &&
        digits.find_first_not_of("0123456789") == digits.npos &&
        in.substr(at + 8 + digits.size()).starts_with("</TXFreq>"))
        FUZZ_CHECK(info->txHz == 10 * std::stoll(std::string(digits)),
                   show(in) + " gave " + std::to_string(info->txHz));
}

void anyResponse(std::string_view in) {
    std::string why;
    const auto value = parseXmlRpcResponse(in, &why);
    FUZZ_CHECK(value.has_value() != !why.empty(), show(in) + " gave " + show(why));
    FUZZ_CHECK(!value || (in.find("<methodResponse") != in.npos && in.find("<value") != in.npos),
               show(in));
}

// Four numbers in tens of Hz and radio numbers, the fields in an order the input picks.
void madeDatagram(std::string_view in) {
    const auto n = [&](std::int64_t mod) { return std::int64_t(take<std::uint64_t>(in) % mod); };
    const std::int64_t radio = 1 + n(MaxRadioNumber), rx = n(MaxRadioHz / 10 + 1),
                       tx = n(MaxRadioHz / 10 + 1), active = 1 + n(MaxRadioNumber);
    std::vector<std::string> fields = {
        "<RadioNr>" + std::to_string(radio) + "</RadioNr>",
        "<Freq>" + std::to_string(rx) + "</Freq>", "<TXFreq>" + std::to_string(tx) + "</TXFreq>",
        "<ActiveRadioNr>" + std::to_string(active) + "</ActiveRadioNr>", "<Mode>CW</Mode>"};
    for (std::size_t i = fields.size(); i > 1; --i)
        std::swap(fields[i - 1], fields[take<std::uint8_t>(in) % i]);
    std::string datagram = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RadioInfo>";
    for (const auto& f : fields)
        datagram += "\r\n  " + f;
    datagram += "\r\n</RadioInfo>";
    std::string why;
    const auto info = parseRadioInfo(datagram, &why);
    const bool inRange = rx * 10 >= MinRadioHz && tx * 10 >= MinRadioHz;
    FUZZ_CHECK(info.has_value() == inRange, show(datagram) + " gave " + show(why));
    FUZZ_CHECK(!info || (info->radio == radio && info->rxHz == rx * 10 && info->txHz == tx * 10 &&
                         info->activeRadio == active),
               show(datagram));
}

// A text with '&', '<' and '>' escaped in a string value reads back as it was (line ends as
// '\n'); printable ASCII always does.
void madeResponse(std::string_view in) {
    std::string escaped, plain;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
        if (c != '\r')
            plain += c;
        else if (i + 1 == in.size() || in[i + 1] != '\n')
            plain += '\n';
    }
    const std::string body = "<?xml version=\"1.0\"?>\n<methodResponse><params><param><value>"
                             "<string>" +
                             escaped +
                             "</string></value></param></params>"
                             "</methodResponse>\n";
    std::string why;
    const auto value = parseXmlRpcResponse(body, &why);
    const bool printable = std::all_of(in.begin(), in.end(), [](char c) {
        return (c >= 0x20 && c < 0x7f) || c == '\t' || c == '\n' || c == '\r';
    });
    FUZZ_CHECK(value ? *value == plain : !printable,
               show(body) + " gave " + (value ? show(*value) : show(why)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto in = takeInput(data, size);
    if (!in)
        return 0;
    switch ((in->flags >> 1) & 3) {
    case 0:
        anyDatagram(in->rest);
        break;
    case 1:
        anyResponse(in->rest);
        break;
    case 2:
        madeDatagram(in->rest);
        break;
    default:
        madeResponse(in->rest);
        break;
    }
    return 0;
}
