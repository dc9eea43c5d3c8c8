#include "browsers/prefs_reader.h"

#include <cstdint>

namespace prefs {

namespace {

enum class Kind {
    End,       // the text's end, or a NUL byte
    Char,      // one of ( ) + , - ;
    UserPref,  // the keyword user_pref
    True,
    False,
    String,
    Number,
    Other,  // any other keyword, and what cannot be read
};

struct Token {
    Kind kind = Kind::End;
    char c = 0;
    size_t start = 0;
    size_t end = 0;
    uint32_t number = 0;
    std::string text;  // a string's characters, its escapes resolved
};

bool IsKeywordChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The browser's tokens. The text is read as if a NUL followed its last
// character; reading past that NUL gives NUL again and stays there.
class Lexer {
public:
    explicit Lexer(const std::string& text) : text_(text) {
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            at_ = 3;
    }

    Token Next() {
        for (;;) {
            size_t start = at_;
            unsigned char c = Get();
            Token token;
            token.start = start < text_.size() ? start : text_.size();
            if (c == 0) {
                token.kind = Kind::End;
            } else if (c == '(' || c == ')' || c == '+' || c == ',' || c == '-' || c == ';') {
                token.kind = Kind::Char;
                token.c = static_cast<char>(c);
            } else if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f') {
                continue;
            } else if (c == '\r') {
                Match('\n');
                continue;
            } else if (IsKeywordChar(c)) {
                while (IsKeywordChar(Get())) {
                }
                Unget();
                std::string word = text_.substr(start, at_ - start);
                token.kind = word == "user_pref" ? Kind::UserPref
                             : word == "true"    ? Kind::True
                             : word == "false"   ? Kind::False
                                                 : Kind::Other;
            } else if (c == '"' || c == '\'') {
                ReadString(static_cast<char>(c), token);
            } else if (c == '/') {
                unsigned char next = Get();
                if (next == '/') {
                    SkipLine();
                    continue;
                }
                if (next == '*') {
                    if (SkipBlockComment())
                        continue;
                } else if (next == '\n' || next == '\r') {
                    Unget();
                }
                token.kind = Kind::Other;
            } else if (IsDigit(c)) {
                ReadNumber(c, token);
            } else if (c == '#') {
                SkipLine();
                continue;
            } else {
                token.kind = Kind::Other;
            }
            token.end = at_ < text_.size() ? at_ : text_.size();
            return token;
        }
    }

private:
    unsigned char Get() {
        if (at_ > text_.size())
            return 0;
        return at_ < text_.size() ? static_cast<unsigned char>(text_[at_++]) : (++at_, 0);
    }
    void Unget() { --at_; }
    bool Match(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void SkipLine() {
        for (;;) {
            unsigned char c = Get();
            if (c == '\n' || c == 0)
                return;
            if (c == '\r') {
                Match('\n');
                return;
            }
        }
    }

    // False when the text ends (or a NUL comes) before the comment closes.
    bool SkipBlockComment() {
        for (;;) {
            unsigned char c = Get();
            if (c == '*' && Match('/'))
                return true;
            if (c == 0)
                return false;
        }
    }

    void ReadNumber(unsigned char first, Token& token) {
        uint64_t value = first - '0';
        bool overflow = false;
        for (;;) {
            unsigned char c = Get();
            if (IsDigit(c)) {
                value = value * 10 + (c - '0');
                if (value > UINT32_MAX) {
                    overflow = true;
                    value = 0;
                }
            } else if (IsKeywordChar(c)) {
                // "123foo" is no number; the reading goes on at "foo".
                Unget();
                token.kind = Kind::Other;
                return;
            } else {
                Unget();
                break;
            }
        }
        token.kind = overflow ? Kind::Other : Kind::Number;
        token.number = static_cast<uint32_t>(value);
    }

    // A hexadecimal number of `digits` digits; false, with the first other
    // character left unread, when there are fewer.
    bool HexDigits(int digits, uint32_t& value) {
        value = 0;
        for (int i = 0; i < digits; ++i) {
            unsigned char c = Get();
            int digit = IsDigit(c)             ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0) {
                Unget();
                return false;
            }
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        return true;
    }

    // A \u escape after its "\u": one UTF-16 unit, or a surrogate pair.
    bool UnicodeEscape(std::string& out) {
        uint32_t value = 0;
        if (!HexDigits(4, value))
            return false;
        if ((value & 0xFC00) == 0xD800) {
            uint32_t low = 0;
            if (!(Match('\\') && Match('u') && HexDigits(4, low)) || (low & 0xFC00) != 0xDC00)
                return false;
            AppendUtf8(out, 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00));
            return true;
        }
        if ((value & 0xFC00) == 0xDC00 || value == 0)
            return false;
        AppendUtf8(out, value);
        return true;
    }

    // A string after its opening quote, up to its closing one. A bad escape
    // spoils the string but the reading still goes on to its end.
    void ReadString(char quote, Token& token) {
        bool spoiled = false;
        for (;;) {
            unsigned char c = Get();
            if (c == static_cast<unsigned char>(quote))
                break;
            if (c == 0) {
                spoiled = true;
                break;
            }
            if (c == '\r' && Match('\n')) {
                token.text += "\r\n";
                continue;
            }
            if (c != '\\') {
                token.text += static_cast<char>(c);
                continue;
            }
            unsigned char escaped = Get();
            uint32_t byte = 0;
            switch (escaped) {
            case '"':
            case '\'':
            case '\\':
                token.text += static_cast<char>(escaped);
                break;
            case 'n':
                token.text += '\n';
                break;
            case 'r':
                token.text += '\r';
                break;
            case 'x':
                if (HexDigits(2, byte) && byte != 0)
                    token.text += static_cast<char>(byte);
                else
                    spoiled = true;
                break;
            case 'u':
                if (!UnicodeEscape(token.text))
                    spoiled = true;
                break;
            default:
                if (escaped == '\n' || escaped == '\r')
                    Unget();
                spoiled = true;
            }
        }
        token.kind = spoiled ? Kind::Other : Kind::String;
    }

    const std::string& text_;
    size_t at_ = 0;
};

bool IsChar(const Token& token, char c) {
    return token.kind == Kind::Char && token.c == c;
}

// The value after the comma, `token` its first token; false when it is none.
// `token` is left at the value's last token.
bool ReadValue(Lexer& lexer, Token& token, std::string& taken) {
    switch (token.kind) {
    case Kind::True:
        taken = "true";
        return true;
    case Kind::False:
        taken = "false";
        return true;
    case Kind::String:
        taken = "\"" + token.text + "\"";
        return true;
    case Kind::Number:
        taken = std::to_string(token.number);
        return token.number <= INT32_MAX;
    case Kind::Char:
        if (token.c == '-' || token.c == '+') {
            bool negative = token.c == '-';
            token = lexer.Next();
            if (token.kind != Kind::Number)
                return false;
            uint32_t most = negative ? uint32_t(INT32_MAX) + 1 : uint32_t(INT32_MAX);
            taken = (negative && token.number != 0 ? "-" : "") + std::to_string(token.number);
            return token.number <= most;
        }
        return false;
    default:
        return false;
    }
}

}  // namespace

PrefsReading ReadPrefs(const std::string& text) {
    PrefsReading reading;
    Lexer lexer(text);
    Token token = lexer.Next();
    for (;;) {
        size_t statement = token.start;
        if (token.kind == Kind::End) {
            reading.addAt = token.start;
            return reading;
        }
        PrefEntry entry;
        entry.start = statement;
        // Each step takes the next token and says whether it is the one due.
        bool read = token.kind == Kind::UserPref && IsChar(token = lexer.Next(), '(') &&
                    (token = lexer.Next()).kind == Kind::String;
        if (read) {
            entry.name = token.text;
            read = IsChar(token = lexer.Next(), ',');
        }
        if (read) {
            token = lexer.Next();
            entry.valueStart = token.start;
            read = ReadValue(lexer, token, entry.taken);
            entry.valueEnd = token.end;
            // A number out of range is passed over whole, as a token that
            // cannot stop the passing over.
            if (!read && token.kind == Kind::Number)
                token.kind = Kind::Other;
        }
        read = read && IsChar(token = lexer.Next(), ')') && IsChar(token = lexer.Next(), ';');
        if (read) {
            entry.end = token.end;
            entry.value = text.substr(entry.valueStart, entry.valueEnd - entry.valueStart);
            reading.entries.push_back(entry);
            token = lexer.Next();
            continue;
        }
        // What cannot be read is passed over to the next ';', which may be
        // the token that did not fit.
        while (!IsChar(token, ';') && token.kind != Kind::End)
            token = lexer.Next();
        if (token.kind == Kind::End) {
            reading.addAt = statement;
            return reading;
        }
        token = lexer.Next();
    }
}

}  // namespace prefs
