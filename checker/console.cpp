#include "console.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <limits>
#include <sstream>
#include <streambuf>

#include "text_encoding.h"

namespace {

// A console hands a program bytes in its own (OEM) code page, while the tool's
// texts and the registry's "A" calls are in the ANSI one: under 437 a typed é
// arrives as 0x82, a low quotation mark in 1252. So a console is read and
// written as characters (ReadConsoleW, WriteConsoleW), converted to and from
// ANSI under std::cin and std::cout; pipes and files keep their bytes untouched.

// A typed character the ANSI code page cannot hold: a control character that
// is not white space, so it is refused in a value and answers no question.
const char kUnstorableCharacter = '\x01';
const char kNotAnAnswer = '\0';                // a double-byte character
const wchar_t kEndOfInputCharacter = L'\x1A';  // Ctrl+Z, as the C runtime takes it

class ConsoleInput : public std::streambuf {
  public:
    explicit ConsoleInput(HANDLE console) : console(console) {}

  protected:
    int_type underflow() override {
        while (!ended && gptr() == egptr()) ReadChunk();
        if (gptr() == egptr()) return traits_type::eof();
        return traits_type::to_int_type(*gptr());
    }

  private:
    void ReadChunk() {
        wchar_t typed[1025];
        size_t length = 0;
        if (heldSurrogate != 0) typed[length++] = heldSurrogate;
        heldSurrogate = 0;
        DWORD count = 0;
        ended = !ReadConsoleW(console, typed + length, 1024, &count, nullptr) || count == 0;
        if (!ended) length += count;
        // A character beyond the first plane may arrive in two reads: hold its first half.
        if (!ended && length > 0 && IS_HIGH_SURROGATE(typed[length - 1])) {
            heldSurrogate = typed[--length];
        }
        bytes.clear();
        for (size_t i = 0; i < length; ++i) {
            if (typed[i] == kEndOfInputCharacter) {
                ended = true;
                break;
            }
            if (typed[i] == L'\r' && i + 1 < length && typed[i + 1] == L'\n') continue;
            const bool pair =
                i + 1 < length && IS_HIGH_SURROGATE(typed[i]) && IS_LOW_SURROGATE(typed[i + 1]);
            AppendAnsi(typed + i, pair ? 2 : 1);
            if (pair) ++i;
        }
        setg(&bytes[0], &bytes[0], &bytes[0] + bytes.size());
    }

    // No best fit: a best-fit 'y' for a full-width one would answer a question,
    // and a '?' for a Cyrillic letter would be stored as typed.
    void AppendAnsi(const wchar_t* character, int units) {
        char ansi[8];
        BOOL usedDefault = FALSE;
        const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, character, units, ansi,
                                             sizeof ansi, nullptr, &usedDefault);
        if (size <= 0 || usedDefault) {
            bytes += kUnstorableCharacter;
        } else {
            bytes.append(ansi, static_cast<size_t>(size));
        }
    }

    HANDLE console;
    std::string bytes;
    wchar_t heldSurrogate = 0;
    bool ended = false;
};

// Written as characters, one call per flush: a line or a prompt.
class ConsoleOutput : public std::stringbuf {
  public:
    explicit ConsoleOutput(HANDLE console) : console(console) {}

  protected:
    int sync() override {
        std::wstring wide;
        for (wchar_t c : WideFromAnsi(str())) {
            if (c == L'\n') wide += L'\r';  // the line end the C runtime's text mode writes
            wide += c;
        }
        str("");
        if (wide.empty()) return 0;
        DWORD written = 0;
        const DWORD length = static_cast<DWORD>(wide.size());
        return WriteConsoleW(console, wide.data(), length, &written, nullptr) ? 0 : -1;
    }

  private:
    HANDLE console;
};

bool IsConsole(HANDLE handle) {
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

}  // namespace

void StartConsole() {
    // Never freed: std::cin and std::cout use them until after static objects go.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (IsConsole(input)) std::cin.rdbuf(new ConsoleInput(input));
    if (IsConsole(output)) {
        std::cout.rdbuf(new ConsoleOutput(output));
        return;
    }
    // Otherwise the C runtime writes a byte per call to a character device
    // (NUL), splitting double-byte characters; each line leaves in one write.
    std::setvbuf(stdout, nullptr, _IOFBF, 4096);
}

void PrintLine(const AnsiText& text) { std::cout << text << '\n' << std::flush; }

void PrintPrompt(const AnsiText& text) { std::cout << text << std::flush; }

bool ReadAnswer(char* answer) {
    std::cout.flush();
    char next;
    if (!(std::cin >> next)) return false;
    // No double-byte character answers anything: its trail byte may well be 'y'.
    if (IsDBCSLeadByte(static_cast<BYTE>(next))) {
        int trail = std::cin.peek();
        if (trail != std::char_traits<char>::eof() && trail != '\n') std::cin.get();
        next = kNotAnAnswer;
    }
    *answer = next;
    return true;
}

bool ReadWord(AnsiText* word) {
    std::cout.flush();
    word->clear();
    return static_cast<bool>(std::cin >> *word);
}

bool RestOfLineIsBlank() {
    for (;;) {
        int next = std::cin.peek();
        if (next == std::char_traits<char>::eof() || next == '\n') return true;
        if (!std::isspace(next)) break;
        std::cin.get();
    }
    std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    return false;
}

// Any token ends the wait: Q fails the conversion, as good as a number here.
void WaitForEntry() {
    std::cout.flush();
    int discarded;
    std::cin >> discarded;
}
