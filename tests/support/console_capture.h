// The console streams redirected, for tests that check what code prints
// (the checker's dialogue, SetPrivilege's error lines) and what it leaves
// unread.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

// While it lives, std::cin reads `input` and std::cout goes into Printed().
class ConsoleCapture {
  public:
    explicit ConsoleCapture(const std::string& input = std::string());
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::string Printed() const { return printed.str(); }
    // The input not read yet.
    std::string Unread();

  private:
    std::istringstream input;
    std::ostringstream printed;
    std::streambuf* savedIn;
    std::streambuf* savedOut;
};

// Runs `body` with `input` as standard input; returns what it printed, and
// the input it left unread in `unread` when asked.
template <typename Body>
std::string WithConsole(const std::string& input, Body body, std::string* unread = nullptr) {
    ConsoleCapture console(input);
    body();
    if (unread != nullptr) *unread = console.Unread();
    return console.Printed();
}
