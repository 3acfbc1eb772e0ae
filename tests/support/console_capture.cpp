#include "console_capture.h"

#include <iterator>

// The stream states are cleared both ways: input the code under test ran
// off the end of must not leave std::cin failed for the next test.
ConsoleCapture::ConsoleCapture(const std::string& text)
    : input(text),
      savedIn(std::cin.rdbuf(input.rdbuf())),
      savedOut(std::cout.rdbuf(printed.rdbuf())) {
    std::cin.clear();
}

ConsoleCapture::~ConsoleCapture() {
    std::cin.rdbuf(savedIn);
    std::cout.rdbuf(savedOut);
    std::cin.clear();
}

std::string ConsoleCapture::Unread() {
    input.clear();
    return std::string(std::istreambuf_iterator<char>(input), {});
}
