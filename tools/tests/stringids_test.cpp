// Every string the program's code asks the language library for is defined in each of the six
// language sources. The ids are read from the program's sources: every argument that reaches
// the id of LoadStringW, followed back through each function that passes an id parameter of its
// own on (AddText, MsgBox, a page's label loader, ...) to the places that give a number, a named
// constant or a function without arguments that returns one (a page's GetTitleId), and from a
// range-for's variable to the rows of the table it walks.
#include "testdata/tempdir.h"

#include "platform/shell/resourcebundle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

const std::filesystem::path kStringIdsSource = NAV_SOURCE_DIR;

// Ids that reach the string loader although no text of theirs is ever shown.
const struct {
    std::set<unsigned> ids;
    const char* reason;
} kNeverShownIds[] = {
    {{2}, "a dialog's item 2 shows string 320"},
    {{100, 101, 104, 105}, "combo boxes of the pages, which take no text"},
    {{101, 102, 104, 105, 106}, "the GPS and progress dialogs draw these items themselves"},
    {{970, 974, 1058, 1061, 1082, 1092, 1191}, "picture faces, whose caption is never drawn"},
    {{1138, 1143}, "the GPS and TMC indicators draw their own faces"},
};

bool IsNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

std::size_t SkipBlanks(std::string_view code, std::size_t at) {
    while (at < code.size() && std::isspace(static_cast<unsigned char>(code[at])) != 0)
        ++at;
    return at;
}

std::size_t NameEnd(std::string_view code, std::size_t at) {
    while (at < code.size() && IsNameCharacter(code[at]))
        ++at;
    return at;
}

// The text without its comments, its string and character literals emptied and its digit
// separators dropped.
std::string CodeOf(std::string_view text) {
    std::string code;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text.substr(at, 2) == "//") {
            at = std::min(text.find('\n', at), text.size()) - 1;
        } else if (text.substr(at, 2) == "/*") {
            at = std::min(text.find("*/", at + 2), text.size()) + 1;
            code += ' ';
        } else if (text[at] == '\'' && at > 0 && IsDigit(text[at - 1])) {
            continue;
        } else if (text[at] == '"' || text[at] == '\'') {
            const char quote = text[at];
            for (++at; at < text.size() && text[at] != quote; ++at)
                at += text[at] == '\\' ? 1 : 0;
            code.append(2, quote);
        } else {
            code += text[at];
        }
    }
    return code;
}

// The position after the partner of the bracket at `open`.
std::size_t BracketEnd(std::string_view code, std::size_t open) {
    int depth = 0;
    for (std::size_t at = open; at < code.size(); ++at) {
        depth += (code[at] == '(' || code[at] == '{' || code[at] == '[') ? 1 : 0;
        depth -= (code[at] == ')' || code[at] == '}' || code[at] == ']') ? 1 : 0;
        if (depth == 0)
            return at + 1;
    }
    return code.size();
}

// The top-level comma-separated parts between the bracket at `open` and its partner.
std::vector<std::string> ArgumentsAt(std::string_view code, std::size_t open) {
    const std::string_view inside = code.substr(open + 1, BracketEnd(code, open) - open - 2);
    std::vector<std::string> arguments;
    for (std::size_t from = 0, at = 0; at <= inside.size(); ++at) {
        if (at == inside.size() || inside[at] == ',') {
            arguments.emplace_back(inside.substr(from, at - from));
            from = at + 1;
        } else if (inside[at] == '(' || inside[at] == '{' || inside[at] == '[') {
            at = BracketEnd(code, open + 1 + at) - open - 2;
        }
    }
    if (arguments.size() == 1 && SkipBlanks(arguments[0], 0) == arguments[0].size())
        arguments.clear();
    return arguments;
}

// A name followed by an argument list: "name(", "name{", or "Type variable(" (under the type).
struct IdScanSite {
    std::size_t at = 0; // of the name
    std::string name;
    std::size_t open = 0; // of the '(' or '{'
    // A definition's parameters, its body (from its '{' to after its '}') and "X" when the body
    // begins with "return X;".
    std::optional<std::vector<std::string>> parameters;
    std::size_t bodyStart = 0;
    std::size_t bodyEnd = 0;
    std::string returned;
};

// Makes the site a definition when a body follows its argument list (after "const",
// "override", "noexcept" or a constructor's initializers).
void ReadDefinition(std::string_view code, IdScanSite& site) {
    const std::set<std::string_view> statements = {"if", "for", "while", "switch", "catch"};
    if (statements.contains(site.name))
        return;
    std::size_t after = SkipBlanks(code, BracketEnd(code, site.open));
    while (after < code.size() && IsNameCharacter(code[after]))
        after = SkipBlanks(code, NameEnd(code, after));
    if (after < code.size() && code[after] == ':' && code.substr(after, 2) != "::")
        after = code.find_first_of("{;", after);
    if (after >= code.size() || code[after] != '{')
        return;
    site.parameters = ArgumentsAt(code, site.open);
    site.bodyStart = after;
    site.bodyEnd = BracketEnd(code, after);
    const std::size_t body = SkipBlanks(code, after + 1);
    if (code.substr(body, 7) == "return ")
        site.returned = code.substr(body + 7, code.find(';', body) - body - 7);
}

std::vector<IdScanSite> SitesOf(std::string_view code) {
    std::vector<IdScanSite> sites;
    for (std::size_t at = 0; at < code.size();) {
        if (!IsNameCharacter(code[at])) {
            ++at;
            continue;
        }
        const std::size_t end = NameEnd(code, at);
        std::size_t next = SkipBlanks(code, end);
        const bool isDirect = next < code.size() && (code[next] == '(' || code[next] == '{');
        if (!isDirect && next < code.size() && IsNameCharacter(code[next]))
            next = SkipBlanks(code, NameEnd(code, next));
        if (!IsDigit(code[at]) && next < code.size() && (code[next] == '(' || code[next] == '{')) {
            IdScanSite site;
            site.at = at;
            site.name = code.substr(at, end - at);
            site.open = next;
            if (isDirect && code[next] == '(')
                ReadDefinition(code, site);
            sites.push_back(std::move(site));
        }
        at = end;
    }
    return sites;
}

struct IdScanFile {
    std::string path; // relative to the checkout
    std::string code;
    std::vector<IdScanSite> sites;
};

IdScanFile ScanFileOf(std::string path, std::string_view text) {
    IdScanFile file;
    file.path = std::move(path);
    file.code = CodeOf(text);
    file.sites = SitesOf(file.code);
    return file;
}

// Every source of the program above the platform layer, without tests and fuzz targets.
std::vector<IdScanFile> ProgramSources() {
    const std::set<std::string> notProgram = {"platform", "tools", "bench", "testdata",
                                              "header_check"};
    std::vector<IdScanFile> files;
    for (const auto& folder : std::filesystem::directory_iterator(kStringIdsSource)) {
        const std::string name = folder.path().filename().string();
        if (!folder.is_directory() || name.starts_with('.') || name.starts_with("build") ||
            notProgram.contains(name))
            continue;
        for (auto it = std::filesystem::recursive_directory_iterator(folder.path());
             it != std::filesystem::recursive_directory_iterator(); ++it) {
            const std::string leaf = it->path().filename().string();
            if (it->is_directory() && (leaf == "tests" || leaf == "fuzz"))
                it.disable_recursion_pending();
            const std::string extension = it->path().extension().string();
            if (!it->is_regular_file() || (extension != ".cpp" && extension != ".h"))
                continue;
            files.push_back(
                ScanFileOf(std::filesystem::relative(it->path(), kStringIdsSource).string(),
                           testdata::ReadHostFile(it->path()).value_or("")));
        }
    }
    return files;
}

// The value of every "kName = 123;" (also before ',' or '}'); a name given several values has
// them all.
std::multimap<std::string, unsigned> NamedNumbers(const std::vector<IdScanFile>& files) {
    std::multimap<std::string, unsigned> numbers;
    for (const IdScanFile& file : files) {
        const std::string_view code = file.code;
        for (std::size_t at = code.find('k'); at != std::string_view::npos;
             at = code.find('k', at + 1)) {
            const std::size_t end = NameEnd(code, at);
            const std::size_t equals = SkipBlanks(code, end);
            const std::size_t value = SkipBlanks(code, equals + 1);
            std::size_t valueEnd = value;
            while (valueEnd < code.size() && IsDigit(code[valueEnd]))
                ++valueEnd;
            const std::size_t after = SkipBlanks(code, NameEnd(code, valueEnd)); // "u" and "U"
            if ((at == 0 || !IsNameCharacter(code[at - 1])) && code.substr(equals, 1) == "=" &&
                code.substr(equals, 2) != "==" && valueEnd > value && after < code.size() &&
                (code[after] == ';' || code[after] == ',' || code[after] == '}'))
                numbers.emplace(code.substr(at, end - at),
                                std::stoul(std::string(code.substr(value, valueEnd - value))));
        }
    }
    return numbers;
}

// A name or number of an expression. The names a declaration declares ("UINT id") and the
// prefixes of literals are left out.
struct IdToken {
    std::string text;
    bool isNumber = false;
    bool isCalledBare = false; // "name()"
};

std::vector<IdToken> TokensOf(std::string_view expression) {
    std::vector<IdToken> tokens;
    bool followsName = false;
    for (std::size_t at = 0; at < expression.size();) {
        const char c = expression[at];
        if (!IsNameCharacter(c)) {
            followsName = followsName && (c == '&' || c == '*' ||
                                          std::isspace(static_cast<unsigned char>(c)) != 0);
            ++at;
            continue;
        }
        const std::size_t end = NameEnd(expression, at);
        const std::size_t next = SkipBlanks(expression, end);
        const std::string_view rest = expression.substr(next);
        if (!followsName && !rest.starts_with('"') && !rest.starts_with('\''))
            tokens.push_back({std::string(expression.substr(at, end - at)), IsDigit(c),
                              rest.starts_with('(') &&
                                  expression.substr(SkipBlanks(expression, next + 1), 1) == ")"});
        followsName = !IsDigit(c);
        at = end;
    }
    return tokens;
}

// The name a parameter declares ("UINT id = 0" declares id): a name after a type, with only
// blanks, '&' or '*' between; empty for none.
std::string DeclaredName(std::string_view parameter) {
    std::string_view declaration = parameter.substr(0, parameter.find('='));
    while (!declaration.empty() &&
           std::isspace(static_cast<unsigned char>(declaration.back())) != 0)
        declaration.remove_suffix(1);
    std::size_t start = declaration.size();
    while (start > 0 && IsNameCharacter(declaration[start - 1]))
        --start;
    const std::size_t before =
        start == 0 ? std::string_view::npos : declaration.find_last_not_of(" \t\r\n&*", start - 1);
    if (start == declaration.size() || IsDigit(declaration[start]) ||
        before == std::string_view::npos || !IsNameCharacter(declaration[before]))
        return {};
    return std::string(declaration.substr(start));
}

// The function whose parameter `name` is, and its index there: of the innermost definition
// around `at` that declares it.
std::optional<std::pair<std::string, std::size_t>>
ParameterOf(const IdScanFile& file, std::size_t at, const std::string& name) {
    for (auto site = file.sites.rbegin(); site != file.sites.rend(); ++site) {
        if (!site->parameters || site->bodyStart >= at || site->bodyEnd <= at)
            continue;
        for (std::size_t index = 0; index < site->parameters->size(); ++index) {
            if (DeclaredName((*site->parameters)[index]) == name)
                return std::pair{site->name, index};
        }
    }
    return std::nullopt;
}

// The braced initializer ("name[] = {", "name = {" or "name{") of the last definition of the
// table `name` before `before`, and where that name stands; none when there is none.
std::optional<std::pair<std::size_t, std::size_t>>
TableInitializer(std::string_view code, std::string_view name, std::size_t before) {
    std::optional<std::pair<std::size_t, std::size_t>> found;
    for (std::size_t at = code.find(name); at < before; at = code.find(name, at + 1)) {
        if ((at > 0 && IsNameCharacter(code[at - 1])) || NameEnd(code, at) != at + name.size())
            continue;
        std::size_t next = SkipBlanks(code, at + name.size());
        if (code.substr(next, 1) == "[")
            next = SkipBlanks(code, BracketEnd(code, next));
        if (code.substr(next, 1) == "=" && code.substr(next, 2) != "==")
            next = SkipBlanks(code, next + 1);
        if (code.substr(next, 1) == "{")
            found = std::pair{at, next};
    }
    return found;
}

// The position of `member` in the rows of the table defined at `tableAt`: of a pair, or of the
// struct declared right before the table's name.
std::optional<std::size_t> MemberIndex(std::string_view code, std::size_t tableAt,
                                       std::string_view member) {
    if (member == "first" || member == "second")
        return member == "first" ? 0 : 1;
    const std::size_t keyword = code.rfind("struct", tableAt);
    const std::size_t open = keyword == std::string_view::npos ? keyword : code.find('{', keyword);
    if (open >= tableAt)
        return std::nullopt;
    const std::string_view fields = code.substr(open + 1, BracketEnd(code, open) - open - 2);
    std::size_t index = 0;
    for (std::size_t from = 0; from < fields.size(); ++index) {
        const std::size_t end = std::min(fields.find(';', from), fields.size());
        if (DeclaredName(fields.substr(from, end - from)) == member)
            return index;
        from = end + 1;
    }
    return std::nullopt;
}

// The range-for statements around `at` from the innermost out: the loop variable's declaration
// and where the range expression begins in the code.
struct RangeFor {
    std::string_view declaration;
    std::size_t rangeAt = 0;
};

std::vector<RangeFor> RangeForsAround(const IdScanFile& file, std::size_t at) {
    const std::string_view code = file.code;
    std::vector<RangeFor> loops;
    for (auto site = file.sites.rbegin(); site != file.sites.rend(); ++site) {
        const std::size_t close = BracketEnd(code, site->open);
        if (site->name != "for" || site->open > at || close > at)
            continue;
        const std::size_t body = SkipBlanks(code, close);
        const std::size_t end =
            code.substr(body, 1) == "{" ? BracketEnd(code, body) : code.find(';', body);
        const std::string_view header = code.substr(site->open + 1, close - site->open - 2);
        std::size_t colon = 0;
        while ((colon = header.find(':', colon)) != std::string_view::npos &&
               header.substr(colon, 2) == "::")
            colon += 2;
        if (end <= at || colon == std::string_view::npos ||
            header.find(';') != std::string_view::npos)
            continue;
        loops.push_back({header.substr(0, colon), site->open + 2 + colon});
    }
    return loops;
}

// What the argument takes from a table when it is a range-for's variable ("row", "row.member"
// or a name of the loop's structured binding): of each row of the table's braced list, the
// whole row or its element of that position. Nothing for any other argument.
std::vector<std::string> TableValues(const IdScanFile& file, std::size_t at,
                                     std::string_view argument) {
    const std::string_view code = file.code;
    const std::size_t start = SkipBlanks(argument, 0);
    const std::size_t nameEnd = NameEnd(argument, start);
    const std::string name(argument.substr(start, nameEnd - start));
    std::string_view member = argument.substr(nameEnd);
    while (!member.empty() && std::isspace(static_cast<unsigned char>(member.back())) != 0)
        member.remove_suffix(1);
    if (name.empty() || IsDigit(name[0]) || (!member.empty() && !member.starts_with('.')))
        return {};
    member.remove_prefix(std::min<std::size_t>(member.size(), 1));
    for (const RangeFor& loop : RangeForsAround(file, at)) {
        std::optional<std::size_t> index;
        const std::size_t bindings = loop.declaration.find('[');
        if (bindings != std::string_view::npos) {
            const std::vector<std::string> names = ArgumentsAt(loop.declaration, bindings);
            for (std::size_t i = 0; i < names.size(); ++i) {
                const std::size_t from = SkipBlanks(names[i], 0);
                if (names[i].substr(from, NameEnd(names[i], from) - from) == name)
                    index = i;
            }
            if (!index || !member.empty())
                continue;
        } else if (DeclaredName(loop.declaration) != name) {
            continue;
        }
        const std::size_t rangeStart = SkipBlanks(code, loop.rangeAt);
        std::optional<std::pair<std::size_t, std::size_t>> table{{rangeStart, rangeStart}};
        if (code.substr(rangeStart, 1) != "{") {
            const std::string_view range =
                code.substr(rangeStart, NameEnd(code, rangeStart) - rangeStart);
            table = range.empty() ? std::nullopt : TableInitializer(code, range, rangeStart);
        }
        if (!table)
            return {};
        if (!member.empty())
            index = MemberIndex(code, table->first, member);
        if (!member.empty() && !index)
            return {};
        std::vector<std::string> values;
        for (std::string& row : ArgumentsAt(code, table->second)) {
            const std::size_t open = row.find_first_of("{(");
            const std::vector<std::string> elements =
                open == std::string::npos ? std::vector<std::string>{} : ArgumentsAt(row, open);
            if (!index)
                values.push_back(std::move(row));
            else if (*index < elements.size())
                values.push_back(elements[*index]);
        }
        return values;
    }
    return {};
}

// The string ids the program loads. A function found to pass its own parameter on to a loader
// becomes a loader itself; one that no header names is taken for its own source only (helpers
// of the same name in several sources are not confused).
class StringIdScan {
public:
    explicit StringIdScan(std::vector<IdScanFile> files = ProgramSources())
        : m_files(std::move(files))
        , m_numbers(NamedNumbers(m_files)) {
        for (const IdScanFile& file : m_files) {
            if (file.path.ends_with(".h"))
                for (const IdScanSite& site : file.sites)
                    m_headerNames.insert(site.name);
        }
    }

    // Every id, with where one of its loads is.
    std::map<unsigned, std::string> Run() {
        while (m_hasGrown) {
            m_hasGrown = false;
            for (const IdScanFile& file : m_files) {
                for (const IdScanSite& site : file.sites)
                    ScanSite(file, site);
            }
        }
        return m_used;
    }

private:
    // A loader's name -> the index of its id and, for a loader of one source only, that source.
    using Loaders = std::map<std::string, std::set<std::pair<std::size_t, std::string>>>;

    void ScanSite(const IdScanFile& file, const IdScanSite& site) {
        const auto loader = m_loaders.find(site.name);
        if (loader == m_loaders.end())
            return;
        const std::vector<std::string> arguments = ArgumentsAt(file.code, site.open);
        for (const auto& [index, source] : std::set(loader->second)) {
            if (index >= arguments.size() || (!source.empty() && source != file.path))
                continue;
            // Of "condition ? a : b" only a and b give the id.
            std::string_view argument = arguments[index];
            argument.remove_prefix(std::min(argument.find('?') + 1, argument.size()));
            for (const IdToken& token : TokensOf(argument))
                Resolve(file, site, token);
            for (const std::string& value : TableValues(file, site.at, argument)) {
                for (const IdToken& token : TokensOf(value))
                    Resolve(file, site, token);
            }
        }
    }

    void Resolve(const IdScanFile& file, const IdScanSite& site, const IdToken& token) {
        const std::string where = file.path + ", " + site.name;
        Take(token, where);
        if (token.isCalledBare) {
            for (const IdScanFile& other : m_files) {
                for (const IdScanSite& definition : other.sites) {
                    if (definition.name == token.text && definition.parameters &&
                        definition.parameters->empty())
                        for (const IdToken& value : TokensOf(definition.returned))
                            Take(value, where + ", " + token.text);
                }
            }
        } else if (const auto parameter = ParameterOf(file, site.at, token.text)) {
            const bool isShared =
                file.path.ends_with(".h") || m_headerNames.contains(parameter->first);
            m_hasGrown |= m_loaders[parameter->first]
                              .emplace(parameter->second, isShared ? "" : file.path)
                              .second;
        }
    }

    void Take(const IdToken& token, const std::string& where) {
        if (token.isNumber)
            m_used.emplace(static_cast<unsigned>(std::stoul(token.text)), where);
        for (auto [it, end] = m_numbers.equal_range(token.text); it != end; ++it)
            m_used.emplace(it->second, where);
    }

    const std::vector<IdScanFile> m_files;
    const std::multimap<std::string, unsigned> m_numbers;
    std::set<std::string> m_headerNames;
    Loaders m_loaders = {{"LoadStringW", {{1, ""}}}};
    bool m_hasGrown = true;
    std::map<unsigned, std::string> m_used;
};

// The ids of kNeverShownIds, each expected among the ids the program loads.
std::set<unsigned> NeverShownIds(const std::map<unsigned, std::string>& used) {
    std::set<unsigned> ids;
    for (const auto& row : kNeverShownIds) {
        for (const unsigned id : row.ids) {
            EXPECT_TRUE(used.contains(id)) << id << " is no longer loaded: " << row.reason;
            ids.insert(id);
        }
    }
    return ids;
}

// The strings of a language source of resources/lang/.
std::map<UINT, std::u16string> LanguageStrings(const std::string& language) {
    const auto source = testdata::ReadHostFile(kStringIdsSource / "resources" / "lang" / language);
    std::string message;
    const auto bundle = platform::CompileResourceSource(source.value_or(""), &message);
    EXPECT_TRUE(source.has_value() && bundle.has_value()) << language << ": " << message;
    return bundle ? bundle->strings : std::map<UINT, std::u16string>{};
}

TEST(StringIds, EveryStringTheProgramLoadsIsDefinedInEveryLanguage) {
    const std::map<unsigned, std::string> used = StringIdScan().Run();
    const std::set<unsigned> neverShown = NeverShownIds(used);
    for (const char* language :
         {"ger.txt", "eng.txt", "fre.txt", "spa.txt", "ita.txt", "dut.txt"}) {
        const std::map<UINT, std::u16string> strings = LanguageStrings(language);
        for (const auto& [id, where] : used) {
            if (!neverShown.contains(id) && !strings.contains(id))
                ADD_FAILURE() << "string " << id << " (" << where << ") is missing from "
                              << language;
        }
    }
}

// An id reaches the loader from a table a range-for walks: of every row, the element at the
// loop variable's place (a structured binding's name, a member, the whole row), and no other.
TEST(StringIds, IdsFromTheRowsOfAWalkedTableAreFollowed) {
    const struct {
        const char* name;
        const char* code;
        std::set<unsigned> ids;
    } cases[] = {
        {"a binding of a named table's rows",
         "constexpr UINT kNamedText = 11;\n"
         "void F() { std::pair<UINT, int> rows[] = {{kNamedText, 1}, {12, 2}};\n"
         "  for (const auto& [id, count] : rows) { LoadStringW(h, id, b, count); } }",
         {11, 12}},
        {"a member of a struct table",
         "void F() { const struct { const char16_t* name; UINT id = 0; } rows[] = {\n"
         "  {u\"A\", 21}, {u\"B\", 22}};\n"
         "  for (const auto& row : rows) LoadStringW(h, row.id, b, 9); }",
         {21, 22}},
        {"a braced list",
         "void F() { for (const UINT id : {31, 32}) LoadStringW(h, id, b, 4); }",
         {31, 32}},
        {"a pair's member through a loader of the program's own",
         "void Show(UINT text) { LoadStringW(h, text, b, 4); }\n"
         "void F() { std::pair<int, UINT> rows[] = {{1, 41}, {2, 42}};\n"
         "  for (const auto& row : rows) Show(row.second); }",
         {41, 42}},
        {"a loop over something else",
         "void F(Ids ids) { for (UINT id : ids) LoadStringW(h, id, b, 4); }",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::set<unsigned> ids;
        for (const auto& [id, where] : StringIdScan({ScanFileOf("app/table.cpp", c.code)}).Run())
            ids.insert(id);
        EXPECT_EQ(ids, c.ids);
    }
}

} // namespace
