#include "console.h"

#include <iostream>

void PrintLine(const std::string& text) { std::cout << text << std::endl; }

void PrintPrompt(const std::string& text) { std::cout << text << std::flush; }

bool ReadAnswer(char* answer) {
    std::cout.flush();
    char next;
    if (!(std::cin >> next)) return false;
    *answer = next;
    return true;
}

bool ReadWord(std::string* word) {
    std::cout.flush();
    word->clear();
    return static_cast<bool>(std::cin >> *word);
}

// A formatted read of a whole number: any token ends the wait, a number or
// not (typing Q fails the conversion, which is as good as a number here).
void WaitForEntry() {
    std::cout.flush();
    int discarded;
    std::cin >> discarded;
}
