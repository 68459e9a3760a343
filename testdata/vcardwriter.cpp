#include "testdata/vcardwriter.h"

#include <cctype>

namespace testdata {
namespace {

std::string EscapeVCardText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ',' || c == ';') {
            out += '\\';
            out += c;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Appends one content line, folded: a CR LF and a blank before every foldAt octets.
void AppendFolded(std::string& out, const std::string& line, std::size_t foldAt) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80;
        if (foldAt > 0 && written >= foldAt && !continuation) {
            out += "\r\n ";
            written = 1;
        }
        out += line[i];
        ++written;
    }
    out += "\r\n";
}

// "ADR;TYPE=...:" with the seven components (post office box and extended address empty).
std::string AddressLine(const VCardAddress& address, bool v3) {
    std::string line = "ADR";
    if (!address.types.empty()) {
        line += ";TYPE=";
        for (std::size_t t = 0; t < address.types.size(); ++t) {
            line += t == 0 ? "" : ",";
            line += v3 ? UpperAscii(address.types[t]) : address.types[t];
        }
    }
    line += ":;;" + EscapeVCardText(address.street) + ";" + EscapeVCardText(address.locality) +
            ";;" + EscapeVCardText(address.postalCode) + ";" + EscapeVCardText(address.country);
    return line;
}

} // namespace

std::string WriteVCards(const std::vector<VCardContact>& contacts, VCardVersion version,
                        std::size_t foldAt) {
    const bool v3 = version == VCardVersion::V30;
    std::string out;
    for (const VCardContact& contact : contacts) {
        AppendFolded(out, "BEGIN:VCARD", foldAt);
        AppendFolded(out, v3 ? "VERSION:3.0" : "VERSION:4.0", foldAt);
        std::string full = contact.givenName;
        if (!full.empty() && !contact.familyName.empty()) {
            full += ' ';
        }
        full += contact.familyName;
        AppendFolded(out, "FN:" + EscapeVCardText(full), foldAt);
        AppendFolded(out,
                     "N:" + EscapeVCardText(contact.familyName) + ";" +
                         EscapeVCardText(contact.givenName) + ";;;",
                     foldAt);
        if (!contact.organisation.empty()) {
            AppendFolded(out, "ORG:" + EscapeVCardText(contact.organisation), foldAt);
        }
        for (const VCardAddress& address : contact.addresses) {
            AppendFolded(out, AddressLine(address, v3), foldAt);
        }
        AppendFolded(out, "END:VCARD", foldAt);
    }
    return out;
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
