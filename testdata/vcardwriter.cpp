#include "testdata/vcardwriter.h"

#include <cctype>
#include <cstdint>

namespace testdata {
namespace {

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string LineEnd(VCardLineEnd end) {
    switch (end) {
    case VCardLineEnd::Lf:
        return "\n";
    case VCardLineEnd::Cr:
        return "\r";
    case VCardLineEnd::CrLf:
        break;
    }
    return "\r\n";
}

bool IsEightBit(const std::string& text) {
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0x80) != 0) {
            return true;
        }
    }
    return false;
}

// UTF-8 text in code page 1252 (U+0080..U+00FF and the euro sign; other characters '?'), which
// is ISO-8859-1 for the letters of the test contacts.
std::string ToWindows1252(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, utf8.size() - i);
        std::uint32_t code = length == 1 ? lead : lead & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += length;
        out += code <= 0xFF ? static_cast<char>(code) : code == 0x20AC ? '\x80' : '?';
    }
    return out;
}

// One text escaped for a value: '\', ';' (and in 3.0/4.0 ',') get a backslash; line breaks
// become "\n", or stay as they are when rawBreaks (quoted-printable encodes them).
std::string EscapeText(const std::string& text, bool v21, bool rawBreaks) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ';' || (c == ',' && !v21)) {
            out += '\\';
            out += c;
        } else if (rawBreaks) {
            out += c;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

class CardWriter {
public:
    CardWriter(std::string& out, const VCardStyle& style)
        : m_out(out)
        , m_style(style)
        , m_end(LineEnd(style.lineEnd)) {}

    // One content line, folded after foldAt octets: a line end and a blank.
    void Line(const std::string& line) {
        if (m_style.foldAt == 0) {
            m_out += line;
            m_out += m_end;
            return;
        }
        std::size_t written = 0;
        for (const char c : line) {
            const bool continuation = (static_cast<unsigned char>(c) & 0xC0) == 0x80;
            if (m_style.foldAt > 0 && written >= m_style.foldAt &&
                (!continuation || m_style.foldInsideCharacters)) {
                m_out += m_end + " ";
                written = 1;
            }
            m_out += c;
            ++written;
        }
        m_out += m_end;
    }

    // A property of text components (joined by ';') in the style's text form.
    void TextProperty(const std::string& nameAndParameters,
                      const std::vector<std::string>& components) {
        const bool v21 = m_style.version == VCardVersion::V21;
        bool eightBit = false;
        bool breaks = false;
        for (const std::string& component : components) {
            eightBit = eightBit || IsEightBit(component);
            breaks = breaks || component.find_first_of("\r\n") != std::string::npos;
        }
        const bool quotedPrintable =
            m_style.text == VCardText::QuotedPrintable && (eightBit || breaks);
        const bool cp1252 = m_style.text == VCardText::Windows1252 ||
                            m_style.text == VCardText::Windows1252Unnamed ||
                            m_style.text == VCardText::Latin1;
        std::string value;
        for (std::size_t k = 0; k < components.size(); ++k) {
            value += k == 0 ? "" : ";";
            const std::string bytes = cp1252 ? ToWindows1252(components[k]) : components[k];
            value += EscapeText(bytes, v21, quotedPrintable);
        }
        std::string head = nameAndParameters;
        if (quotedPrintable) {
            head += ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE";
            QuotedPrintableLine(head + ":", value);
            return;
        }
        if (m_style.text == VCardText::Windows1252 && eightBit) {
            head += ";CHARSET=Windows-1252";
        } else if (m_style.text == VCardText::Latin1 && eightBit) {
            head += ";CHARSET=ISO-8859-1";
        }
        Line(head + ":" + value);
    }

    // Quoted-printable: every octet that is not printable ASCII (and '=') as "=XX", physical
    // lines wrapped before 76 octets with "=" at the end (a soft break, anywhere between two
    // octets or escapes).
    void QuotedPrintableLine(const std::string& head, const std::string& value) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::size_t length = head.size();
        m_out += head;
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            std::string token(1, c);
            if (byte < 0x20 || byte >= 0x7F || c == '=') {
                token = {'=', kHex[byte >> 4], kHex[byte & 15]};
            }
            if (length + token.size() > 75) {
                m_out += "=" + m_end;
                length = 0;
            }
            m_out += token;
            length += token.size();
        }
        m_out += m_end;
    }

    // A photo of the given size: pseudo-random octets in base64, as each version writes it.
    void Photo(std::size_t bytes) {
        if (m_photoDigits.size() != (bytes + 2) / 3 * 4) { // made once for each size
            m_photoDigits.clear();
            std::uint32_t state = static_cast<std::uint32_t>(bytes) * 2654435761u + 1;
            for (std::size_t i = 0; i < bytes; i += 3) {
                std::uint32_t group = 0;
                for (int k = 0; k < 3; ++k) {
                    state = state * 1103515245u + 12345u;
                    group = (group << 8) | ((state >> 16) & 0xFF);
                }
                for (int k = 3; k >= 0; --k) {
                    m_photoDigits += kBase64Digits[(group >> (6 * k)) & 63];
                }
            }
        }
        const std::string& digits = m_photoDigits;
        switch (m_style.version) {
        case VCardVersion::V21:
            // Lines of 76 digits, each indented, then an empty line.
            m_out += "PHOTO;ENCODING=BASE64;JPEG:" + m_end;
            for (std::size_t i = 0; i < digits.size(); i += 76) {
                m_out += "  " + digits.substr(i, 76) + m_end;
            }
            m_out += m_end;
            break;
        case VCardVersion::V30:
            Line("PHOTO;ENCODING=b;TYPE=JPEG:" + digits);
            break;
        case VCardVersion::V40:
            Line("PHOTO:data:image/jpeg;base64," + digits);
            break;
        }
    }

    void Card(const VCardContact& contact) {
        const bool v21 = m_style.version == VCardVersion::V21;
        Line("BEGIN:VCARD");
        Line(v21                                    ? "VERSION:2.1"
             : m_style.version == VCardVersion::V30 ? "VERSION:3.0"
                                                    : "VERSION:4.0");
        std::string full = contact.formattedName;
        if (full.empty()) {
            full = contact.givenName;
            full += !full.empty() && !contact.familyName.empty() ? " " : "";
            full += contact.familyName;
        }
        if (!full.empty()) {
            TextProperty("FN", {full});
        }
        if (contact.nameLine == VCardNameLine::Full) {
            TextProperty("N", {contact.familyName, contact.givenName, "", "", ""});
        } else if (contact.nameLine == VCardNameLine::Empty) {
            Line("N:;;;;");
        }
        if (!contact.organisation.empty()) {
            std::vector<std::string> components = {contact.organisation};
            components.insert(components.end(), contact.organisationUnits.begin(),
                              contact.organisationUnits.end());
            TextProperty("ORG", components);
        }
        int item = 0;
        for (const VCardAddress& address : contact.addresses) {
            std::string name = "ADR";
            if (m_style.groups) {
                name = "item" + std::to_string(++item) + ".ADR";
            }
            TextProperty(name + TypeParameters(address.types),
                         {"", "", address.street, address.locality, "", address.postalCode,
                          address.country});
            if (m_style.groups) {
                Line("item" + std::to_string(item) + ".X-ABLabel:_$!<Other>!$_");
            }
        }
        if (contact.photoBytes > 0) {
            Photo(contact.photoBytes);
        }
        for (const std::string& line : contact.otherLines) {
            Line(line);
        }
        Line("END:VCARD");
    }

private:
    std::string TypeParameters(const std::vector<std::string>& types) const {
        if (types.empty()) {
            return {};
        }
        const bool lower = m_style.version == VCardVersion::V40;
        std::string out;
        if (m_style.types == VCardTypes::Repeated) {
            for (const std::string& type : types) {
                out += ";type=" + (lower ? type : UpperAscii(type));
            }
            return out;
        }
        const bool quoted = m_style.types == VCardTypes::QuotedList;
        if (m_style.version == VCardVersion::V21 && !quoted) {
            for (const std::string& type : types) {
                out += ";" + UpperAscii(type);
            }
            return out;
        }
        out = quoted ? ";TYPE=\"" : ";TYPE=";
        for (std::size_t t = 0; t < types.size(); ++t) {
            out += t == 0 ? "" : ",";
            out += lower ? types[t] : UpperAscii(types[t]);
        }
        return quoted ? out + "\"" : out;
    }

    std::string& m_out;
    const VCardStyle& m_style;
    std::string m_end;
    std::string m_photoDigits;
};

} // namespace

std::string WriteVCards(const std::vector<VCardContact>& contacts, const VCardStyle& style) {
    std::string out = style.byteOrderMark ? "\xEF\xBB\xBF" : "";
    CardWriter writer(out, style);
    for (const VCardContact& contact : contacts) {
        writer.Card(contact);
    }
    return out;
}

std::string WriteVCards(const std::vector<VCardContact>& contacts, VCardVersion version,
                        std::size_t foldAt) {
    VCardStyle style;
    style.version = version;
    style.foldAt = foldAt;
    return WriteVCards(contacts, style);
}

std::vector<VCardContact> NoFamilyNameContacts() {
    const auto home = [](std::string street) {
        return std::vector<VCardAddress>{
            {{"home"}, std::move(street), "9490", "Vaduz", "Liechtenstein"}};
    };
    std::vector<VCardContact> contacts = {
        {"Elias Vogt", "", "", home("Landstrasse 1")},
        {"", "", "", home("Landstrasse 2")},
        {"", "", "Rheintal Treuhand AG", home("Landstrasse 3")},
        {"", "", "Alpenbau AG", home("Landstrasse 4")},
        {"", "Mira", "", home("Landstrasse 5")},
        {"Kaiser", "", "", home("Landstrasse 6")},
    };
    contacts[1].nameLine = VCardNameLine::None;
    contacts[1].formattedName = "Elias Vogt";
    contacts[2].nameLine = VCardNameLine::Empty;
    contacts[2].formattedName = "Rheintal Treuhand AG";
    contacts[2].organisationUnits = {""};
    contacts[2].otherLines = {"X-ABShowAs:COMPANY"};
    contacts[3].nameLine = VCardNameLine::Empty;
    return contacts;
}

std::vector<VCardContact> DemoContacts() {
    return {
        {"Beck",
         "Anna",
         "Landesverwaltung",
         {{{"work"}, "\xC3\x84ulestrasse 12", "9490", "Vaduz", "Liechtenstein"},
          {{"home"}, "Landstrasse 5", "9494", "Schaan", "Liechtenstein"},
          {{"postal"}, "Postfach 1, Kirchstrasse", "9490", "Vaduz", "Liechtenstein"}}},
        {"Frick", "Lukas", "", {{{"home"}, "Hauptstr. 12", "9494", "Schaan", "Liechtenstein"}}},
        {"Marxer",
         "Eva",
         "Museum, Archiv; Bibliothek\\Depot",
         {{{"work", "postal"},
           "St\xC3\xA4"
           "dtle 43",
           "9490",
           "Vaduz",
           "Liechtenstein"}}},
        {"Ospelt", "Tim", "", {{{"home"}, "Bahnstrasse 7", "", "", "Liechtenstein"}}},
    };
}

} // namespace testdata
