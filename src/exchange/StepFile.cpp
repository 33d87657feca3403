#include <qdat/exchange/detail/StepFile.h>

#include <openssl/evp.h>

#include <charconv>
#include <cmath>
#include <stdexcept>

#include <qdat/exchange/ExchangeError.h>

namespace qdat::step {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& out, unsigned value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

// The code point of the UTF-8 sequence at text[i], and its length; 0 for a
// byte that does not start a valid, shortest-form sequence.
int DecodeUtf8(std::string_view text, std::size_t i, char32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    int length = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, code = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, code = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, code = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        code = (code << 6) | (b & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string Real(double value, std::string_view what) {
    if (!std::isfinite(value))
        throw ExchangeError(std::string(what) + " is not a finite number; nothing is written");
    char buf[64];
    // A negative zero reads as zero.
    const auto r = std::to_chars(buf, buf + sizeof buf, value == 0.0 ? 0.0 : value);
    std::string text(buf, r.ptr);
    const std::size_t e = text.find('e');
    std::string mantissa = text.substr(0, e);
    std::string exponent = e == std::string::npos ? "" : "E" + text.substr(e + 1);
    if (mantissa.find('.') == std::string::npos) mantissa += '.';
    return mantissa + exponent;
}

std::string String(std::string_view utf8) {
    std::string out = "'";
    std::string wide;  // the \X2\ run being collected
    const auto closeWide = [&] {
        if (wide.empty()) return;
        out += "\\X2\\" + wide + "\\X0\\";
        wide.clear();
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c < 0x7F) {
            closeWide();
            if (c == '\'')
                out += "''";
            else if (c == '\\')
                out += "\\\\";
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        char32_t code = 0;
        const int length = c < 0x80 ? 1 : DecodeUtf8(utf8, i, code);
        if (c < 0x80) code = c;  // a control character
        if (length == 0) {
            closeWide();
            out += "\\X\\";
            AppendHex(out, c, 2);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            const char32_t v = code - 0x10000;
            AppendHex(wide, 0xD800 + (v >> 10), 4);
            AppendHex(wide, 0xDC00 + (v & 0x3FF), 4);
        } else {
            AppendHex(wide, code, 4);
        }
        i += length;
    }
    closeWide();
    return out + "'";
}

std::string OptionalString(std::string_view utf8) {
    return utf8.empty() ? "$" : String(utf8);
}

std::string List(const std::vector<std::string>& items) {
    std::string out = "(";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        out += items[i];
    }
    return out + ")";
}

std::string Ref(int id) {
    return "#" + std::to_string(id);
}

std::string RefList(const std::vector<int>& ids) {
    std::vector<std::string> items;
    items.reserve(ids.size());
    for (int id : ids) items.push_back(Ref(id));
    return List(items);
}

std::string CompressedGuid(const std::array<std::uint8_t, 16>& bits) {
    static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_$";
    std::string out;
    // The first byte gives two characters, each following group of three
    // bytes four.
    out += kAlphabet[bits[0] >> 6];
    out += kAlphabet[bits[0] & 0x3F];
    for (int i = 1; i < 16; i += 3) {
        const std::uint32_t v =
            (std::uint32_t{bits[i]} << 16) | (std::uint32_t{bits[i + 1]} << 8) | bits[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(v >> shift) & 0x3F];
    }
    return out;
}

std::string GuidSource::Next() {
    const std::string input = m_seed + '\n' + std::to_string(m_count++);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(input.data(), input.size(), digest, &length, EVP_sha256(), nullptr) != 1 || length < 16)
        throw ExchangeError("no identifiers could be made for the IFC file (SHA-256 failed)");
    std::array<std::uint8_t, 16> bits{};
    for (int i = 0; i < 16; ++i) bits[i] = digest[i];
    bits[6] = static_cast<std::uint8_t>((bits[6] & 0x0F) | 0x50);
    bits[8] = static_cast<std::uint8_t>((bits[8] & 0x3F) | 0x80);
    return "'" + CompressedGuid(bits) + "'";
}

int DataSection::Add(std::string_view entity, std::string_view arguments) {
    const int id = Reserve();
    Set(id, entity, arguments);
    return id;
}

int DataSection::Reserve() {
    m_lines.emplace_back();
    return static_cast<int>(m_lines.size());
}

void DataSection::Set(int id, std::string_view entity, std::string_view arguments) {
    std::string& line = m_lines.at(static_cast<std::size_t>(id - 1));
    line = "#" + std::to_string(id) + "=";
    line += entity;
    line += '(';
    line += arguments;
    line += ");\n";
}

std::string DataSection::Text() const {
    std::string out;
    for (const std::string& line : m_lines) {
        if (line.empty()) throw std::logic_error("an instance of the STEP file was reserved but never set");
        out += line;
    }
    return out;
}

std::string FileText(const std::vector<std::string>& description, const std::string& fileName,
                     const std::string& timeStamp, const std::string& originatingSystem,
                     const std::string& schema, const DataSection& data) {
    std::vector<std::string> lines;
    for (const std::string& d : description) lines.push_back(String(d));
    std::string out = "ISO-10303-21;\nHEADER;\n";
    out += "FILE_DESCRIPTION(" + List(lines) + ",'2;1');\n";
    out += "FILE_NAME(" + String(fileName) + "," + String(timeStamp) + ",(''),(''),'" + "qdat" + "'," +
           String(originatingSystem) + ",'');\n";
    out += "FILE_SCHEMA(('" + schema + "'));\nENDSEC;\nDATA;\n";
    out += data.Text();
    out += "ENDSEC;\nEND-ISO-10303-21;\n";
    return out;
}

}  // namespace qdat::step
