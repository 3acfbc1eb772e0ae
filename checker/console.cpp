#include "console.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <limits>

void StartConsole() {
    // On a console the C runtime leaves stdout unbuffered and hands the
    // system one byte per write, which splits double-byte characters and
    // costs a call per byte. Fully buffered, each line leaves in one write
    // when PrintLine or a read flushes it.
    std::setvbuf(stdout, nullptr, _IOFBF, 4096);
}

void PrintLine(const std::string& text) { std::cout << text << '\n' << std::flush; }

void PrintPrompt(const std::string& text) { std::cout << text << std::flush; }

bool ReadAnswer(char* answer) {
    std::cout.flush();
    char next;
    if (!(std::cin >> next)) return false;
    // A lead byte of the ANSI code page and its trail byte are one character,
    // and no such character answers anything: its trail byte may well be 'y'.
    if (IsDBCSLeadByte(static_cast<BYTE>(next))) {
        int trail = std::cin.peek();
        if (trail != std::char_traits<char>::eof() && trail != '\n') std::cin.get();
        next = kNotAnAnswer;
    }
    *answer = next;
    return true;
}

bool ReadWord(std::string* word) {
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

// A formatted read of a whole number: any token ends the wait, a number or
// not (typing Q fails the conversion, which is as good as a number here).
void WaitForEntry() {
    std::cout.flush();
    int discarded;
    std::cin >> discarded;
}
