#include "app/scenario/scenarioscript.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/messagebox.h"
#include "platform/window/input.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace {

constexpr std::size_t kMaxFrameName = 64;
constexpr UINT kMaxControlId = 0xFFFF;

struct Token {
    std::string text;
    bool isQuoted = false;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The quoted text that begins at line[at] (a quote), "" standing for one quote; at is left
// after the closing quote. The reason when it is not closed or not followed by a blank.
std::string ReadQuoted(std::string_view line, std::size_t& at, std::string& text) {
    for (++at; at < line.size(); ++at) {
        if (line[at] != '"') {
            text += line[at];
            continue;
        }
        if (at + 1 < line.size() && line[at + 1] == '"') {
            text += '"';
            ++at;
            continue;
        }
        ++at;
        if (at < line.size() && !IsBlank(line[at]))
            return "a blank must follow a quoted text";
        return {};
    }
    return "a quoted text is not closed";
}

// Words split at blanks, quoted texts as one word each. False with the reason for a faulty
// quoted text.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& problem) {
    std::size_t at = 0;
    while (at < line.size()) {
        if (IsBlank(line[at])) {
            ++at;
            continue;
        }
        Token token;
        token.isQuoted = line[at] == '"';
        if (token.isQuoted) {
            problem = ReadQuoted(line, at, token.text);
            if (!problem.empty())
                return false;
        } else {
            while (at < line.size() && !IsBlank(line[at]))
                token.text += line[at++];
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::optional<std::uint64_t> ParseNumber(const std::string& text, std::uint64_t lowest,
                                         std::uint64_t highest) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, code] = std::from_chars(text.data(), end, value);
    if (text.empty() || code != std::errc() || stop != end || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

std::optional<UINT> NamedKey(const std::string& name) {
    static const struct {
        const char* name;
        UINT key;
    } kNames[] = {
        {"enter", VK_RETURN}, {"esc", VK_ESCAPE},    {"tab", VK_TAB},   {"space", VK_SPACE},
        {"back", VK_BACK},    {"delete", VK_DELETE}, {"up", VK_UP},     {"down", VK_DOWN},
        {"left", VK_LEFT},    {"right", VK_RIGHT},   {"home", VK_HOME}, {"end", VK_END},
        {"pageup", VK_PRIOR}, {"pagedown", VK_NEXT}, {"plus", VK_ADD},  {"minus", VK_SUBTRACT}};
    const std::string lower = Lower(name);
    for (const auto& entry : kNames) {
        if (lower == entry.name)
            return entry.key;
    }
    if (lower.size() >= 2 && lower[0] == 'f') {
        if (const auto number = ParseNumber(lower.substr(1), 1, 12))
            return VK_F1 + static_cast<UINT>(*number) - 1;
    }
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])) != 0)
        return static_cast<UINT>(std::toupper(static_cast<unsigned char>(name[0])));
    return std::nullopt;
}

// "Ctrl+Q", "Shift+Tab", "Enter", "L".
bool ParseKey(const std::string& text, ScenarioStep& step) {
    std::string_view rest = text;
    const std::size_t plus = rest.find('+');
    if (plus != std::string_view::npos && plus > 0 && plus + 1 < rest.size()) {
        const std::string modifier = Lower(rest.substr(0, plus));
        if (modifier == "ctrl")
            step.modifier = VK_CONTROL;
        else if (modifier == "shift")
            step.modifier = VK_SHIFT;
        else
            return false;
        rest = rest.substr(plus + 1);
    }
    const auto key = NamedKey(std::string(rest));
    if (!key)
        return false;
    step.id = *key;
    return true;
}

bool IsFrameName(const std::string& name) {
    if (name.empty() || name.size() > kMaxFrameName || name[0] == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '_' || c == '-' || c == '.';
    });
}

bool IsSectionName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '_';
    });
}

// Turns the words of one line into a step; the reason when they make none.
class LineParser {
public:
    LineParser(const std::vector<Token>& tokens, ScenarioStep& step)
        : m_tokens(tokens)
        , m_step(step) {}

    [[nodiscard]] std::string Parse();

private:
    [[nodiscard]] std::string ParseWait();
    [[nodiscard]] std::string ParseTap();
    [[nodiscard]] std::string ParseKeyStep();
    [[nodiscard]] std::string ParseText();
    [[nodiscard]] std::string ParseClock();
    [[nodiscard]] std::string ParseFrame();
    [[nodiscard]] std::string ParseMessageBox();
    [[nodiscard]] std::string ParseOpenFile();
    [[nodiscard]] std::string ParseDrive();
    [[nodiscard]] std::string ParseCheck();
    [[nodiscard]] std::string TakeText(std::size_t index);
    [[nodiscard]] std::string TakeLimit(std::size_t index);
    [[nodiscard]] std::string ExpectCount(std::size_t count) const;

    const std::vector<Token>& m_tokens;
    ScenarioStep& m_step;
};

std::string LineParser::ExpectCount(std::size_t count) const {
    if (m_tokens.size() < count)
        return "\"" + m_tokens[0].text + "\" needs more words";
    if (m_tokens.size() > count)
        return "unexpected \"" + m_tokens[count].text + "\"";
    return {};
}

std::string LineParser::TakeText(std::size_t index) {
    if (index >= m_tokens.size() || !m_tokens[index].isQuoted)
        return "a quoted text is expected";
    const std::string& text = m_tokens[index].text;
    m_step.text = platform::Utf8ToUtf16(text);
    if (m_step.text.find(u'\uFFFD') != std::u16string::npos &&
        text.find("\xEF\xBF\xBD") == std::string::npos)
        return "the text is not UTF-8";
    if (m_step.text.empty())
        return "the text is empty";
    return {};
}

std::string LineParser::TakeLimit(std::size_t index) {
    m_step.ms = kDefaultWaitMs;
    if (index >= m_tokens.size())
        return {};
    const auto limit = ParseNumber(m_tokens[index].text, 0, kMaxScenarioMs);
    if (m_tokens[index].isQuoted || !limit)
        return "the limit must be 0 to 86400000 milliseconds";
    m_step.ms = *limit;
    return ExpectCount(index + 1);
}

std::string LineParser::ParseWait() {
    const std::string what = m_tokens.size() > 1 ? m_tokens[1].text : "";
    if ((what == "fix" || what == "tmc") && !m_tokens[1].isQuoted) {
        m_step.kind = what == "fix" ? ScenarioStepKind::WaitFix : ScenarioStepKind::WaitTmc;
        return TakeLimit(2);
    }
    if (m_tokens.size() < 3)
        return "\"wait\" needs what to wait for: page, text, said, fix or tmc";
    if (what == "page") {
        m_step.kind = ScenarioStepKind::WaitPage;
        if (m_tokens[2].isQuoted || !IsSectionName(m_tokens[2].text))
            return "a screen section name is expected";
        m_step.text = platform::Utf8ToUtf16(m_tokens[2].text);
    } else if (what == "text" || what == "said") {
        m_step.kind = what == "text" ? ScenarioStepKind::WaitText : ScenarioStepKind::WaitSaid;
        if (std::string problem = TakeText(2); !problem.empty())
            return problem;
    } else {
        return "\"wait\" needs what to wait for: page, text, said, fix or tmc";
    }
    return TakeLimit(3);
}

std::string LineParser::ParseTap() {
    if (m_tokens.size() > 1 && m_tokens[1].text == "at" && !m_tokens[1].isQuoted) {
        m_step.kind = ScenarioStepKind::TapPoint;
        for (const std::size_t index : {std::size_t{2}, std::size_t{3}}) {
            const auto value = index < m_tokens.size() && !m_tokens[index].isQuoted
                                   ? ParseNumber(m_tokens[index].text, 0, kMaxScenarioCoordinate)
                                   : std::nullopt;
            if (!value)
                return "\"tap at\" needs the point's x and y, 0 to 32767";
            (index == 2 ? m_step.x : m_step.y) = static_cast<int>(*value);
        }
        return ExpectCount(4);
    }
    m_step.kind = ScenarioStepKind::Tap;
    const auto id =
        m_tokens.size() > 1 ? ParseNumber(m_tokens[1].text, 1, kMaxControlId) : std::nullopt;
    if (!id)
        return "a control id from 1 to 65535 is expected";
    m_step.id = static_cast<UINT>(*id);
    if (m_tokens.size() > 2 && m_tokens[2].isQuoted) {
        if (std::string problem = TakeText(2); !problem.empty())
            return problem;
        return ExpectCount(3);
    }
    return ExpectCount(2);
}

std::string LineParser::ParseKeyStep() {
    m_step.kind = ScenarioStepKind::Key;
    if (m_tokens.size() < 2 || m_tokens[1].isQuoted || !ParseKey(m_tokens[1].text, m_step))
        return "a key is expected: a letter, a digit or a key name, with Ctrl+ or Shift+";
    return ExpectCount(2);
}

std::string LineParser::ParseText() {
    m_step.kind = ScenarioStepKind::Text;
    if (std::string problem = TakeText(1); !problem.empty())
        return problem;
    return ExpectCount(2);
}

std::string LineParser::ParseClock() {
    m_step.kind = ScenarioStepKind::Clock;
    const auto ms =
        m_tokens.size() > 1 ? ParseNumber(m_tokens[1].text, 1, kMaxScenarioMs) : std::nullopt;
    if (!ms)
        return "the clock step must be 1 to 86400000 milliseconds";
    m_step.ms = *ms;
    return ExpectCount(2);
}

std::string LineParser::ParseFrame() {
    m_step.kind = ScenarioStepKind::Frame;
    if (m_tokens.size() < 2 || m_tokens[1].isQuoted || !IsFrameName(m_tokens[1].text))
        return "a frame name of letters, digits, '_', '-' and '.' is expected";
    m_step.text = platform::Utf8ToUtf16(m_tokens[1].text);
    return ExpectCount(2);
}

std::string LineParser::ParseMessageBox() {
    m_step.kind = ScenarioStepKind::MessageBox;
    static const struct {
        const char* name;
        int answer;
    } kAnswers[] = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"yes", IDYES},      {"no", IDNO},
                    {"abort", IDABORT}, {"retry", IDRETRY},   {"ignore", IDIGNORE}};
    for (const auto& answer : kAnswers) {
        if (m_tokens.size() > 1 && !m_tokens[1].isQuoted && m_tokens[1].text == answer.name)
            m_step.id = static_cast<UINT>(answer.answer);
    }
    if (m_step.id == 0)
        return "the answer must be ok, cancel, yes, no, abort, retry or ignore";
    return ExpectCount(2);
}

std::string LineParser::ParseOpenFile() {
    m_step.kind = ScenarioStepKind::OpenFile;
    if (m_tokens.size() > 1 && !m_tokens[1].isQuoted && m_tokens[1].text == "cancel")
        m_step.isCancel = true;
    else if (!TakeText(1).empty())
        return "a quoted path or cancel is expected";
    return ExpectCount(2);
}

std::string LineParser::ParseDrive() {
    m_step.kind = ScenarioStepKind::Drive;
    return ExpectCount(1);
}

std::string LineParser::ParseCheck() {
    m_step.kind = ScenarioStepKind::Check;
    return ExpectCount(1);
}

std::string LineParser::Parse() {
    using Parser = std::string (LineParser::*)();
    static const struct {
        const char* verb;
        Parser parse;
    } kVerbs[] = {{"wait", &LineParser::ParseWait},
                  {"tap", &LineParser::ParseTap},
                  {"key", &LineParser::ParseKeyStep},
                  {"text", &LineParser::ParseText},
                  {"clock", &LineParser::ParseClock},
                  {"frame", &LineParser::ParseFrame},
                  {"messagebox", &LineParser::ParseMessageBox},
                  {"openfile", &LineParser::ParseOpenFile},
                  {"drive", &LineParser::ParseDrive},
                  {"check", &LineParser::ParseCheck}};
    if (m_tokens[0].isQuoted)
        return "a line must begin with a step word";
    for (const auto& verb : kVerbs) {
        if (m_tokens[0].text == verb.verb)
            return (this->*verb.parse)();
    }
    return "unknown step \"" + m_tokens[0].text + "\"";
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool ParseScenarioScript(std::string_view text, ScenarioScript& script, ScriptError& error) {
    script.steps.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::string name;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.find('\0') != std::string_view::npos ||
            line.find('\r') != std::string_view::npos) {
            error = {lineNumber, "the line holds a control character"};
            script.steps.clear();
            return false;
        }
        if (line.substr(0, 5) == "step " || line.substr(0, 5) == "step\t" || line == "step") {
            name = std::string(Trim(line.substr(4)));
            if (name.empty()) {
                error = {lineNumber, "\"step\" needs a name"};
                script.steps.clear();
                return false;
            }
            continue;
        }
        std::vector<Token> tokens;
        std::string problem;
        ScenarioStep step;
        if (Tokenize(line, tokens, problem))
            problem = LineParser(tokens, step).Parse();
        if (!problem.empty()) {
            error = {lineNumber, problem};
            script.steps.clear();
            return false;
        }
        step.line = lineNumber;
        step.name = name;
        step.source = std::string(line);
        script.steps.push_back(std::move(step));
    }
    return true;
}

std::string DescribeStep(const ScenarioStep& step) {
    std::string line = "line " + std::to_string(step.line);
    if (step.name.empty())
        return line;
    return "step \"" + step.name + "\" (" + line + ")";
}
